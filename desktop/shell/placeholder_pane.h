#pragma once
// Stands in a slot of the main view until its pane is built: the pane's name and what it will do.
#include <QWidget>

namespace mirvale {

class PlaceholderPane : public QWidget {
  Q_OBJECT
 public:
  // oneLine: only the description, for a slot as low as the Save/Cancel bar.
  PlaceholderPane(const QString& title, const QString& description, QWidget* parent = nullptr, bool oneLine = false);
};

}  // namespace mirvale

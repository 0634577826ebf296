#pragma once
// The browser of "Add MIBs...": it shows folders and files, and Open takes a chosen folder (or,
// with nothing chosen, the folder shown) as the choice instead of entering it, so a folder of
// MIB files whose imports live in each other can be imported as a whole. A double click still
// enters a folder.
#include <QFileDialog>

namespace mirvale {

class MibPathBrowser : public QFileDialog {
  Q_OBJECT
 public:
  explicit MibPathBrowser(QWidget* parent = nullptr);
  QString ChosenPath() const;

 public slots:
  void accept() override;
};

}  // namespace mirvale

#pragma once
// Select MIB Options: import only the writable queries (recommended) or all of them. Closing
// it with Esc or its close box cancels the import.
#include <QDialog>

class QRadioButton;

namespace mirvale {

class CConfigurationMibOptions : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationMibOptions(QWidget* parent = nullptr);
  bool WritableOnly() const;

  QRadioButton* writableOnly;
  QRadioButton* all;
};

}  // namespace mirvale

#pragma once
// Copy Pool: turns the pool being edited into a new pool under another name, with or without
// its protocol settings and its devices. Nothing is stored before the Pool Properties' OK.
#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace mirvale {

class CConfigurationPoolProperties;

class CConfigurationCopyPool : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationCopyPool(CConfigurationPoolProperties& pool);
  void accept() override;

  QLineEdit* name;
  QCheckBox* useProtocol;
  QCheckBox* useDevices;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CConfigurationPoolProperties& pool_;
  bool focusedOnce_ = false;
};

}  // namespace mirvale

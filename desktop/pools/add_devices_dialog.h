#pragma once
// Add Devices: one network (address and mask, at most a /24) or one device (mask
// 255.255.255.255) added to the Pool Properties dialog's device list.
#include <QDialog>

class QLineEdit;

namespace mirvale {

class CConfigurationPoolProperties;

class CConfigurationAddDevices : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationAddDevices(CConfigurationPoolProperties& pool);
  void accept() override;

  QLineEdit* network;
  QLineEdit* mask;

 private:
  CConfigurationPoolProperties& pool_;
};

}  // namespace mirvale

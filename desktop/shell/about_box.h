#pragma once
// CConfigurationAbout: the About box (version, warranty disclaimer, protection notice, link).
#include <QDialog>

namespace mirvale {

class CConfigurationAbout : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationAbout(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace mirvale

#include "desktop/results/configuration_wait.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

#include "desktop/shell/animated_gif_ctrl.h"

namespace mirvale {

CConfigurationWait::CConfigurationWait(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      picture_(new CAnimatedGifCtrl(this)) {
  setObjectName(QStringLiteral("ConfigurationWait"));
  setWindowTitle(QStringLiteral("Mirvale"));
  setModal(true);
  picture_->setObjectName(QStringLiteral("WaitPicture"));
  if (picture_->LoadFromResource(QString::fromLatin1(kWaitAnimationResource))) picture_->Draw();
  auto* text = new QLabel(QStringLiteral("Wait while setting or restoring parameters..."), this);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(12);
  layout->addWidget(picture_);
  layout->addWidget(text, 1);
}

void CConfigurationWait::CloseByFollower() {
  followerEnded_ = true;
  QDialog::done(QDialog::Accepted);
}

void CConfigurationWait::reject() {
  if (followerEnded_) QDialog::reject();
}

void CConfigurationWait::accept() {
  if (followerEnded_) QDialog::accept();
}

void CConfigurationWait::closeEvent(QCloseEvent* event) {
  if (followerEnded_)
    QDialog::closeEvent(event);
  else
    event->ignore();
}

void CConfigurationWait::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    default: QDialog::keyPressEvent(event);
  }
}

}  // namespace mirvale

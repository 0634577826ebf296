#include "desktop/results/configuration_wait.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

#include "desktop/shell/animated_gif_ctrl.h"

namespace mirvale {

CConfigurationWait::CConfigurationWait(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
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
  if (followerEnded_ || stoppedByUser_) QDialog::reject();
}

void CConfigurationWait::accept() {
  if (followerEnded_ || stoppedByUser_) QDialog::accept();
}

void CConfigurationWait::closeEvent(QCloseEvent* event) {
  if (!followerEnded_ && !stoppedByUser_) {
    // A service that never answers must not hold the program: the user may stop waiting.
    stoppedByUser_ = true;
    emit stopRequested();
  }
  QDialog::closeEvent(event);
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

#include "desktop/shell/configuration_wait.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace mirvale {
namespace {

// A still ring of dots, darker towards one end, standing for the turning animation.
QPixmap WaitPicture() {
  QPixmap picture(32, 32);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.translate(16, 16);
  for (int dot = 0; dot < 8; ++dot) {
    painter.setBrush(QColor(0, 0, 128, 40 + dot * 27));
    painter.drawEllipse(QPointF(0, -11), 3, 3);
    painter.rotate(45);
  }
  return picture;
}

}  // namespace

CConfigurationWait::CConfigurationWait(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), picture_(new QLabel(this)) {
  setObjectName(QStringLiteral("ConfigurationWait"));
  setWindowTitle(QStringLiteral("Mirvale"));
  setModal(true);
  picture_->setObjectName(QStringLiteral("WaitPicture"));
  picture_->setPixmap(WaitPicture());
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

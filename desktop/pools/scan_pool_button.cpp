#include "desktop/pools/scan_pool_button.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace mirvale {
namespace {
constexpr int kArrowWidth = 22;
}

ScanPoolButton::ScanPoolButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setAttribute(Qt::WA_Hover);
}

void ScanPoolButton::SetStartEnabled(bool enabled) {
  startEnabled_ = enabled;
  setFocusPolicy(enabled ? Qt::StrongFocus : Qt::NoFocus);
  update();
}

void ScanPoolButton::SetBusy(bool busy) {
  busy_ = busy;
  update();
}

void ScanPoolButton::SetMenuOpen(bool open) {
  menuOpen_ = open;
  update();
}

QRect ScanPoolButton::ArrowZone() const { return QRect(width() - kArrowWidth, 0, kArrowWidth, height()); }

void ScanPoolButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && ArrowZone().contains(event->position().toPoint())) {
    if (!busy_) emit arrowPressed();
    event->accept();
    return;
  }
  if (!startEnabled_) {
    event->accept();
    return;
  }
  QPushButton::mousePressEvent(event);
}

void ScanPoolButton::mouseReleaseEvent(QMouseEvent* event) {
  if (!startEnabled_) {
    event->accept();
    return;
  }
  QPushButton::mouseReleaseEvent(event);
}

void ScanPoolButton::keyPressEvent(QKeyEvent* event) {
  if (!startEnabled_) {
    event->ignore();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void ScanPoolButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  if (!startEnabled_) {
    option.state &= ~(QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_HasFocus);
    option.palette.setCurrentColorGroup(QPalette::Disabled);
  }
  painter.drawControl(QStyle::CE_PushButton, option);

  QRect textArea = rect().adjusted(4, 0, -kArrowWidth, 0);
  const bool startShown = isEnabled() && startEnabled_;
  painter.setPen(palette().color(startShown ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, text());

  const QRect arrow = ArrowZone().adjusted(2, 4, -4, -4);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(arrow.left() - 1, arrow.top(), arrow.left() - 1, arrow.bottom());
  if (menuOpen_ && !busy_) {
    QStyleOption sunken;
    sunken.initFrom(this);
    sunken.rect = arrow;
    sunken.state |= QStyle::State_Sunken;
    painter.fillRect(arrow, palette().color(QPalette::Midlight));
    painter.drawPrimitive(QStyle::PE_Frame, sunken);
  }
  QStyleOption indicator;
  indicator.initFrom(this);
  indicator.rect = arrow.adjusted(3, 3, -3, -3);
  if (busy_) {
    indicator.state &= ~QStyle::State_Enabled;
    indicator.palette.setCurrentColorGroup(QPalette::Disabled);
  } else {
    indicator.state |= QStyle::State_Enabled;
    indicator.palette.setCurrentColorGroup(QPalette::Active);
  }
  painter.drawPrimitive(QStyle::PE_IndicatorArrowDown, indicator);
}

}  // namespace mirvale

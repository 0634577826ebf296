#include "desktop/shell/flat_tool_bar.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace mirvale {
namespace {

constexpr int kArrowWidth = 12;
constexpr int kImageSize = 26;

}  // namespace

QFont FlatButtonFont(bool hot, bool otherState, bool hotUnderline, bool hotBold) {
  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(16);
  font.setWeight(QFont::Normal);
  if (hot && !otherState) {
    if (hotUnderline) font.setUnderline(true);
    if (hotBold) {
      font.setWeight(QFont::Bold);
      font.setUnderline(false);
    }
  }
  return font;
}

FlatToolButton::FlatToolButton(CFlatToolBarCtrl& bar, int command, const QString& text, QPixmap normal, QPixmap hot,
                               int width, bool dropDown)
    : QAbstractButton(&bar),
      bar_(bar),
      command_(command),
      normal_(std::move(normal)),
      hot_(std::move(hot)),
      width_(width),
      dropDown_(dropDown) {
  setText(text);
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
}

bool FlatToolButton::IsHot() const { return underMouse() && !isDown(); }

QSize FlatToolButton::sizeHint() const {
  // The given width, or more when the text in the fonts at hand needs it.
  const QFontMetrics metrics(FlatButtonFont(false, false, false, true));
  const int needed = kImageSize + 7 + metrics.horizontalAdvance(text()) + 6;
  return QSize(std::max(width_, needed) + (dropDown_ ? kArrowWidth : 0), 50);
}

QRect FlatToolButton::ArrowRect() const {
  return dropDown_ ? QRect(width() - kArrowWidth, 0, kArrowWidth, height()) : QRect();
}

void FlatToolButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const bool hot = IsHot();
  const QPixmap& image = hot ? hot_ : normal_;
  const int imageTop = (height() - kImageSize) / 2;
  p.drawPixmap(2, imageTop, image);
  p.setFont(FlatButtonFont(hot, isDown() || isChecked(), bar_.m_bHotUnderline, bar_.m_bHotBold));
  p.setPen(bar_.m_clrText);
  QRect textRect(kImageSize + 7, 0, width() - kImageSize - 7 - (dropDown_ ? kArrowWidth : 0), height());
  p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text());
  if (dropDown_) {
    QRect arrow = ArrowRect();
    QPointF centre = QRectF(arrow).center();
    QPolygonF triangle{
        {centre.x() - 4, centre.y() - 2}, {centre.x() + 4, centre.y() - 2}, {centre.x(), centre.y() + 3}};
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(bar_.m_clrText);
    p.drawPolygon(triangle);
  }
}

void FlatToolButton::mousePressEvent(QMouseEvent* event) {
  if (dropDown_ && event->button() == Qt::LeftButton && ArrowRect().contains(event->position().toPoint())) {
    emit arrowPressed();
    return;
  }
  QAbstractButton::mousePressEvent(event);
}

void FlatToolButton::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  update();
}

void FlatToolButton::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  update();
}

CFlatToolBarCtrl::CFlatToolBarCtrl(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addStretch(1);
}

FlatToolButton* CFlatToolBarCtrl::AddButton(int command, const QString& text, const QPixmap& normal, const QPixmap& hot,
                                            int width, bool dropDown) {
  auto* button = new FlatToolButton(*this, command, text, normal, hot, width, dropDown);
  auto* row = static_cast<QHBoxLayout*>(layout());
  row->insertWidget(row->count() - 1, button);
  connect(button, &QAbstractButton::clicked, this, [this, command] { emit commandTriggered(command); });
  connect(button, &FlatToolButton::arrowPressed, this, [this, button, command] {
    emit dropDownPressed(command, QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
  });
  return button;
}

FlatToolButton* CFlatToolBarCtrl::Button(int command) const {
  for (auto* button : findChildren<FlatToolButton*>())
    if (button->Command() == command) return button;
  return nullptr;
}

}  // namespace mirvale

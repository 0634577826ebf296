#include "desktop/shell/pane_background.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include "desktop/shell/shell_colours.h"

namespace mirvale {

void PaintPaneBackground(QWidget& widget) {
  QPainter painter(&widget);
  const int w = widget.width();
  const int h = widget.height();
  for (int y = 0; y < h; ++y) {
    painter.fillRect(1, y, w - 1, 1, ViewRowColour(y, h));
    painter.fillRect(0, y, 1, 1, QColor(135, 135, 135));
  }
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath panel;
  panel.addRoundedRect(QRectF(0, 0, w + 6, h), 5.5, 5.5);
  painter.setClipPath(panel);
  painter.fillRect(widget.rect(), QColor(255, 255, 255));
  painter.fillRect(QRect(0, h - 50, w + 6, 50), QColor(239, 239, 239));
}

}  // namespace mirvale

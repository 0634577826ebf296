#include "desktop/shell/shell_images.h"

#include <QPainter>
#include <QPainterPath>

namespace mirvale {
namespace {

constexpr int kButtonSize = 26;

QPixmap Blank(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void DrawHome(QPainter& p, const QColor& c) {
  QPainterPath roof;
  roof.moveTo(3, 13);
  roof.lineTo(13, 3);
  roof.lineTo(23, 13);
  p.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(roof);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawRect(7, 13, 12, 10);
  p.setBrush(QColor(1, 103, 204));
  p.drawRect(11, 16, 4, 7);
}

void DrawScan(QPainter& p, const QColor& c) {
  p.setPen(QPen(c, 2.5));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(3, 3, 14, 14));
  p.setPen(QPen(c, 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(16, 16), QPointF(23, 23));
}

void DrawReports(QPainter& p, const QColor& c) {
  p.setPen(QPen(c, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(5, 2, 16, 22));
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawRect(8, 15, 3, 6);
  p.drawRect(12, 10, 3, 11);
  p.drawRect(16, 6, 3, 15);
}

void DrawTools(QPainter& p, const QColor& c) {
  p.setPen(QPen(c, 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(6, 20), QPointF(15, 11));
  p.setPen(QPen(c, 3));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(13, 3, 10, 10), 135 * 16, 270 * 16);
}

void DrawHelp(QPainter& p, const QColor& c) {
  p.setPen(QPen(c, 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(2, 2, 22, 22));
  QFont font = p.font();
  font.setPixelSize(16);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(2, 2, 22, 22), Qt::AlignCenter, QStringLiteral("?"));
}

}  // namespace

QPixmap BandButtonImage(BandImage image, bool hot) {
  QPixmap pixmap = Blank(kButtonSize);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor colour = hot ? QColor(255, 214, 120) : QColor(255, 255, 255);
  switch (image) {
    case BandImage::Home: DrawHome(p, colour); break;
    case BandImage::Scan: DrawScan(p, colour); break;
    case BandImage::Reports: DrawReports(p, colour); break;
    case BandImage::Tools: DrawTools(p, colour); break;
    case BandImage::Help: DrawHelp(p, colour); break;
  }
  return pixmap;
}

QPixmap BannerImage() {
  // Three linked devices: the configurations the program watches.
  QPixmap pixmap = Blank(48);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(255, 255, 255), 3));
  p.drawLine(QPointF(12, 34), QPointF(24, 12));
  p.drawLine(QPointF(24, 12), QPointF(36, 34));
  p.drawLine(QPointF(12, 34), QPointF(36, 34));
  p.setPen(QPen(QColor(255, 255, 255), 2));
  p.setBrush(QColor(235, 40, 0));
  for (QPointF centre : {QPointF(24, 12), QPointF(12, 34), QPointF(36, 34)}) p.drawEllipse(centre, 7, 7);
  return pixmap;
}

QIcon ProgramIcon() {
  QPixmap pixmap = Blank(64);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(1, 103, 204));
  p.drawRoundedRect(QRectF(0, 0, 64, 64), 12, 12);
  p.drawPixmap(QRectF(8, 8, 48, 48), BannerImage(), QRectF(0, 0, 48, 48));
  return QIcon(pixmap);
}

}  // namespace mirvale

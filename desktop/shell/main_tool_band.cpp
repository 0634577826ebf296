#include "desktop/shell/main_tool_band.h"

#include <QPainter>

#include "desktop/shell/command_ids.h"
#include "desktop/shell/flat_tool_bar.h"
#include "desktop/shell/shell_colours.h"
#include "desktop/shell/shell_images.h"

namespace mirvale {
namespace {

constexpr int kBandHeight = 79;

QFont BandFont(const char* family, int pixelSize) {
  QFont font(QString::fromLatin1(family));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace

CMainToolBand::CMainToolBand(QWidget* parent) : QWidget(parent), toolBar_(new CFlatToolBarCtrl(this)) {
  setObjectName(QStringLiteral("toolBand"));
  setFixedHeight(kBandHeight);
  setMinimumWidth(400);
  toolBar_->m_clrText = QColor(255, 255, 255);
  toolBar_->m_bHotUnderline = true;
  struct Entry {
    BandImage image;
    int command;
    const char* text;
    int width;
    bool dropDown;
  };
  for (const Entry& entry : {Entry{BandImage::Home, kCommandHome, "Home", 85, false},
                             Entry{BandImage::Scan, kCommandScan, "Scan", 85, false},
                             Entry{BandImage::Reports, kCommandReports, "Reports", 85, false},
                             Entry{BandImage::Tools, kCommandTools, "Tools", 85, false},
                             Entry{BandImage::Help, kCommandHelpButton, "Help", 70, true}}) {
    toolBar_->AddButton(entry.command, QString::fromLatin1(entry.text), BandButtonImage(entry.image, false),
                        BandButtonImage(entry.image, true), entry.width, entry.dropDown);
  }
}

void CMainToolBand::resizeEvent(QResizeEvent*) { toolBar_->setGeometry(10, 8, toolBar_->sizeHint().width(), 50); }

void CMainToolBand::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  const int h = height();
  for (int x = 0; x < w; ++x) p.fillRect(x, 0, 1, h, ToolBandColumnColour(x, w));
  p.drawPixmap(w - 230, 10, BannerImage());
  p.setPen(QColor(255, 255, 255));
  p.setFont(BandFont("Arial", 28));
  p.drawText(QRect(QPoint(w - 175, 10), QPoint(w, 40)), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             QStringLiteral("Oskavel"));
  p.setPen(QColor(235, 40, 0));
  p.setFont(BandFont("Arial", 18));
  p.drawText(QRect(QPoint(w - 175, 40), QPoint(w, 60)), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             QStringLiteral("Mirvale"));
  p.setPen(QColor(255, 255, 255));
  p.setFont(BandFont("MS Sans Serif", 12));
  p.drawText(QRect(QPoint(15, 60), QPoint(w, 80)), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             QStringLiteral("Network devices configuration monitor"));
}

}  // namespace mirvale

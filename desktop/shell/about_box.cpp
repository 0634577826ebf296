#include "desktop/shell/about_box.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "common/settings_file.h"
#include "desktop/shell/settings_widgets.h"
#include "desktop/shell/shell_images.h"

namespace mirvale {
namespace {
const char kMakerAddress[] = "https://www.oskavel.example/mirvale";
}

CConfigurationAbout::CConfigurationAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Mirvale"));
  resize(460, 420);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 67, 12, 12);
  layout->addWidget(new QLabel(QStringLiteral("Mirvale system information:"), this));
  auto* info = new QPlainTextEdit(this);
  info->setObjectName(QStringLiteral("aboutInformation"));
  info->setReadOnly(true);
  info->setPlainText(QStringLiteral("Mirvale Version: ") + QString::fromLatin1(kServiceVersionText) +
                     QStringLiteral("\n\nLIMITED WARRANTY\nThe program is provided as is, without warranty of any "
                                    "kind, express or implied, including the warranties of merchantability and "
                                    "fitness for a particular purpose. The whole risk as to its quality and "
                                    "performance is with you."));
  layout->addWidget(info, 1);
  auto* notice = new QTextBrowser(this);
  notice->setFrameShape(QFrame::NoFrame);
  notice->setStyleSheet(QStringLiteral("background: palette(button); color: rgb(83, 83, 83);"));
  notice->setHtml(
      QStringLiteral("<span style='font-family:Tahoma; font-size:8pt'><b>Warning:</b> This program is "
                     "protected by copyright law and international treaties. Unauthorised reproduction "
                     "or distribution of it, or of any part of it, may result in civil and criminal "
                     "penalties.</span>"));
  notice->setFixedHeight(70);
  layout->addWidget(notice);
  auto* link = new SettingsLink(QString::fromLatin1(kMakerAddress), this, QColor(83, 83, 83), 12);
  connect(link, &SettingsLink::clicked, this, [] {
    WaitCursorScope wait;
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerAddress)));
  });
  layout->addWidget(link);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void CConfigurationAbout::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter p(this);
  const int w = width();
  for (int x = 0; x < w; ++x) p.fillRect(x, 0, 1, 55, QColor(1 + 96 * x / w, 103 + 95 * x / w, 204 + 50 * x / w));
  p.drawPixmap(QRect(11, 11, 32, 32), BannerImage());
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(14);
  p.setFont(font);
  p.setPen(QColor(255, 255, 255));
  p.drawText(QRect(55, 20, w - 110, 15), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             QStringLiteral("Mirvale, by Oskavel. All rights reserved."));
}

}  // namespace mirvale

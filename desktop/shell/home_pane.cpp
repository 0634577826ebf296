#include "desktop/shell/home_pane.h"

#include <QPainter>
#include <QPainterPath>

#include "common/settings_file.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/scan_status_filter.h"
#include "desktop/shell/settings_widgets.h"

namespace mirvale {
namespace {

// Display order of the group rows: changed, unchanged, unreachable, failed.
const char* const kGroupLabels[4] = {
    "Changed devices:", "Unchanged devices:", "Unreachable devices:", "Failed/Unresponding devices:"};
const char* const kGroupLinks[4] = {"Review changed devices.", "Review unchanged devices.",
                                    "Review unreachable devices.", "Review failed/unresponding devices."};
const QColor kGroupIconColours[4] = {QColor(240, 190, 20), QColor(60, 170, 70), QColor(120, 120, 120),
                                     QColor(210, 60, 50)};
const char* const kStatusLabels[5] = {
    "Scan schedule:", "Scan actions:", "Scan export:", "Program service:", "Program version:"};

QPixmap GroupIcon(QColor colour) {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(colour);
  p.setPen(colour.darker(130));
  p.drawEllipse(QRectF(1.5, 1.5, 11, 11));
  return pixmap;
}

struct StateFrame {
  QColor outer, inner;
};
StateFrame FrameOf(HomeState state) {
  switch (state) {
    case HomeState::NoScan: return {QColor(200, 241, 245), QColor(180, 215, 245)};
    case HomeState::NothingChanged: return {QColor(200, 241, 186), QColor(145, 227, 117)};
    case HomeState::Changed: return {QColor(254, 241, 213), QColor(254, 227, 172)};
    case HomeState::AllFailed: return {QColor(250, 215, 213), QColor(250, 187, 195)};
  }
  return {};
}

// The 32 x 32 picture of a state: a disc in the band's colour with its sign.
void DrawStatePicture(QPainter& p, HomeState state, QPoint at) {
  static const char* const signs[4] = {"i", "\u2713", "!", "\u00d7"};
  QColor colour = CConfigurationHome::BandColour(state).darker(150);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(colour);
  p.setPen(QPen(QColor(255, 255, 255), 2));
  p.drawEllipse(QRectF(at.x() + 1, at.y() + 1, 30, 30));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(18);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(at.x(), at.y(), 32, 32), Qt::AlignCenter, QString::fromUtf8(signs[static_cast<int>(state)]));
  p.restore();
}

}  // namespace

QColor CConfigurationHome::BandColour(HomeState state) {
  switch (state) {
    case HomeState::NoScan: return QColor(180, 225, 248);
    case HomeState::NothingChanged: return QColor(178, 234, 179);
    case HomeState::Changed: return QColor(252, 237, 105);
    case HomeState::AllFailed: return QColor(245, 157, 153);
  }
  return QColor();
}

CConfigurationHome::CConfigurationHome(const PaneContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      headline_(new QLabel(QStringLiteral("Last scan devices:"), this)),
      startScan_(new QPushButton(QStringLiteral("Start Scan Now"), this)),
      statusTitle_(new QLabel(QStringLiteral("Status"), this)),
      statusFrame_(new QWidget(this)) {
  MakeWhite(this);
  headline_->setObjectName(QStringLiteral("homeHeadline"));
  startScan_->setObjectName(QStringLiteral("startScanNow"));
  connect(startScan_, &QPushButton::clicked, this, [this] { context_.dispatchCommand(kCommandScan); });
  // A notice of the service reloads the pane on screen; a hidden one reloads when shown.
  connect(&context_.app, &CMirvaleApp::databaseReloaded, this, [this] {
    if (isVisible()) Refresh();
  });
  for (int group = 0; group < 4; ++group) {
    labels_[group] = new QLabel(QString::fromLatin1(kGroupLabels[group]), this);
    counts_[group] = new QLabel(QStringLiteral("0"), this);
    counts_[group]->setObjectName(QStringLiteral("homeCount%1").arg(group));
    icons_[group] = new QLabel(this);
    icons_[group]->setPixmap(GroupIcon(kGroupIconColours[group]));
    links_[group] = new SettingsLink(QString::fromLatin1(kGroupLinks[group]), this);
    links_[group]->setObjectName(QStringLiteral("homeLink%1").arg(group));
    connect(links_[group], &SettingsLink::clicked, this, [this, group] { Review(group + 1); });
  }
  QFont bold(QStringLiteral("Tahoma"));
  bold.setPixelSize(13);
  bold.setBold(true);
  statusTitle_->setFont(bold);
  statusFrame_->setStyleSheet(QStringLiteral("border: 1px solid rgb(200, 205, 215); border-radius: 4px;"));
  statusFrame_->lower();
  for (int row = 0; row < 5; ++row) {
    statusLabels_[row] = new QLabel(QString::fromLatin1(kStatusLabels[row]), this);
    statusValues_[row] = new QLabel(this);
    statusValues_[row]->setObjectName(QStringLiteral("homeStatus%1").arg(row));
  }
}

void CConfigurationHome::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
}

void CConfigurationHome::Refresh() {
  ScanDatabaseMap scan;
  context_.app.Store().CopyScanMap(scan);
  // The service's state shows as last known, and is asked again off the GUI thread: a busy or
  // hung service may take seconds to answer.
  summary_ = SummariseHome(context_.app.Store().ScanLoaded(), context_.app.Store().ScanHeader(), scan,
                           context_.app.Document(), context_.app.LastKnownServiceRunning(),
                           context_.app.FollowingScan());
  context_.app.AskServiceRunning(this, [this](bool running) {
    summary_.service = ServiceStateText(running);
    statusValues_[3]->setText(summary_.service);
  });
  headline_->setText(summary_.headline);
  QFont font = headline_->font();
  font.setBold(summary_.state != HomeState::NoScan);
  headline_->setFont(font);
  for (int group = 0; group < 4; ++group) {
    counts_[group]->setText(QString::number(summary_.counts[group]));
    links_[group]->SetLive(summary_.linkLive[group]);
    for (QWidget* part : {static_cast<QWidget*>(labels_[group]), static_cast<QWidget*>(counts_[group]),
                          static_cast<QWidget*>(icons_[group]), static_cast<QWidget*>(links_[group])})
      part->setVisible(summary_.hasScan);
  }
  startScan_->setVisible(!summary_.hasScan);
  statusValues_[0]->setText(summary_.schedule);
  statusValues_[1]->setText(summary_.actions);
  statusValues_[2]->setText(summary_.exportState);
  statusValues_[3]->setText(summary_.service);
  statusValues_[4]->setText(QString::fromLatin1(kServiceVersionText));
  Layout();
  update();
}

void CConfigurationHome::Review(int filter) {
  if (context_.paneInSlot)
    if (auto* scan = dynamic_cast<ScanStatusFilter*>(context_.paneInSlot(PaneSlot::Scan)))
      scan->SetStatusFilter(filter);
  context_.dispatchCommand(kCommandScan);
}

void CConfigurationHome::resizeEvent(QResizeEvent*) { Layout(); }

void CConfigurationHome::Layout() {
  const int w = width();
  const int h = height();
  headline_->setGeometry(45, 50, std::max(100, w - 240), 18);
  startScan_->setGeometry(w - 175, 50, 125, 25);
  for (int group = 0; group < 4; ++group) {
    const int y = 80 + 22 * group;
    labels_[group]->setGeometry(45, y, 200, 16);
    counts_[group]->setGeometry(250, y, 60, 16);
    // The links end inside the frame, with room for the longest text.
    icons_[group]->setGeometry(w - 330, y + 1, 14, 14);
    links_[group]->setGeometry(w - 310, y, 265, 16);
  }
  statusTitle_->setGeometry(10, h - 115, w - 60, 15);
  statusFrame_->setGeometry(10, h - 100, w - 50, 95);
  for (int row = 0; row < 5; ++row) {
    statusLabels_[row]->setGeometry(45, h - 90 + 15 * row, 150, 15);
    statusValues_[row]->setGeometry(200, h - 90 + 15 * row, 300, 15);
  }
}

void CConfigurationHome::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  const QColor start = BandColour(summary_.state);
  // The band fades to white towards the right and stays inside the frame.
  for (int i = 0; i < w - 60; ++i) {
    auto fade = [&](int c) { return c + static_cast<int>(static_cast<double>(i) / w * (255 - c)); };
    p.fillRect(18 + i, 18, 1, 23, QColor(fade(start.red()), fade(start.green()), fade(start.blue())));
  }
  const int bottom =
      (summary_.state == HomeState::NoScan ? headline_->geometry().bottom() : labels_[3]->geometry().bottom()) + 20;
  p.setRenderHint(QPainter::Antialiasing);
  const StateFrame frame = FrameOf(summary_.state);
  QRectF area(13, 18, w - 40 - 13, bottom - 18);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(frame.outer, 2));
  p.drawRoundedRect(area, 5.5, 5.5);
  p.setPen(QPen(frame.inner, 1));
  p.drawRoundedRect(area.adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
  DrawStatePicture(p, summary_.state, QPoint(7, 12));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(13);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0, 0, 0));
  p.drawText(QRect(45, 22, w - 90, 14), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             QStringLiteral("Review last scan devices information:"));
}

}  // namespace mirvale

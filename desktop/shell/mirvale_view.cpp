#include "desktop/shell/mirvale_view.h"

#include <QApplication>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>

#include "desktop/shell/command_ids.h"
#include "desktop/shell/help_window.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/placeholder_pane.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/shell_colours.h"
#include "desktop/shell/wait_cursor.h"

namespace mirvale {
namespace {

// Tools and the three settings panes scroll vertically when the view is lower than they were built.
bool Scrolls(PaneSlot slot) {
  return slot == PaneSlot::Tools || slot == PaneSlot::Options || slot == PaneSlot::Actions || slot == PaneSlot::Export;
}

struct PanePlace {
  int x, y, heightLess;  // height = H - heightLess
};

PanePlace PlaceOf(PaneSlot slot) {
  switch (slot) {
    case PaneSlot::Home: return {25, 0, 25};
    case PaneSlot::Scan: return {18, 0, 18};
    case PaneSlot::Reports: return {18, 0, 18};
    case PaneSlot::Tools: return {25, 0, 25};
    case PaneSlot::SaveBar: return {18, 0, 0};  // placed at H - 70, 51 high (below)
    case PaneSlot::Options:
    case PaneSlot::Actions:
    case PaneSlot::Export: return {18, 5, 73};
  }
  return {0, 0, 0};
}

}  // namespace

CMirvaleView::CMirvaleView(CMirvaleApp& app, const PaneRegistry& registry, std::function<void(int)> route,
                           QWidget* parent)
    : QWidget(parent),
      registry_(registry),
      context_{app, std::move(route), [this] { return switcher_.LastMainCommand(); },
               [this](PaneSlot slot) { return panes_[PaneIndex(slot)]; }, registry.DetailPages()} {
  setObjectName(QStringLiteral("mainView"));
  CreatePanes(registry);
}

CMirvaleView::~CMirvaleView() {
  if (help_) delete help_;
}

void CMirvaleView::CreatePanes(const PaneRegistry& registry) {
  for (PaneSlot slot : kAllPaneSlots) {
    const int index = PaneIndex(slot);
    QWidget* host = nullptr;
    QScrollArea* scroller = nullptr;
    if (Scrolls(slot)) {
      scroller = new QScrollArea(this);
      scroller->setFrameShape(QFrame::NoFrame);
      scroller->setWidgetResizable(true);
      scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      // White like the panel behind the panes.
      QPalette white = scroller->palette();
      white.setColor(QPalette::Window, QColor(255, 255, 255));
      scroller->setPalette(white);
      scroller->viewport()->setPalette(white);
      scroller->viewport()->setAutoFillBackground(true);
      host = scroller;
    }
    QWidget* parent = scroller ? static_cast<QWidget*>(scroller) : this;
    QWidget* pane = nullptr;
    if (const PaneFactory* factory = registry.Pane(slot)) pane = (*factory)(context_, parent);
    if (!pane)
      pane = new PlaceholderPane(QString::fromLatin1(PaneSlotName(slot)), registry.PendingDescription(slot), parent,
                                 slot == PaneSlot::SaveBar);
    pane->setObjectName(pane->objectName().isEmpty() ? QString::fromLatin1(PaneSlotName(slot)) : pane->objectName());
    if (scroller) {
      // The height the pane was built with is the scrolling range.
      pane->setMinimumHeight(pane->sizeHint().height());
      pane->setAutoFillBackground(false);
      scroller->setWidget(pane);
    } else {
      host = pane;
    }
    panes_[index] = pane;
    hosts_[index] = host;
    host->hide();
  }
}

void CMirvaleView::resizeEvent(QResizeEvent*) {
  const int w = width();
  const int h = height();
  for (PaneSlot slot : kAllPaneSlots) {
    QWidget* host = hosts_[PaneIndex(slot)];
    // Panes end at the view's right edge so that nothing of them is cut off.
    if (slot == PaneSlot::SaveBar) {
      host->setGeometry(18, h - 70, w - 18, 51);
      continue;
    }
    const PanePlace place = PlaceOf(slot);
    host->setGeometry(place.x, place.y, w - place.x, h - place.heightLess);
  }
}

void CMirvaleView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  const int h = height();
  for (int y = 0; y < h; ++y) p.fillRect(0, y, w, 1, ViewRowColour(y, h));
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255));
  // The panel's left corners are rounded; its right edge runs off the window.
  p.drawRoundedRect(QRectF(18, 0, w + 6 - 18, h - 18), 5.5, 5.5);
}

bool CMirvaleView::dispatchCommand(int command) {
  if (switcher_.Dispatch(command)) {
    WaitCursor wait;
    ApplyVisibility();
    return true;
  }
  switch (command) {
    case kCommandSetDevices:
    case kCommandRestoreDevices:
    case kCommandCompareDevices: OpenDialog(command); return true;
    case kCommandHelp: OpenHelp(); return true;
    default: break;
  }
  // The Scan pane acts on the pool commands itself.
  return command >= kCommandPoolFirst && command <= kCommandPoolLast;
}

void CMirvaleView::ApplyVisibility() {
  // Each pane is shown or hidden explicitly, in slot order; showing one makes it reload.
  for (PaneSlot slot : kAllPaneSlots) hosts_[PaneIndex(slot)]->setVisible(switcher_.Visible(slot));
}

void CMirvaleView::OpenDialog(int command) {
  // No hourglass here: it would stay over the whole modal dialog.
  if (const CommandOpener* opener = registry_.Command(command)) {
    (*opener)(context_, window());
    return;
  }
  ShowInformation(window(), registry_.PendingDescription(command));
}

void CMirvaleView::OpenHelp() {
  if (!help_) help_ = new HelpWindow();
  help_->ShowTopic(QStringLiteral("Welcome.htm"));
}

}  // namespace mirvale

namespace mirvale {
HelpWindow* CMirvaleView::Help() const { return help_; }
}  // namespace mirvale

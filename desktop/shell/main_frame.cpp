#include "desktop/shell/main_frame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include "desktop/shell/await_without_freezing.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/flat_tool_bar.h"
#include "desktop/shell/main_tool_band.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/mirvale_view.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/shell_images.h"
#include "desktop/shell/splash_dialog.h"

namespace mirvale {

CMainFrame::CMainFrame(CMirvaleApp& app, const PaneRegistry& registry, QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      registry_(registry),
      band_(new CMainToolBand(this)),
      view_(new CMirvaleView(
          app, registry, [this](int command) { dispatchCommand(command); }, this)),
      helpMenu_(new QMenu(this)) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(QStringLiteral("Oskavel Mirvale"));
  setWindowIcon(ProgramIcon());
  setMinimumSize(790, 560);
  resize(980, 700);
  setMenuWidget(band_);
  setCentralWidget(view_);

  helpMenu_->addAction(QStringLiteral("Help"), this, [this] { dispatchCommand(kCommandHelp); });
  helpMenu_->addSeparator();
  helpMenu_->addAction(QStringLiteral("&About Mirvale..."), this, [this] { dispatchCommand(kCommandAbout); });
  helpMenu_->addSeparator();
  helpMenu_->addAction(QStringLiteral("Exit Mirvale"), this, [this] { dispatchCommand(kCommandExit); });

  CFlatToolBarCtrl& bar = band_->ToolBar();
  connect(&bar, &CFlatToolBarCtrl::commandTriggered, this,
          [this](int command) { dispatchCommand(command == kCommandHelpButton ? kCommandHelp : command); });
  connect(&bar, &CFlatToolBarCtrl::dropDownPressed, this,
          [this](int, const QRect& buttonRect) { ShowHelpMenu(buttonRect); });
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::dispatchCommand(int command) {
  switch (command) {
    case kCommandAbout:
      if (const CommandOpener* opener = registry_.Command(kCommandAbout)) {
        (*opener)(view_->Context(), this);
      } else {
        ShowInformation(this, registry_.PendingDescription(kCommandAbout));
      }
      return true;
    case kCommandExit: close(); return true;
    default: return view_->dispatchCommand(command);
  }
}

void CMainFrame::ShowHelpMenu(const QRect& buttonRect) {
  helpMenu_->popup(QPoint(buttonRect.right() - 3, buttonRect.bottom() + 10));
}

void CMainFrame::BringForward() {
  if (isMinimized())
    showNormal();
  else
    show();
  raise();
  activateWindow();
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  QTimer::singleShot(0, this, [this] { RunSplash(); });
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (shownOnce_ && !loadingDone_) {
    closeAsked_ = true;
    if (splash_) splash_->RequestClose();
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void CMainFrame::RunSplash() {
  splash_ = new CSplashDlg(
      app_.Options().splashDelay, [this] { app_.RunStartupLoading(); }, this);
  splash_->setAttribute(Qt::WA_DeleteOnClose);
  connect(splash_, &CSplashDlg::loadingFinished, this, [this] {
    loadingDone_ = true;
    splashGate_.reset();
    if (closeAsked_ || (splash_ && splash_->CloseRequested())) {
      startupFinished_ = true;
      QTimer::singleShot(0, this, [this] { close(); });
      return;
    }
    FinishStartup();
  });
  // Not modal: the toolkit drops a close of a window that a modal one blocks, so the window's
  // input is held back here instead, and its close still arrives.
  splashGate_ = std::make_unique<WaitingWidgets>(std::initializer_list<QWidget*>{this});
  splash_->show();
  if (closeAsked_) splash_->RequestClose();
}

void CMainFrame::FinishStartup() {
  if (QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  raise();
  activateWindow();
  const std::string refusal = app_.TakeLaunchRefusal();
  if (!refusal.empty()) ShowWarning(this, QString::fromStdString(refusal));
  const std::string deaf = app_.TakeListenRefusal();
  if (!deaf.empty()) ShowWarning(this, QString::fromStdString(deaf));
  const int first = app_.Document().m_mapPools.empty() ? kCommandScan : kCommandHome;
  dispatchCommand(first);
  startupFinished_ = true;
  emit startupDone(first);
}

}  // namespace mirvale

namespace mirvale {
CSplashDlg* CMainFrame::Splash() const { return splash_; }
}  // namespace mirvale

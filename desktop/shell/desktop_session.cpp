#include "desktop/shell/desktop_session.h"

#include <QApplication>

#include "desktop/shell/main_frame.h"
#include "desktop/shell/quit_on_signals.h"
#include "desktop/shell/single_instance.h"
#include "platform/folders.h"

namespace mirvale {

DesktopSession::DesktopSession(const PaneRegistry& panes, AppOptions options)
    : instance_(std::make_unique<SingleInstance>(QString::fromStdString(platform::DataFolder(/*create=*/true)))) {
  if (!instance_->IsFirst()) {
    instance_->AskFirstToRaise();
    return;
  }
  app_ = std::make_unique<CMirvaleApp>(std::move(options));
  frame_ = std::make_unique<CMainFrame>(*app_, panes);
  QObject::connect(instance_.get(), &SingleInstance::raiseRequested, frame_.get(), &CMainFrame::BringForward);
}

DesktopSession::~DesktopSession() {
  frame_.reset();  // the window (and a splash still loading) before the application object
  app_.reset();
}

int RunDesktop(QApplication& qt, const PaneRegistry& panes) {
  DesktopSession session(panes);
  if (!session.IsFirst()) return 0;
  QuitOnEndingSignals(&qt);
  session.Frame().show();
  return qt.exec();
}

}  // namespace mirvale

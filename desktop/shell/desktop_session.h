#pragma once
// What main() owns, in this order: the single-instance guard, the application object and the
// main window. A later copy of the program only asks the first to come forward.
#include <memory>

#include "desktop/shell/mirvale_app.h"

class QApplication;

namespace mirvale {

class CMainFrame;
class PaneRegistry;
class SingleInstance;

class DesktopSession {
 public:
  explicit DesktopSession(const PaneRegistry& panes, AppOptions options = {});
  ~DesktopSession();

  // False for a later copy: it has asked the first to come forward and has nothing else.
  bool IsFirst() const { return app_ != nullptr; }
  CMirvaleApp& App() const { return *app_; }
  CMainFrame& Frame() const { return *frame_; }

 private:
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<CMirvaleApp> app_;
  std::unique_ptr<CMainFrame> frame_;
};

// The program: a first copy shows the main window and runs until it closes (exit code of the
// event loop); a later copy raises the first and returns 0.
int RunDesktop(QApplication& qt, const PaneRegistry& panes);

}  // namespace mirvale

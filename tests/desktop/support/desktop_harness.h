#pragma once
// The whole desktop program in the test's own process, pointed at a real MirvaleSrv's temporary
// folders: every pane and dialog registered as desktop/main.cpp does, a short splash and quick
// file retries, and helpers to wait for start-up, switch panes and save screenshots.
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <list>
#include <memory>

#include <gtest/gtest.h>

#include "desktop/pools/pool_panes.h"
#include "desktop/results/result_panes.h"
#include "desktop/shell/desktop_session.h"
#include "desktop/shell/main_frame.h"
#include "desktop/shell/mirvale_view.h"
#include "desktop/shell/pane_registry.h"
#include "desktop/shell/shell_panes.h"
#include "tests/support/service_process.h"

namespace testing_support {

// Options for tests: a short splash, file retries 5 tries 20 ms apart, service polls 200 ms apart.
inline mirvale::AppOptions QuickAppOptions() {
  mirvale::AppOptions options;
  options.splashDelay = std::chrono::milliseconds(100);
  options.fileRetry.pause = std::chrono::milliseconds(20);
  options.servicePolling = {150, std::chrono::milliseconds(200)};
  options.controlTimeout = std::chrono::milliseconds(20000);
  return options;
}

// Points this process at the service's folders for the scope of the object.
class ServiceFolders {
 public:
  explicit ServiceFolders(const ServiceProcess& service) {
    for (const auto& [name, value] : service.Environment()) env_.emplace_back(name, value);
  }

 private:
  std::list<ScopedEnv> env_;
};

inline mirvale::PaneRegistry AllPanes() {
  mirvale::PaneRegistry panes;
  mirvale::RegisterShellPanes(panes);
  mirvale::RegisterPoolPanes(panes);
  mirvale::RegisterResultPanes(panes);
  return panes;
}

class DesktopHarness {
 public:
  explicit DesktopHarness(const ServiceProcess& service, mirvale::AppOptions options = QuickAppOptions())
      : folders_(service), panes_(AllPanes()), session_(panes_, std::move(options)) {}

  mirvale::DesktopSession& Session() { return session_; }
  mirvale::CMirvaleApp& App() { return session_.App(); }
  mirvale::CMainFrame& Frame() { return session_.Frame(); }
  mirvale::CMirvaleView& View() { return session_.Frame().View(); }

  // Shows the main window and waits until the splash has done the start-up loading.
  bool Start(int timeoutMs = 60000) {
    Frame().show();
    return QTest::qWaitFor([this] { return Frame().StartupFinished(); }, timeoutMs);
  }

  // Sends a command as the tool band would and lets the panes paint.
  void Command(int command) {
    Frame().dispatchCommand(command);
    QTest::qWait(50);
  }

 private:
  ServiceFolders folders_;
  mirvale::PaneRegistry panes_;
  mirvale::DesktopSession session_;
};

// Saves what the screen shows of a window as <build>/screenshots/<name>.png; the path, or empty.
inline std::string SaveScreenshot(QWidget& window, const std::string& name) {
  window.repaint();
  QTest::qWait(200);
  const std::string folder = std::string(MIRVALE_BINARY_DIR) + "/screenshots";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/" + name + ".png";
  const QRect area = window.frameGeometry();
  QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  return shot.save(QString::fromStdString(path), "PNG") ? path : std::string();
}

}  // namespace testing_support

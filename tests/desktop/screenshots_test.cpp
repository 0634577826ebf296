// Screenshots of the desktop program on a private Xvfb display, against a real MirvaleSrv, kept
// as PNG files under <build>/screenshots. Every pane is taken by EveryPaneAsTheToolBandShowsIt
// (pane-<name>.png); a dialog or a pane in a particular state adds a TEST of its own: Open(),
// bring it to that state, Save("<name>").
#include <QImage>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/help_window.h"
#include "desktop/shell/splash_dialog.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::SaveScreenshot;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication(testing_support::Display::Xvfb);

// A running service whose settings hold one pool, so the program opens on Home.
class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    CPoolItem& pool = doc.m_mapPools.FindOrAdd("office");
    pool.m_bSnmpV1 = 1;
    pool.m_pDevices.FindOrAdd("127.0.0.1") = CDeviceItem{"127.0.0.1", "255.255.255.255"};
    ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
    ASSERT_TRUE(service_.Start());
  }

  // The main window at the top left of the screen, 1000 x 680, after the start-up loading.
  DesktopHarness& Open() {
    desktop_ = std::make_unique<DesktopHarness>(service_);
    desktop_->Frame().resize(1000, 680);
    EXPECT_TRUE(desktop_->Start());
    desktop_->Frame().move(0, 0);
    return *desktop_;
  }

  // Saves the main window (or another window) as <build>/screenshots/<name>.png.
  std::string Save(const std::string& name, QWidget* window = nullptr) {
    std::string path = SaveScreenshot(window ? *window : desktop_->Frame(), name);
    EXPECT_FALSE(path.empty()) << name;
    return path;
  }

  ServiceProcess service_;
  std::unique_ptr<DesktopHarness> desktop_;
};

TEST_F(Screenshots, MainWindowOnHome) {
  Open().Command(kCommandHome);
  QImage image(QString::fromStdString(Save("main-window-home")));
  ASSERT_EQ(image.size(), QSize(1000, 680));
  // The band's left edge and the view's panel are painted, not left black.
  EXPECT_EQ(image.pixelColor(0, 2), QColor(1, 103, 204));
  EXPECT_EQ(image.pixelColor(500, 200), QColor(255, 255, 255));
}

TEST_F(Screenshots, EveryPaneAsTheToolBandShowsIt) {
  DesktopHarness& desktop = Open();
  const std::pair<int, const char*> panes[] = {{kCommandScan, "scan"},       {kCommandReports, "reports"},
                                               {kCommandTools, "tools"},     {kCommandOptions, "options"},
                                               {kCommandActions, "actions"}, {kCommandExport, "export"}};
  for (auto [command, name] : panes) {
    desktop.Command(command);
    Save(std::string("pane-") + name);
  }
  // And at the smallest window the program allows.
  desktop.Frame().resize(790, 560);
  desktop.Command(kCommandHome);
  Save("small-pane-home");
  for (auto [command, name] : panes) {
    desktop.Command(command);
    Save(std::string("small-pane-") + name);
  }
}

TEST_F(Screenshots, HelpWindow) {
  Open().Command(kCommandHelp);
  ASSERT_TRUE(desktop_->View().Help());
  desktop_->View().Help()->move(0, 0);
  Save("help", desktop_->View().Help());
}

TEST_F(Screenshots, SplashWhileStarting) {
  mirvale::AppOptions options = testing_support::QuickAppOptions();
  options.splashDelay = std::chrono::milliseconds(3000);
  desktop_ = std::make_unique<DesktopHarness>(service_, options);
  desktop_->Frame().show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop_->Frame().Splash() && desktop_->Frame().Splash()->isVisible(); }));
  Save("splash", desktop_->Frame().Splash());
  EXPECT_TRUE(QTest::qWaitFor([&] { return desktop_->Frame().StartupFinished(); }, 20000));
}

}  // namespace
}  // namespace mirvale

// The whole desktop program on a private Xvfb display with a window manager, against a real
// MirvaleSrv, clicked through the window system's path: a service stopped by SIGSTOP while Home
// is shown and while Start Scan and Save wait (the GUI thread keeps turning, a click on another
// pane is taken, the message comes within the attempts, also once its queue is full), the commit's attempts with the service
// down, the Scan Pool arrow with no pool chosen, a close during the splash, and the service's
// notices reaching the panes on screen.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <csignal>

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "desktop/pools/scan_pane.h"
#include "desktop/pools/scan_pool_button.h"
#include "desktop/pools/scan_results_dialog.h"
#include "desktop/results/configuration_wait.h"
#include "desktop/shell/auto_scan_page.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/flat_tool_bar.h"
#include "desktop/shell/home_pane.h"
#include "desktop/shell/main_tool_band.h"
#include "desktop/shell/save_cancel_bar.h"
#include "desktop/shell/splash_dialog.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/desktop/support/window_manager.h"
#include "tests/desktop/support/x_window_client.h"
#include "tests/support/lab_pools.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::RecordingPrompter;
using testing_support::ServiceProcess;
using Clock = std::chrono::steady_clock;

static auto* const qt = testing_support::UseQtApplication(testing_support::Display::Xvfb);

// openbox on the same display, set up after it.
class WindowManagerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    manager_ = std::make_unique<testing_support::WindowManager>(std::getenv("DISPLAY"));
    ASSERT_TRUE(manager_->Running()) << "the window manager did not start";
  }
  void TearDown() override { manager_.reset(); }

 private:
  std::unique_ptr<testing_support::WindowManager> manager_;
};
static auto* const windowManager = ::testing::AddGlobalTestEnvironment(new WindowManagerEnvironment);

// The longest gap between the ticks of a 10 ms timer on the GUI thread.
class StallMeter {
 public:
  StallMeter() {
    QObject::connect(&ticker_, &QTimer::timeout, [this] { longest_ = std::max(longest_, clock_.restart()); });
    clock_.start();
    ticker_.start(10);
  }
  qint64 Longest() const { return std::max(longest_, clock_.elapsed()); }

 private:
  QTimer ticker_;
  QElapsedTimer clock_;
  qint64 longest_ = 0;
};

// A click as the window system delivers it: to the window, at the widget's point.
void Click(QWidget& widget, QPoint at) {
  QTest::mouseClick(widget.window()->windowHandle(), Qt::LeftButton, {}, widget.mapTo(widget.window(), at));
}

void ClickTool(DesktopHarness& desktop, int command) {
  FlatToolButton* button = desktop.Frame().ToolBand().ToolBar().Button(command);
  Click(*button, button->rect().center());
}

CMirvaleDoc OnePool(const std::string& address) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = testing_support::AddSnmpV1Pool(doc, "lab");
  pool.m_bAllQueries = 0;
  pool.m_pQueries.Set("1.3.6.1.2.1.1.5", CQueryItem{"1.3.6.1.2.1.1.5", "sysName", ""});
  pool.m_pDevices.Set(address, CDeviceItem{address, "255.255.255.255"});
  return doc;
}

AppOptions ProductTimeouts() {
  AppOptions options = testing_support::QuickAppOptions();
  options.controlTimeout = AppOptions{}.controlTimeout;
  options.fileRetry = AppOptions{}.fileRetry;
  return options;
}

CConfigurationScanPane& ScanPane(DesktopHarness& desktop) {
  return *static_cast<CConfigurationScanPane*>(desktop.View().Pane(PaneSlot::Scan));
}

TEST(ServiceWait, HungServiceLeavesTheWindowInUseAndIsGivenUpOnWithinTheAttempts) {
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(OnePool("127.0.0.9"))));
  ASSERT_TRUE(service.Start());
  RecordingPrompter prompter;
  DesktopHarness desktop(service, ProductTimeouts());
  ASSERT_TRUE(desktop.Start());
  desktop.Frame().resize(790, 560);
  ASSERT_TRUE(desktop.View().Pane(PaneSlot::Home)->isVisible());
  ASSERT_EQ(kill(service.Pid(), SIGSTOP), 0);
  struct Resume {
    pid_t pid;
    ~Resume() { kill(pid, SIGCONT); }
  } resume{service.Pid()};

  // Home asks the service's state each time it is shown: 5 s unanswered, off the GUI thread.
  StallMeter home;
  ClickTool(desktop, kCommandScan);
  ClickTool(desktop, kCommandHome);
  QTest::qWait(6000);
  EXPECT_LT(home.Longest(), 500) << "Home froze the window while the service was asked";
  EXPECT_EQ(desktop.View().Pane(PaneSlot::Home)->findChild<QLabel*>("homeStatus3")->text(), "Running");

  // Start Scan: the pane waits, the tool band stays in use, the message comes within 5 attempts
  // of 3 s, 1 s apart. The click returns only once the request is answered: what happens
  // meanwhile is looked at from a timer.
  ClickTool(desktop, kCommandScan);
  CConfigurationScanPane& pane = ScanPane(desktop);
  pane.SelectPool("lab");
  QWidget& homePane = *desktop.View().Pane(PaneSlot::Home);
  Qt::CursorShape shape = Qt::ArrowCursor;
  bool taken = false;
  QTimer::singleShot(1000, [&] {
    shape = pane.cursor().shape();
    ClickTool(desktop, kCommandHome);
    taken = homePane.isVisible();
  });
  StallMeter scan;
  auto start = Clock::now();
  Click(pane.ScanButton(), QPoint(20, pane.ScanButton().height() / 2));
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(shape, Qt::BusyCursor) << "nothing said a request was pending";
  EXPECT_TRUE(taken) << "the click on Home was not taken at once";
  ASSERT_FALSE(prompter.Texts().isEmpty());
  EXPECT_EQ(prompter.Texts().last(), "Settings failed, please check your access permissions.");
  EXPECT_GT(seconds, 15.0);
  EXPECT_LT(seconds, 22.0);
  EXPECT_LT(scan.Longest(), 500) << "the window froze while Start Scan waited";
  EXPECT_FALSE(pane.Busy());
  EXPECT_TRUE(desktop.App().Document().m_strScanPool.empty());
  EXPECT_TRUE(homePane.isVisible());

  // Save: the same, with the service's queue of connections full, and the pane the user went to
  // meanwhile stays.
  std::vector<platform::UniqueFd> queued;
  while (queued.size() < 64) {
    platform::UniqueFd client = platform::ConnectUnixStream(service.ControlSocket(), /*nonBlocking=*/true);
    if (!client) break;
    queued.push_back(std::move(client));
  }
  ASSERT_LT(queued.size(), 64u) << "the queue never filled";
  desktop.Command(kCommandOptions);
  auto* bar = static_cast<CConfigurationToolsSave*>(desktop.View().Pane(PaneSlot::SaveBar));
  bar->EnableSave();
  QPushButton* save = bar->findChild<QPushButton*>("saveButton");
  taken = false;
  QTimer::singleShot(1000, [&] {
    ClickTool(desktop, kCommandScan);
    taken = pane.isVisible();
  });
  const int before = prompter.Texts().size();
  StallMeter saving;
  start = Clock::now();
  Click(*save, save->rect().center());
  seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_TRUE(taken) << "the click on Scan was not taken at once";
  ASSERT_EQ(prompter.Texts().size(), before + 1);
  EXPECT_EQ(prompter.Texts().last(), "Settings failed, please check your access permissions.");
  EXPECT_GT(seconds, 15.0);
  EXPECT_LT(seconds, 22.0);
  EXPECT_LT(saving.Longest(), 500) << "the window froze while Save waited";
  QTest::qWait(100);
  EXPECT_TRUE(pane.isVisible()) << "Save took the user back from the pane chosen meanwhile";
}

TEST(ServiceWait, CommitWithTheServiceDownIsWrittenFiveTimesASecondApartWhileTheWindowPaints) {
  ServiceProcess service;  // folders only: the control socket answers nobody
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(OnePool("127.0.0.9"))));
  RecordingPrompter prompter;
  DesktopHarness desktop(service, ProductTimeouts());
  ASSERT_TRUE(desktop.Start());
  // Each attempt renames the file anew into place (and the last is removed once the Save gives
  // up): the times of the renames are the attempts.
  std::vector<qint64> writes;
  const std::string handedOver = "Mirvale.ini." + std::to_string(geteuid());
  platform::UniqueFd renames(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  ASSERT_GE(inotify_add_watch(renames.get(), service.DataFolder().c_str(), IN_MOVED_TO), 0);
  QElapsedTimer clock;
  QTimer watch;
  int paints = 0;
  auto look = [&] {
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = read(renames.get(), events, sizeof events)) > 0;) {
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        if (event->len && handedOver == event->name) writes.push_back(clock.elapsed());
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    if (desktop.Frame().isVisible()) {
      desktop.Frame().repaint();
      ++paints;
    }
  };
  QObject::connect(&watch, &QTimer::timeout, look);
  StallMeter meter;
  clock.start();
  watch.start(10);
  EXPECT_FALSE(desktop.App().CommitSettings(&desktop.Frame()));
  watch.stop();
  look();  // the last attempt's write
  EXPECT_FALSE(platform::FileExists(service.DataFile(handedOver))) << "the Save given up on left its file";
  EXPECT_EQ(prompter.Texts(),
            QStringList{"Settings failed, please check your access permissions. The service is not running."});
  ASSERT_EQ(writes.size(), 5u) << ::testing::PrintToString(writes);
  for (size_t i = 1; i < writes.size(); ++i) {
    EXPECT_GE(writes[i] - writes[i - 1], 900) << "attempt " << i + 1;
    EXPECT_LE(writes[i] - writes[i - 1], 1600) << "attempt " << i + 1;
  }
  EXPECT_GT(paints, 200) << "the window did not paint while the commit waited";
  EXPECT_LT(meter.Longest(), 500);
}

TEST(ServiceWait, ScanPoolArrowOpensTheMenuWithNoPoolChosen) {
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(OnePool("127.0.0.9"))));
  ASSERT_TRUE(service.Start());
  DesktopHarness desktop(service);
  ASSERT_TRUE(desktop.Start());
  desktop.Frame().resize(790, 560);
  ClickTool(desktop, kCommandScan);
  CConfigurationScanPane& pane = ScanPane(desktop);
  ASSERT_TRUE(pane.PoolCombo().currentText().isEmpty());
  ASSERT_FALSE(pane.ScanButton().StartEnabled());
  // The left part starts nothing with no pool chosen.
  Click(pane.ScanButton(), QPoint(20, pane.ScanButton().height() / 2));
  EXPECT_FALSE(pane.Busy());

  QStringList enabled;
  QTimer::singleShot(300, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions())
        if (!action->isSeparator()) enabled << QString("%1=%2").arg(action->text()).arg(action->isEnabled());
      testing_support::SaveScreenshot(desktop.Frame(), "pane-scan-menu-no-pool");
      menu->close();
    }
  });
  const QRect arrow = pane.ScanButton().ArrowZone();
  Click(pane.ScanButton(), arrow.center());
  EXPECT_EQ(enabled,
            (QStringList{"Start Scan=0", "Modify Pool=0", "Delete selected Pool=0", "Add Pool to the pools list=1"}));
  testing_support::SaveScreenshot(desktop.Frame(), "pane-scan-no-pool-minimum");
}

TEST(ServiceWait, CloseAskedDuringTheSplashIsSaidAndTakenOnceLoadingIsDone) {
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(OnePool("127.0.0.9"))));
  ASSERT_TRUE(service.Start());
  QApplication::setQuitOnLastWindowClosed(false);
  AppOptions options = testing_support::QuickAppOptions();
  options.splashDelay = std::chrono::milliseconds(1500);
  DesktopHarness desktop(service, options);
  desktop.Frame().show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.Frame().Splash() && desktop.Frame().Splash()->isVisible(); }));
  // The title bar's close, as the window manager sends it.
  testing_support::XWindowClient windows(std::getenv("DISPLAY"));
  ASSERT_TRUE(windows.AskToClose(static_cast<xcb_window_t>(desktop.Frame().winId())));
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return desktop.Frame().Splash()->findChild<QLabel*>("splashDetail")->text() != "Loading Mirvale...";
  }, 1000)) << "the close never arrived";
  EXPECT_TRUE(desktop.Frame().isVisible()) << "the close cut the loading short";
  EXPECT_EQ(desktop.Frame().Splash()->findChild<QLabel*>("splashDetail")->text(), "Closing once loading is done...");
  testing_support::SaveScreenshot(*desktop.Frame().Splash(), "splash-closing");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !desktop.Frame().isVisible(); }, 20000)) << "the close was dropped";
  EXPECT_TRUE(desktop.Frame().StartupFinished());
  QApplication::setQuitOnLastWindowClosed(true);
}

// Dialogs as the window manager frames them: their titles whole, the wait's close button there.
TEST(ServiceWait, DialogsShowInTheirFrames) {
  CConfigurationToolsOptionsScan scan(QStringList{"lab"}, QStringList{}, nullptr, nullptr);
  scan.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&scan, 30000));
  testing_support::SaveScreenshot(scan, "dialog-automatic-scanning");
  scan.close();
  CConfigurationWait wait;
  wait.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&wait, 30000));
  testing_support::SaveScreenshot(wait, "dialog-set-restore-wait");
}

// The settings another operator's desktop commits to start a scan of the pool.
void StartScanAsAnotherOperator(const ServiceProcess& service, CMirvaleDoc doc) {
  doc.m_strScanPool = "lab";
  doc.m_strScanUser = "other";
  ASSERT_TRUE(DesktopSaveSettings(
      doc, service.DataFolder(),
      [&] {
        auto done = platform::SendServiceControl(platform::ControlReloadSettings, service.ControlSocket(),
                                                 std::chrono::seconds(20));
        return done && *done == platform::kControlDone;
      },
      platform::RetryPolicy{}));
  auto started =
      platform::SendServiceControl(platform::ControlStartScan, service.ControlSocket(), std::chrono::seconds(20));
  ASSERT_TRUE(started && *started == platform::kControlDone);
}

// Waits for a finished scan database newer than after; the moment it was seen, and its start.
std::pair<Clock::time_point, std::string> WaitForFinishedScan(const ServiceProcess& service, long long after) {
  std::pair<Clock::time_point, std::string> seen;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb"));
        if (!bytes) return false;
        try {
          ScanDatabaseHeader header = DecodeScanDatabase(*bytes).header;
          if (header.m_strScanStatus != "Finished" || std::stoll("0" + header.m_strScanStart) <= after) return false;
          seen = {Clock::now(), header.m_strScanStart};
          return true;
        } catch (const std::exception&) {
          return false;
        }
      },
      60000));
  return seen;
}

qint64 MillisecondsSince(Clock::time_point then) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

TEST(ServiceWait, NoticesReloadHomeTheScanListAndAnOpenScanResults) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
  auto agent = std::make_unique<testing_support::SnmpAgent>(
      std::vector<std::string>{"rocommunity public default", "sysName first"}, "udp:127.0.0.1:161");
  ServiceProcess service;
  const CMirvaleDoc doc = OnePool("127.0.0.1");
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  DesktopHarness desktop(service);
  ASSERT_TRUE(desktop.Start());
  auto& home = *static_cast<CConfigurationHome*>(desktop.View().Pane(PaneSlot::Home));
  ASSERT_TRUE(home.isVisible());
  ASSERT_EQ(home.State(), HomeState::NoScan);

  StartScanAsAnotherOperator(service, doc);
  auto [finished, start] = WaitForFinishedScan(service, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return home.Summary().hasScan; }, 5000));
  EXPECT_LT(MillisecondsSince(finished), 1000) << "Home did not take the notice";
  EXPECT_EQ(home.Summary().Count(DeviceGroup::Changed) + home.Summary().Count(DeviceGroup::Unchanged), 1);
  // The other operator's request stays in the settings, but its scan has ended: the links lead on.
  EXPECT_EQ(desktop.App().Document().m_strScanPool, "lab");
  EXPECT_TRUE(home.Summary().LinkLive(DeviceGroup::Changed) || home.Summary().LinkLive(DeviceGroup::Unchanged));
  desktop.Frame().resize(790, 560);
  testing_support::SaveScreenshot(desktop.Frame(), "pane-home-after-notice-minimum");

  desktop.Command(kCommandScan);
  CConfigurationScanPane& pane = ScanPane(desktop);
  pane.SelectPool("lab");
  ASSERT_EQ(pane.List().topLevelItemCount(), 1);
  QTreeWidgetItem* row = pane.List().topLevelItem(0);
  row->setSelected(true);
  pane.OpenResults(row);
  auto* results = pane.findChild<CConfigurationScanResults*>();
  ASSERT_TRUE(results);
  ASSERT_EQ(results->List().topLevelItem(0)->text(1), "first");
  // Opened while the device was still being scanned: its values come with the notice.
  CConfigurationScanResults early(desktop.App(), {}, "127.0.0.1", "127.0.0.1", "Collecting Information...", "lab",
                                  &pane);
  ASSERT_EQ(early.List().topLevelItemCount(), 0);

  agent.reset();
  agent = std::make_unique<testing_support::SnmpAgent>(
      std::vector<std::string>{"rocommunity public default", "sysName second"}, "udp:127.0.0.1:161");
  StartScanAsAnotherOperator(service, doc);
  auto [again, secondStart] = WaitForFinishedScan(service, std::stoll(start));
  // The row is updated in place: the same item, still selected, with the new scan's time.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return results->List().topLevelItem(0)->text(1) == "second" &&
               row->data(2, Qt::UserRole + 1).toLongLong() == std::stoll(secondStart);
      },
      5000))
      << "the list or the open Scan Results kept the old scan";
  EXPECT_LT(MillisecondsSince(again), 1000) << "the panes took the notice late";
  ASSERT_EQ(pane.List().topLevelItem(0), row);
  EXPECT_EQ(row->text(3), "Finished with changes");
  EXPECT_EQ(results->ShownStatus(), row->text(3));
  EXPECT_TRUE(row->isSelected()) << "the reload lost the user's selection";

  testing_support::SaveScreenshot(*results, "dialog-scan-results-reloaded");
  results->close();
  // The notice came while the other dialog was in front: taken when this one is.
  early.show();
  early.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return early.List().topLevelItemCount() == 1; }, 5000));
  EXPECT_EQ(early.List().topLevelItem(0)->text(1), "second");
  EXPECT_EQ(early.ShownStatus(), "Finished with changes");
}

}  // namespace
}  // namespace mirvale

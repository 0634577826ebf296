// The desktop program in this process against a real MirvaleSrv in temporary folders: start-up,
// the service started when it does not run, the store reloaded on the service's notice, a second
// copy raising the first, and the frame's commands.
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "common/status_texts.h"
#include "desktop/pools/scan_pane.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/flat_tool_bar.h"
#include "desktop/shell/help_window.h"
#include "desktop/shell/main_tool_band.h"
#include "platform/atomic_file.h"
#include "platform/notice_socket.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::RecordingPrompter;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication();

CMirvaleDoc OnePoolSettings() {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("lab");
  pool.m_bSnmpV1 = 1;
  pool.m_nRetries = 0;
  pool.m_nTimeout = 1;
  pool.m_strReadCommunity = "public";
  pool.m_pDevices.FindOrAdd("127.0.0.1") = CDeviceItem{"127.0.0.1", "255.255.255.255"};
  doc.m_strScanPool = "lab";
  doc.m_strScanUser = "admin";
  return doc;
}

bool VisibleOnly(DesktopHarness& desktop, std::initializer_list<PaneSlot> shown) {
  for (PaneSlot slot : kAllPaneSlots) {
    bool expected = std::find(shown.begin(), shown.end(), slot) != shown.end();
    if (desktop.View().Pane(slot)->isVisibleTo(&desktop.View()) != expected) return false;
  }
  return true;
}

void StopLaunchedService(const ServiceProcess& service) {
  platform::SendServiceControl(platform::kControlStop, service.ControlSocket(), std::chrono::seconds(20));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return platform::QueryServiceState(service.ControlSocket()) == platform::ServiceState::Stopped; }, 20000));
}

TEST(DesktopStart, WithoutServiceOrReadableSettingsOpensScanAndReportsFailedSaves) {
  ServiceProcess service;  // folders only: nothing installed, nothing running
  std::string whole = EncodeSettings(OnePoolSettings());
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), whole.substr(0, whole.size() / 2)));
  RecordingPrompter prompter;
  AppOptions options = testing_support::QuickAppOptions();
  options.controlTimeout = std::chrono::milliseconds(300);
  DesktopHarness desktop(service, options);
  // A file that breaks off part-way leaves the document as it was: no pool, no scan.
  EXPECT_TRUE(desktop.App().Document().m_mapPools.empty());
  EXPECT_TRUE(desktop.App().Document().m_strScanPool.empty());
  ASSERT_TRUE(desktop.Start());
  EXPECT_FALSE(desktop.App().IsServiceRunning());
  EXPECT_TRUE(VisibleOnly(desktop, {PaneSlot::Scan}));
  EXPECT_FALSE(desktop.App().Store().ScanLoaded());

  EXPECT_FALSE(desktop.App().CommitSettings(&desktop.Frame()));
  ASSERT_EQ(prompter.Texts(),
            QStringList{"Settings failed, please check your access permissions. The service is not running."});
  EXPECT_EQ(prompter.Icons().front(), QMessageBox::Information);
  // Start Scan with no service: its commit fails once its attempts are spent.
  desktop.App().WithDocument([](CMirvaleDoc& doc) { doc = OnePoolSettings(); });
  auto& scan = *static_cast<CConfigurationScanPane*>(desktop.View().Pane(PaneSlot::Scan));
  scan.SelectPool("lab");
  scan.StartScan();
  EXPECT_EQ(prompter.Texts().last(),
            "Settings failed, please check your access permissions. The service is not running.");
  EXPECT_FALSE(scan.Busy());
  EXPECT_TRUE(desktop.App().Document().m_strScanPool.empty()) << "a scan request that never left still stands";

  // A service that takes requests but never answers: the window goes on painting while the
  // commit waits out its tries.
  platform::UniqueFd silent = platform::ListenUnixStream(service.ControlSocket(), 0600, 16);
  ASSERT_TRUE(silent);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);
  EXPECT_FALSE(desktop.App().CommitSettings(&desktop.Frame()));
  EXPECT_GT(ticks, 5) << "the window froze while the commit waited";
  EXPECT_EQ(prompter.Texts().last(), "Settings failed, please check your access permissions.");
}

TEST(DesktopStart, ToolBandSwitchesPanesAndSettingsPanesGoBack) {
  ServiceProcess service;
  DesktopHarness desktop(service);
  ASSERT_TRUE(desktop.Start());
  CFlatToolBarCtrl& bar = desktop.Frame().ToolBand().ToolBar();
  QTest::mouseClick(bar.Button(kCommandReports), Qt::LeftButton);
  EXPECT_TRUE(VisibleOnly(desktop, {PaneSlot::Reports}));

  desktop.Command(kCommandOptions);
  EXPECT_TRUE(VisibleOnly(desktop, {PaneSlot::Options, PaneSlot::SaveBar}));
  desktop.Command(kCommandExport);  // from one settings pane to another: Reports stays the way back
  EXPECT_TRUE(VisibleOnly(desktop, {PaneSlot::Export, PaneSlot::SaveBar}));
  desktop.Command(desktop.View().Switcher().LastMainCommand());
  EXPECT_TRUE(VisibleOnly(desktop, {PaneSlot::Reports}));

  // Help: the button opens the shipped pages; its menu offers Help, About and Exit.
  QTest::mouseClick(bar.Button(kCommandHelpButton), Qt::LeftButton, {}, QPoint(10, 10));
  ASSERT_TRUE(desktop.View().Help());
  EXPECT_TRUE(desktop.View().Help()->isVisible());
  EXPECT_TRUE(desktop.View().Help()->Browser().toPlainText().contains("Welcome to Mirvale"));
  QStringList items;
  for (QAction* action : desktop.Frame().HelpMenu().actions())
    if (!action->isSeparator()) items << action->text();
  EXPECT_EQ(items, (QStringList{"Help", "&About Mirvale...", "Exit Mirvale"}));
  EXPECT_EQ(desktop.Frame().minimumSize(), QSize(790, 560));
}

TEST(DesktopStart, StartsTheServiceReloadsOnItsNoticeAndRaisedByASecondCopy) {
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(OnePoolSettings())));
  ASSERT_TRUE(service.Register());
  DesktopHarness desktop(service);
  ASSERT_TRUE(desktop.Start());
  struct StopAtEnd {
    const ServiceProcess& service;
    ~StopAtEnd() { StopLaunchedService(service); }
  } stopAtEnd{service};
  ASSERT_TRUE(desktop.App().IsServiceRunning()) << "the desktop program did not start the service";
  EXPECT_TRUE(VisibleOnly(desktop, {PaneSlot::Home}));
  EXPECT_TRUE(desktop.App().Listening());

  // A scan the desktop program does not follow: its notice reloads the store, and widgets hear
  // of it on the GUI thread.
  QSignalSpy reloaded(&desktop.App(), &CMirvaleApp::databaseReloaded);
  bool onGuiThread = false;
  QObject::connect(&desktop.App(), &CMirvaleApp::databaseReloaded, &desktop.Frame(),
                   [&] { onGuiThread = QThread::currentThread() == desktop.Frame().thread(); });
  ASSERT_EQ(service.Control(platform::ControlStartScan), platform::kControlDone);
  ASSERT_TRUE(reloaded.wait(60000)) << "no reload after the scan";
  EXPECT_TRUE(onGuiThread);
  EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.App().Store().ScanHeader().m_strScanStatus == "Finished"; }, 20000));
  EXPECT_EQ(desktop.App().Store().ScanHeader().m_strScanPool, "lab");
  ScanDatabaseMap scan;
  desktop.App().Store().CopyScanMap(scan);
  EXPECT_TRUE(scan.Contains("lab/127.0.0.1"));

  // While this desktop follows its own manual scan, notices leave the databases to the follower.
  desktop.App().SetFollowingScan(true);
  reloaded.clear();
  ASSERT_EQ(platform::NotifyEveryNoticeSocket(service.DataFolder(), kUpdateDatabaseNotice), 1u);
  EXPECT_FALSE(reloaded.wait(1500));
  desktop.App().SetFollowingScan(false);

  // A second copy asks this one to come forward and ends at once.
  desktop.Frame().showMinimized();
  QProcess second;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  second.setProcessEnvironment(environment);
  second.start(QString::fromStdString(std::string(MIRVALE_BINARY_DIR) + "/bin/Mirvale"), {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !desktop.Frame().isMinimized(); }, 5000));
}

}  // namespace
}  // namespace mirvale

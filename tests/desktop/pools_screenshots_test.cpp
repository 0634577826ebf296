// Screenshots of the Scan pane after a finished scan and of the Pool Properties dialog, on a
// private Xvfb display against a real MirvaleSrv and snmpd in the test's own network
// namespace; kept as <build>/screenshots/scan-pane-finished.png and pool-properties.png.
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <filesystem>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/pools/mib_path_browser.h"
#include "desktop/pools/pool_properties_dialog.h"
#include "desktop/pools/scan_pane.h"
#include "desktop/pools/scan_results_dialog.h"
#include "desktop/results/query_page.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/command_ids.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using testing_support::DesktopHarness;
using testing_support::SaveScreenshot;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication(testing_support::Display::Xvfb);

TEST(PoolsScreenshots, ScanPaneAfterAFinishedScanAndPoolProperties) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
  platform::AppendToFile("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
  testing_support::SnmpAgent agent({"rocommunity public default", "sysName core-router"}, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  ServiceProcess service;
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("office");
  pool.m_bSnmpV1 = 1;
  pool.m_bAllQueries = 0;
  pool.m_nTimeout = 1;
  pool.m_strReadCommunity = "public";
  pool.m_strWriteCommunity = "private";
  pool.m_pQueries.Set("1.3.6.1.2.1.1.5", CQueryItem{"1.3.6.1.2.1.1.5", "sysName", ""});
  pool.m_pQueries.Set("1.3.6.1.2.1.1.6", CQueryItem{"1.3.6.1.2.1.1.6", "sysLocation", ""});
  pool.m_pDevices.Set("127.0.0.0", CDeviceItem{"127.0.0.0", "255.255.255.248"});
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  testing_support::RecordingPrompter prompter;
  DesktopHarness desktop(service);
  desktop.Frame().resize(1000, 680);
  ASSERT_TRUE(desktop.Start());
  desktop.Frame().move(0, 0);
  desktop.Command(kCommandScan);
  auto& pane = *static_cast<CConfigurationScanPane*>(desktop.View().Pane(PaneSlot::Scan));
  pane.SelectPool("office");
  QSignalSpy ended(&pane, &CConfigurationScanPane::followingEnded);
  pane.StartScan();
  ASSERT_TRUE(ended.wait(90000));
  ASSERT_EQ(pane.List().topLevelItemCount(), 6);
  std::string path = SaveScreenshot(desktop.Frame(), "scan-pane-finished");
  ASSERT_FALSE(path.empty());
  QImage image(QString::fromStdString(path));
  EXPECT_EQ(image.size(), QSize(1000, 680));

  CConfigurationPoolProperties properties(desktop.App(), "office", &desktop.Frame());
  properties.show();
  properties.move(40, 40);
  QTest::qWait(100);
  path = SaveScreenshot(properties, "pool-properties");
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(properties.DeviceList().topLevelItemCount(), 1);
  EXPECT_EQ(properties.QueryList().topLevelItemCount(), 2);
  properties.close();

  // A new pool: its query buttons wait for "Collect specific queries"; choosing SNMP grows the
  // dialog, which stays whole on the screen.
  CConfigurationPoolProperties fresh(desktop.App(), QString(), &desktop.Frame());
  fresh.show();
  QTest::qWait(100);
  EXPECT_FALSE(fresh.AddMibsButton().isEnabled());
  const int shellHeight = fresh.frameGeometry().height();
  QTest::mouseClick(&fresh.ProtocolRadio(ProtocolChoice::SnmpV1), Qt::LeftButton);
  QTest::qWait(100);
  EXPECT_GT(fresh.frameGeometry().height(), shellHeight);
  EXPECT_TRUE(fresh.screen()->availableGeometry().contains(fresh.frameGeometry()))
      << fresh.frameGeometry().height() << " high at " << fresh.frameGeometry().top();
  EXPECT_FALSE(SaveScreenshot(fresh, "pool-properties-new-snmp").empty());
  fresh.close();

  // The MIB browser takes a folder as the choice: the one selected, or the one shown.
  testing_support::TempFolder mibs;
  std::filesystem::create_directory(mibs / "vendor");
  MibPathBrowser browser(&desktop.Frame());
  browser.setDirectory(QString::fromStdString(mibs.path()));
  browser.show();
  QTest::qWait(100);
  browser.selectFile(QString::fromStdString(mibs / "vendor"));
  browser.accept();
  EXPECT_EQ(browser.result(), QDialog::Accepted);
  EXPECT_EQ(browser.ChosenPath(), QString::fromStdString(mibs / "vendor"));
  MibPathBrowser shown(&desktop.Frame());
  shown.setDirectory(QString::fromStdString(mibs.path()));
  shown.show();
  QTest::qWait(100);
  shown.accept();
  EXPECT_EQ(shown.result(), QDialog::Accepted);
  EXPECT_EQ(QFileInfo(shown.ChosenPath()).canonicalFilePath(),
            QFileInfo(QString::fromStdString(mibs.path())).canonicalFilePath());

  // The agent's Scan Results and the Query Properties page of its name.
  pane.OpenResults(pane.List().topLevelItem(0));
  auto* results = pane.findChild<CConfigurationScanResults*>();
  ASSERT_TRUE(results);
  results->move(40, 40);
  QTest::qWait(100);
  EXPECT_FALSE(SaveScreenshot(*results, "scan-results").empty());
  ASSERT_EQ(results->List().topLevelItemCount(), 2);
  QTreeWidgetItem* name = results->List().findItems("sysName", Qt::MatchExactly).value(0);
  ASSERT_TRUE(name);
  std::string pagePath;
  QTimer shoot;  // fires inside the page's own loop
  shoot.setSingleShot(true);
  QObject::connect(&shoot, &QTimer::timeout, [&] {
    if (auto* page = qobject_cast<QueryPage*>(QApplication::activeModalWidget())) {
      pagePath = SaveScreenshot(*page, "scan-results-query-page");
      page->reject();
    }
  });
  shoot.start(200);
  QTest::mouseClick(results->List().viewport(), Qt::LeftButton, {}, results->List().visualItemRect(name).center());
  EXPECT_FALSE(pagePath.empty());
}

}  // namespace
}  // namespace mirvale

// The Reports pane, the Restore Devices and Compare Devices dialogs in the whole program against a
// real MirvaleSrv on a private Xvfb display: a report exported byte for byte, sorting and search,
// Compare's marks; screenshots under <build>/screenshots (reports-*.png, restore-*.png, compare-*.png).
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/results/command_page.h"
#include "desktop/results/compare_devices_dialog.h"
#include "desktop/results/query_page.h"
#include "desktop/results/reports_pane.h"
#include "desktop/results/restore_devices_dialog.h"
#include "desktop/results/restore_view.h"
#include "desktop/results/result_widgets.h"
#include "desktop/results/set_devices_dialog.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/command_ids.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/combo_choice.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"

namespace mirvale {
namespace {

using testing_support::Choose;
using testing_support::DesktopHarness;
using testing_support::SaveScreenshot;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication(testing_support::Display::Xvfb);

CDbQuery Line(const std::string& key, const std::string& value, const std::string& prev = "") {
  return CDbQuery{"", "", key, value, "1000000000", prev, prev.empty() ? "" : "900000000"};
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class ResultsViews : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    QLocale::setDefault(QLocale::c());
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    doc.m_mapPools.FindOrAdd("core").m_bTelnet = 1;
    CPoolItem& lab = doc.m_mapPools.FindOrAdd("lab");
    lab.m_bSnmpV1 = 1;
    DeviceDatabaseMap devices;
    const std::vector<std::vector<CDbQuery>> configurations = {
        {Line("1", "hostname r10"), Line("2", "interface eth0"),
         Line("3", "  ip address 10.0.0.10", "  ip address 10.0.0.1"), Line("4", "  shutdown"), Line("5", "!"),
         Line("6", "router ospf")},
        {Line("1", "hostname r2"), Line("2", "interface eth0"), Line("3", "  ip address 10.0.0.2"), Line("4", "!"),
         Line("5", "Router OSPF")}};
    const char* addresses[] = {"10.0.0.10", "10.0.0.2"};
    for (size_t i = 0; i < 2; ++i) {
      CDbItem& router = devices.FindOrAdd(std::string("core/") + addresses[i]);
      router = CDbItem{"core", addresses[i], "r" + std::string(addresses[i]).substr(7), "1000000000", "", "", "", {}};
      for (const CDbQuery& line : configurations[i]) router.m_pQueries.Set(line.m_strKey, line);
    }
    CDbItem& agent = devices.FindOrAdd("lab/10.0.0.2");
    agent = CDbItem{"lab", "10.0.0.2", "agent", "1000000000", "", "2;10;", "", {}};
    for (const auto& [key, value] :
         {std::pair{"1.3.6.1.2.1.2.2.1.2.10", "eth10"}, {"1.3.6.1.2.1.2.2.1.2.2", "eth2, \"uplink\""}})
      agent.m_pQueries.Set(key, CDbQuery{"ifDescr", "1.3.6.1.2.1.2.2.1.2", key, value, "1000000000", "", ""});
    ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
    ASSERT_TRUE(platform::WriteFileAtomically(service_.ProgramFile("Mirvale.db"), EncodeDeviceDatabase(devices)));
    ASSERT_TRUE(service_.Start());
    desktop_ = std::make_unique<DesktopHarness>(service_);
    desktop_->Frame().resize(1000, 680);
    ASSERT_TRUE(desktop_->Start());
    desktop_->Frame().move(0, 0);
  }

  CConfigurationReportsPane& Reports() {
    desktop_->Command(kCommandReports);
    return *qobject_cast<CConfigurationReportsPane*>(desktop_->View().Pane(PaneSlot::Reports));
  }

  ServiceProcess service_;
  std::unique_ptr<DesktopHarness> desktop_;
  testing_support::RecordingPrompter prompter_;
  testing_support::TempFolder folder_;
};

TEST_F(ResultsViews, ReportsBuildSortSearchAndExportByteForByte) {
  CConfigurationReportsPane& pane = Reports();
  Choose(pane.ReportCombo(), "Shell Devices Report");
  pane.OnDisplayReport();
  EXPECT_EQ(pane.findChild<QLabel*>("ResultCount")->text(), "9 Results Found.");
  const std::string csv = folder_ / "report.csv";
  ASSERT_TRUE(pane.ExportResultsTo(csv, ListExportType::Csv));
  const std::string date = "9 Sep 2001 01:46:40";
  const std::string d = "," + date + "\r\n";
  EXPECT_EQ(ReadFile(csv),
            "Device,Name,Pool,Command,Date\r\n"
            "10.0.0.2,r2,core,hostname r2" +
                d + "10.0.0.2,r2,core,interface eth0" + d + "10.0.0.2,r2,core,interface eth0\\rip address 10.0.0.2" +
                d + "10.0.0.2,r2,core,Router OSPF" + d + "10.0.0.10,r10,core,hostname r10" + d +
                "10.0.0.10,r10,core,interface eth0" + d + "10.0.0.10,r10,core,interface eth0\\rip address 10.0.0.10" +
                d + "10.0.0.10,r10,core,interface eth0\\rshutdown" + d + "10.0.0.10,r10,core,router ospf" + d);
  SaveScreenshot(desktop_->Frame(), "reports-shell");

  Choose(pane.ReportCombo(), "Snmp Interfaces Report");
  pane.OnDisplayReport();
  pane.SortBy(0);  // the first click sorts descending: interface 10 before interface 2
  const std::string text = folder_ / "report.txt";
  ASSERT_TRUE(pane.ExportResultsTo(text, ListExportType::Text));
  EXPECT_EQ(ReadFile(text),
            "Device\tName\tPool\tQuery\tValue\tDate\tPrev Value\tPrev Date\r\n"
            "10.0.0.2/10\tagent\tlab\tifDescr\teth10\t" +
                date +
                "\t\t\r\n"
                "10.0.0.2/2\tagent\tlab\tifDescr\teth2, \"uplink\"\t" +
                date + "\t\t\r\n");
  ASSERT_TRUE(pane.ExportResultsTo(csv, ListExportType::Csv));
  EXPECT_NE(ReadFile(csv).find(",\"eth2, \"\"uplink\"\"\","), std::string::npos);
  EXPECT_FALSE(pane.ExportResultsTo(folder_ / "missing/report.csv", ListExportType::Csv));
  EXPECT_EQ(prompter_.Texts(), QStringList{"Export failed, please check your access permissions."});

  // Both rows show the label "ifDescr"; each page shows its own row's identifier.
  QStringList oids;
  QTimer::singleShot(0, [&] {
    auto* page = qobject_cast<QueryPage*>(QApplication::activeModalWidget());
    if (!page) return;
    oids << page->findChild<QLineEdit*>("Oid")->text();
    page->Next();
    oids << page->findChild<QLineEdit*>("Oid")->text();
    EXPECT_FALSE(page->findChild<QPushButton*>("NextButton")->isEnabled());
    SaveScreenshot(*page, "reports-query-page");
    page->reject();
  });
  pane.OnClickResults(0);
  EXPECT_EQ(oids, (QStringList{"1.3.6.1.2.1.2.2.1.2.10", "1.3.6.1.2.1.2.2.1.2.2"}));

  auto* search = pane.findChild<QLineEdit*>("SearchEdit");
  search->setText("eth1");
  pane.OnSearch();
  EXPECT_EQ(pane.List().m_strSearch, "ETH1");
  EXPECT_TRUE(search->text().isEmpty());
  SaveScreenshot(desktop_->Frame(), "reports-interfaces");
}

TEST_F(ResultsViews, RestoreDevicesShowsBothConfigurationsAndTicksTheChange) {
  CConfigurationRestoreDevices dialog(desktop_->App(), &desktop_->Frame());
  dialog.show();
  dialog.move(20, 20);
  Choose(dialog.PoolCombo(), "core");
  Choose(dialog.DeviceCombo(), "10.0.0.10");
  emit dialog.SelectLink().clicked();
  EXPECT_EQ(dialog.PreviousView().TickedRows(), (std::set<size_t>{2}));
  EXPECT_EQ(dialog.PreviousView().HeadingDate(), "9 Jul 1998 16:00:00");
  EXPECT_TRUE(dialog.RestoreButton().isEnabled());
  SaveScreenshot(dialog, "restore-devices");

  // The page of a nested previous line: its context from the rows above; next skips "!".
  QStringList seen;
  QTimer::singleShot(0, [&] {
    auto* page = qobject_cast<CommandPage*>(QApplication::activeModalWidget());
    if (!page) return;
    auto field = [&](const char* name) { return page->findChild<QLineEdit*>(name)->text(); };
    seen << field("Command") << page->findChild<QPlainTextEdit*>("Parameters")->toPlainText() << field("Date");
    page->Next();
    seen << QString::number(page->CurrentRow()) << field("Command");
    SaveScreenshot(*page, "restore-command-page");
    page->reject();
  });
  dialog.OnClickConfiguration(dialog.PreviousView(), 3);
  EXPECT_EQ(seen, (QStringList{"interface eth0", "shutdown", "9 Jul 1998 16:00:00", "5", "router ospf"}));
}

TEST_F(ResultsViews, CompareDevicesMarksLinesTheOtherDeviceLacks) {
  CConfigurationCompareDevices dialog(desktop_->App(), &desktop_->Frame());
  dialog.show();
  dialog.move(20, 20);
  Choose(dialog.PoolCombo(), "core");
  Choose(dialog.DeviceCombo(0), "10.0.0.10");
  Choose(dialog.DeviceCombo(1), "10.0.0.2");
  emit dialog.MarkLink(0).clicked();
  // "router ospf" matches "Router OSPF" without regard to case; the address and shutdown differ.
  EXPECT_EQ(dialog.List(0).m_arrMarkedRows, (QList<int>{0, 2, 3}));
  EXPECT_EQ(dialog.MarkLink(0).text(), "Unmark Changes");
  Choose(dialog.DeviceCombo(1), "10.0.0.2");
  EXPECT_TRUE(dialog.List(0).m_arrMarkedRows.isEmpty()) << "a new choice clears the marks";
  emit dialog.MarkLink(1).clicked();
  EXPECT_EQ(dialog.List(1).m_arrMarkedRows, (QList<int>{0, 2}));
  SaveScreenshot(dialog, "compare-devices");
}

TEST_F(ResultsViews, SetDevicesPickerOpensUnderItsCombo) {
  CConfigurationSetDevices dialog(desktop_->App(), &desktop_->Frame());
  dialog.show();
  dialog.move(20, 20);
  Choose(dialog.PoolCombo(), "core");
  dialog.OnDropdownCommand();
  ASSERT_TRUE(dialog.Picker().isVisible());
  EXPECT_EQ(dialog.Picker().topLevelItemCount(), 5)
      << "hostname r10, hostname r2, interface eth0, router ospf, Router OSPF";
  QTreeWidgetItem* interface = dialog.Picker().findItems("interface eth0", Qt::MatchExactly).value(0);
  ASSERT_TRUE(interface);
  interface->setExpanded(true);
  EXPECT_EQ(interface->childCount(), 3);
  QTest::qWait(100);
  SaveScreenshot(dialog, "set-devices-picker");
  dialog.Pick(interface->child(0));
  EXPECT_FALSE(dialog.Picker().isVisible());
  SaveScreenshot(dialog, "set-devices");
}

}  // namespace
}  // namespace mirvale

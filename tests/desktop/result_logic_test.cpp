// The results views' rules without widgets, with the examples their views are built around.
#include "desktop/results/result_logic.h"

#include <QLocale>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "desktop/results/command_page.h"
#include "desktop/shell/list_export.h"
#include "tests/support/scoped_env.h"

namespace mirvale {
namespace {

std::vector<std::string> Paths(const std::vector<std::string>& lines) {
  std::vector<std::string> paths;
  for (const auto& line : ForwardStackWalk(lines)) paths.push_back(line.Path());
  return paths;
}

TEST(CommandPaths, CellsSplitAtTheLastTwoCharacterMarker) {
  EXPECT_EQ(SplitCommandCell("interface eth0\\rshutdown").command, "interface eth0");
  EXPECT_EQ(SplitCommandCell("interface eth0\\rshutdown").parameters, "shutdown");
  EXPECT_EQ(SplitCommandCell("a\\rb\\rc").command, "a\\rb");
  EXPECT_EQ(SplitCommandCell("a\\rb\\rc").parameters, "c");
  EXPECT_EQ(SplitCommandCell("hostname r1").command, "hostname r1");
  EXPECT_EQ(SplitCommandCell("hostname r1").parameters, "hostname r1");
  EXPECT_EQ(SplitCommandCell("line\rwith carriage return").parameters, "line\rwith carriage return");
}

TEST(ForwardStackWalk, NestsByIndentSkipsShortLinesAndPopsBySteps) {
  EXPECT_EQ(Paths({"interface eth0", "  ip address 10.0.0.1", "  shutdown", "router ospf"}),
            (std::vector<std::string>{"interface eth0", "interface eth0\\rip address 10.0.0.1",
                                      "interface eth0\\rshutdown", "router ospf"}));
  // "!" and blank lines change nothing; a deeper indent is one push; a return to an
  // intermediate level pops until the steps are spent or nothing is left.
  EXPECT_EQ(Paths({"a1", "!", "    b2", "", "      c3", "  d4", "e5"}),
            (std::vector<std::string>{"a1", "a1\\rb2", "a1\\rb2\\rc3", "d4", "e5"}));
  EXPECT_EQ(Paths({"a1", "  b2", "    c3", "  d4"}),
            (std::vector<std::string>{"a1", "a1\\rb2", "a1\\rb2\\rc3", "a1\\rd4"}));
  EXPECT_EQ(ForwardStackWalk({"x", " ", "ok"}).front().index, 2u);
}

TEST(AncestorWalk, RowsAboveWithSmallerIndentOutermostFirst) {
  std::vector<std::string> rows = {"interface e0", " ip address 10.0.0.1", "  standby 1", "router rip"};
  EXPECT_EQ(RowCommand(rows, 1).command, "interface e0");
  EXPECT_EQ(RowCommand(rows, 1).parameters, "ip address 10.0.0.1");
  EXPECT_EQ(RowCommand(rows, 2).command, "interface e0\\rip address 10.0.0.1");
  EXPECT_EQ(RowCommand(rows, 3).command, "router rip");
  EXPECT_EQ(RowCommand(rows, 3).parameters, "router rip");

  // After a set the page follows the line sent: an indented one under its context (never the
  // context itself), a top-level one by its new text; none found keeps the row.
  const std::vector<std::string> after = {"interface e0", " shutdown", "interface e1", " shutdown", "hostname r2"};
  EXPECT_EQ(RowOfSent(after, CommandFields{"", "", "", "", "interface e1", "shutdown"}, 0), 3);
  EXPECT_EQ(RowOfSent(after, CommandFields{"", "", "", "", "hostname r1", "hostname r2"}, 0), 4);
  EXPECT_EQ(RowOfSent(after, CommandFields{"", "", "", "", "interface e2", "shutdown"}, 1), 1);
}

std::vector<StoredLine> Current(std::initializer_list<const char*> lines) {
  std::vector<StoredLine> stored;
  for (const char* line : lines) stored.push_back({line, true});
  return stored;
}

TEST(SelectChanges, ChangedLinesTheirselvesAddedLinesTheirNearestKnownAncestor) {
  std::vector<std::string> previous = {"interface e0", " ip address 10.0.0.1", "router rip"};
  EXPECT_EQ(SelectChanges(Current({"interface e0", " ip address 10.0.0.2", "router rip"}), previous),
            (std::set<size_t>{1}));
  auto requests = CollectMarkedChanges(previous, {1});
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].command, "interface e0");
  EXPECT_EQ(requests[0].value, "ip address 10.0.0.1");

  std::vector<std::string> before = {"interface e0", " ip address 10.0.0.1"};
  EXPECT_EQ(SelectChanges(Current({"interface e0", " ip address 10.0.0.1", " shutdown"}), before),
            (std::set<size_t>{0}));
  EXPECT_EQ(CollectMarkedChanges(before, {0})[0].value, "interface e0");
  EXPECT_TRUE(SelectChanges(Current({"interface e0", " ip address 10.0.0.1", "snmp-server x"}), before).empty());

  // A stale line is not current (so its previous row is ticked) but still gives its children
  // their context.
  std::vector<StoredLine> stale = {{"interface e1", false}, {" shutdown", true}};
  EXPECT_EQ(SelectChanges(stale, {"interface e1", " shutdown"}), (std::set<size_t>{0}));
}

TEST(SelectChanges, SeveralTickedLinesOfOneContextMakeOneRequestWithAllOfThem) {
  std::vector<std::string> rows = {"interface e0", " description a", " shutdown", "router rip", " network 10.0.0.0"};
  auto requests = CollectMarkedChanges(rows, {1, 2, 4});
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].command, "interface e0");
  EXPECT_EQ(requests[0].value, "description a\r\nshutdown");
  EXPECT_EQ(requests[1].command, "router rip");
  EXPECT_EQ(requests[1].value, "network 10.0.0.0");
}

TEST(Comparisons, AddressesNumbersAndCase) {
  EXPECT_EQ(IpStringToHostOrder("10.0.0.9"), 0x0A000009u);
  EXPECT_EQ(IpStringToHostOrder("router"), 0xFFFFFFFFu);
  EXPECT_LT(CompareAddresses("10.0.0.9", "10.0.0.10"), 0);
  EXPECT_LT(CompareNatural("ifDescr.2", "ifDescr.10"), 0);
  EXPECT_LT(CompareNatural("a19", "a100"), 0) << "a number that starts inside the common prefix";
  EXPECT_EQ(CompareNatural("Abc", "abc"), 0);
  EXPECT_LT(CompareNatural("apple", "Banana"), 0);
  EXPECT_LT(CompareNatural("x99999999999999999999", "x100000000000000000000"), 0);
  EXPECT_LT(CompareDeviceCells("10.0.0.2/7", "10.0.0.10/2"), 0);
  EXPECT_LT(CompareDeviceCells("10.0.0.2/3", "10.0.0.2/10"), 0);
  EXPECT_EQ(CompareDeviceCells("10.0.0.2/3", "10.0.0.1"), 0);
  EXPECT_LT(CompareStoredTimes("", "5"), 0);
  EXPECT_LT(CompareStoredTimes("900", "1000"), 0);
}

TEST(Reports, InterfaceAndAddressTablesPickTheirRows) {
  EXPECT_EQ(InterfaceOfKey("1.3.6.1.2.1.2.2.1.2.1", "1;2;10;"), "1");
  EXPECT_EQ(InterfaceOfKey("1.3.6.1.2.1.2.2.1.2.10", "1;2;10;"), "10");
  EXPECT_FALSE(InterfaceOfKey("1.3.6.1.2.1.2.2.1.2.11", "1;2;10;"));
  EXPECT_EQ(AddressEntryOfKey("1.3.6.1.2.1.4.20.1.2.192.168.1.1", "10.0.0.1/3;192.168.1.1/5;"), "192.168.1.1/5");
  EXPECT_EQ(AddressEntryOfKey("1.3.6.1.2.1.4.20.1.2.10.0.0.1", "10.0.0.1/3;192.168.1.1/5;"), "10.0.0.1/3");
  EXPECT_FALSE(AddressEntryOfKey("sysName", "10.0.0.1/3;"));
}

TEST(Reports, RowsKeepTheirOwnKeysAndFollowPoolKindAndFilter) {
  RecordMap<CPoolItem> pools;
  pools.FindOrAdd("snmp").m_bSnmpV1 = 1;
  pools.FindOrAdd("shell").m_bTelnet = 1;
  DeviceDatabaseMap devices;
  CDbItem& agent = devices.FindOrAdd("snmp/10.0.0.1");
  agent = CDbItem{"snmp", "10.0.0.1", "agent", "100", "", "1;2;", "", {}};
  agent.m_pQueries.Set("1.3.6.1.2.1.2.2.1.2.1",
                       CDbQuery{"ifDescr", "1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2.1.2.1", "eth0", "100", "", ""});
  agent.m_pQueries.Set("1.3.6.1.2.1.2.2.1.2.2",
                       CDbQuery{"ifDescr", "1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2.1.2.2", "eth1", "100", "", ""});
  CDbItem& router = devices.FindOrAdd("shell/10.0.0.1");
  router = CDbItem{"shell", "10.0.0.1", "router", "100", "", "", "", {}};
  router.m_pQueries.Set("1", CDbQuery{"", "", "1", "hostname r1", "100", "", ""});
  devices.FindOrAdd("gone/10.0.0.3") = CDbItem{"gone", "10.0.0.3", "old", "1", "", "", "", {}};

  auto snmp = BuildReport(ReportKind::SnmpInterfaces, devices, pools, std::nullopt);
  ASSERT_EQ(snmp.size(), 2u);
  EXPECT_EQ(snmp[0].cells[0], "10.0.0.1/1");
  EXPECT_EQ(snmp[0].cells[3], snmp[1].cells[3]) << "both rows show the same label";
  EXPECT_NE(snmp[0].resultKey, snmp[1].resultKey);
  EXPECT_EQ(snmp[0].address, "10.0.0.1");
  auto shell = BuildReport(ReportKind::ShellDevices, devices, pools, std::string("10.0.0.1"));
  ASSERT_EQ(shell.size(), 1u);
  EXPECT_EQ(shell[0].cells[3], "hostname r1");
  EXPECT_EQ(shell[0].deviceKey, "shell/10.0.0.1");
  EXPECT_TRUE(BuildReport(ReportKind::SnmpDevices, devices, pools, std::string()).empty());
  EXPECT_TRUE(BuildReport(ReportKind::SnmpDevices, {}, pools, std::nullopt).empty());
}

TEST(ListExport, QuotesCsvFlattensTextGuardsFormulasAndReportsFailures) {
  EXPECT_EQ(FormatExportLine({"Device", "Name", "Pool", "Command", "Date"}, ListExportType::Csv),
            "Device,Name,Pool,Command,Date\r\n");
  EXPECT_EQ(FormatExportLine({"a,b", "say \"hi\"", "two\r\nlines", "=1+2", "-3", "plain"}, ListExportType::Csv),
            "\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",'=1+2,'-3,plain\r\n");
  EXPECT_EQ(FormatExportLine({"a\tb", "c\r\nd", "@x", "e,f"}, ListExportType::Text), "a b\tc  d\t'@x\te,f\r\n");
  // The path's own extension decides; a typed name without one gets the chosen filter's.
  EXPECT_EQ(ExportPathFor("/tmp/r.txt", "CSV (Comma delimited) (*.csv)"), "/tmp/r.txt");
  EXPECT_EQ(ExportTypeFor("/tmp/r.TXT"), ListExportType::Text);
  EXPECT_EQ(ExportPathFor("/tmp/a.txt.d/r", "CSV (Comma delimited) (*.csv)"), "/tmp/a.txt.d/r.csv");
  EXPECT_EQ(ExportPathFor("/tmp/r", "Text (Tab delimited) (*.txt)"), "/tmp/r.txt");
  EXPECT_EQ(ExportTypeFor("/tmp/a.txt.d/r.csv"), ListExportType::Csv);

  testing_support::TempFolder folder;
  const std::string path = folder / "r.csv";
  ASSERT_TRUE(ExportListToFile(path, ListExportType::Csv, {"A", "B"}, {{"1", "2"}}));
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), "A,B\r\n1,2\r\n");
  // The dialog asked about "r" only: the "r.csv" it stands for is asked about again.
  EXPECT_TRUE(ExportPathReplacesUnasked(folder / "r", path));
  EXPECT_FALSE(ExportPathReplacesUnasked(path, path));
  EXPECT_FALSE(ExportPathReplacesUnasked(folder / "s", folder / "s.csv"));
  EXPECT_EQ(ReplaceQuestionFor(path), "r.csv already exists.\nDo you want to replace it?");
  EXPECT_FALSE(ExportListToFile(folder / "missing/r.csv", ListExportType::Csv, {"A"}, {}));
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(ExportListToFile("/dev/full", ListExportType::Csv, {"A"}, {{std::string(1 << 16, 'x')}}));
  }
}

}  // namespace
}  // namespace mirvale

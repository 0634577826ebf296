// The settings panes' widget-free rules: the Home summary of a stored scan, what Save collects
// from the Options, Actions and Export forms, the action texts, the schedule texts and the data
// source's connection text; how one member's edit joins what others saved meanwhile.
#include <QLocale>

#include <gtest/gtest.h>

#include "desktop/shell/action_texts.h"
#include "desktop/shell/auto_scan_schedule.h"
#include "desktop/shell/command_tree.h"
#include "desktop/shell/home_summary.h"
#include "desktop/shell/odbc_data_source.h"
#include "desktop/shell/settings_collect.h"
#include "desktop/shell/settings_merge.h"

namespace mirvale {
namespace {

ScanDatabaseMap ScanOf(const std::vector<const char*>& statuses) {
  ScanDatabaseMap scan;
  int n = 0;
  for (const char* status : statuses) {
    std::string address = "10.0.0." + std::to_string(++n);
    scan.Set(DeviceKey("office", address), CScanDbItem{"office", address, "", status});
  }
  return scan;
}

TEST(HomeSummary, CountsGroupsSetsTheStateAndOnlyLinksLiveGroupsOfAnExistingIdlePool) {
  CMirvaleDoc doc;
  doc.m_mapPools.FindOrAdd("office");
  const ScanDatabaseHeader header{"0", "office", "Finished", "6"};
  HomeSummary s = SummariseHome(true, header,
                                ScanOf({"Finished with changes (3 values)", "Finished without changes",
                                        "Finished without changes", "Device unreachable", "No response from device",
                                        "Failed due to logon failure", "Collecting Information..."}),
                                doc, true, false);
  EXPECT_TRUE(s.hasScan);
  EXPECT_EQ(s.Count(DeviceGroup::Changed), 1);
  EXPECT_EQ(s.Count(DeviceGroup::Unchanged), 2);
  EXPECT_EQ(s.Count(DeviceGroup::Unreachable), 1);
  EXPECT_EQ(s.Count(DeviceGroup::Failed), 2);
  EXPECT_EQ(s.state, HomeState::Changed);
  EXPECT_TRUE(s.headline.startsWith("Last scan devices for office on "));
  EXPECT_TRUE(s.LinkLive(DeviceGroup::Changed));
  EXPECT_EQ(s.service, "Running");
  EXPECT_EQ(s.schedule, "Do not use auto scan");
  EXPECT_EQ(s.actions, "Do not use actions");
  EXPECT_EQ(s.exportState, "Do not use export");

  // Nothing changed: green, only the unchanged link.
  s = SummariseHome(true, header, ScanOf({"Finished without changes"}), doc, false, false);
  EXPECT_EQ(s.state, HomeState::NothingChanged);
  EXPECT_FALSE(s.LinkLive(DeviceGroup::Changed));
  EXPECT_TRUE(s.LinkLive(DeviceGroup::Unchanged));
  EXPECT_EQ(s.service, "Stopped");

  // All lost: red, unless a manual scan is pending: this desktop's own request at once, another
  // member's while its scan runs. A request left behind by a desktop that went away waits for no
  // scan.
  const ScanDatabaseMap lost = ScanOf({"Device unreachable", "No response from device"});
  EXPECT_EQ(SummariseHome(true, header, lost, doc, true, false).state, HomeState::AllFailed);
  doc.m_strScanPool = "office";
  const ScanDatabaseHeader running{"0", "office", "Running", "6"};
  for (const auto& [scanHeader, following] : {std::pair{header, true}, std::pair{running, false}}) {
    s = SummariseHome(true, scanHeader, lost, doc, true, following);
    EXPECT_EQ(s.state, HomeState::NothingChanged);
    EXPECT_FALSE(s.LinkLive(DeviceGroup::Unreachable));
  }
  s = SummariseHome(true, header, lost, doc, true, false);
  EXPECT_EQ(s.state, HomeState::AllFailed);
  EXPECT_TRUE(s.LinkLive(DeviceGroup::Unreachable));

  // A pool deleted after its scan: counts, but no live link.
  doc.m_strScanPool.clear();
  doc.m_mapPools.clear();
  s = SummariseHome(true, header, lost, doc, true, false);
  EXPECT_EQ(s.Count(DeviceGroup::Unreachable), 1);
  EXPECT_FALSE(s.LinkLive(DeviceGroup::Unreachable));

  // No scan, or an empty one.
  doc.m_bAutoScan = 1;
  doc.m_mapActions.FindOrAdd("a");
  doc.m_strExportDatabase = "DSN=x";
  for (bool loaded : {false, true}) {
    s = SummariseHome(loaded, header, loaded ? ScanDatabaseMap() : lost, doc, true, false);
    EXPECT_FALSE(s.hasScan);
    EXPECT_EQ(s.state, HomeState::NoScan);
    EXPECT_EQ(s.headline, "No scanning information available.");
  }
  EXPECT_EQ(s.schedule, "Auto scanning enabled");
  EXPECT_EQ(s.actions, "Actions enabled");
  EXPECT_EQ(s.exportState, "Export enabled");
}

TEST(SettingsCollect, OptionsFormBecomesScheduleLoggingAndStartMode) {
  OptionsForm form;
  form.startManually = true;
  form.autoScan = true;
  form.rows = {{"P", "Daily", "07:00", true}, {"Q", QLocale::system().dayName(7), "23:00", false}};
  form.scanLog = false;
  form.changesLog = false;
  form.logFile = "/tmp/left-in-the-edit.log";
  CMirvaleDoc doc;
  doc.m_mapAutoScan.Set("old", CAutoScanItem{1, "old", 1, 1});
  doc.m_bScanLog = 1;
  doc.m_strLogFile = "/var/log/old.log";
  doc.m_nLogKeep = 3;
  EXPECT_EQ(CollectOptions(form, /*serviceAutoStart=*/true, doc), StartModeChange::OnDemand);
  EXPECT_EQ(CollectOptions(form, /*serviceAutoStart=*/false, doc), StartModeChange::None);
  ASSERT_EQ(doc.m_mapAutoScan.size(), 2u);
  EXPECT_EQ(*doc.m_mapAutoScan.Find("P"), (CAutoScanItem{1, "P", 7, 0}));
  EXPECT_EQ(*doc.m_mapAutoScan.Find("Q"), (CAutoScanItem{0, "Q", 23, 7}));
  EXPECT_EQ(doc.m_bAutoScan, 1u);
  // Both logging checks off: the file name goes even though the edit still shows one.
  EXPECT_EQ(doc.m_bScanLog, 0u);
  EXPECT_EQ(doc.m_strLogFile, "");
  EXPECT_EQ(doc.m_nLogKeep, 0u);

  form.changesLog = true;
  form.logCsv = true;
  form.removal = true;
  form.keep = 12;
  form.keepUnit = 1;
  form.startAutomatically = true;
  form.startManually = false;
  EXPECT_EQ(CollectOptions(form, false, doc), StartModeChange::Automatic);
  EXPECT_EQ(doc.m_bChangesLog, 1u);
  EXPECT_EQ(doc.m_bLogCsv, 1u);
  EXPECT_EQ(doc.m_bLogText, 0u);
  EXPECT_EQ(doc.m_strLogFile, "/tmp/left-in-the-edit.log");
  EXPECT_EQ(doc.m_nLogKeep, 12u);
  EXPECT_EQ(doc.m_nLogKeepUnit, 1u);
  // The form shown for the document gives the same rows back.
  OptionsForm shown = OptionsFormOf(doc);
  EXPECT_EQ(shown.rows.size(), 2u);
  EXPECT_EQ(shown.rows[0], (AutoScanRow{"P", "Daily", "07:00", true}));
}

TEST(SettingsCollect, ActionsTakeTheListsCheckStateAndDropRowlessEntries) {
  RecordMap<CActionItem> work;
  work.Set("kept", CActionItem{0, "office", "0.0.0.0", "0", "*", "*", 1, "", "a@b;", ""});
  work.Set("gone", CActionItem{1, "office", "0.0.0.0", "0", "*", "*", 1, "", "", "127.0.0.1;"});
  CMirvaleDoc doc;
  doc.m_mapActions.FindOrAdd("stale");
  CollectActions(work, {{"kept", true}}, doc);
  ASSERT_EQ(doc.m_mapActions.size(), 1u);
  EXPECT_EQ(doc.m_mapActions.Find("kept")->m_bEnabled, 1u);
  EXPECT_EQ(doc.m_mapActions.Find("kept")->m_strMailRecipients, "a@b;");

  ExportForm form{false, true, "/srv/x", true, false, "DSN=MirvaleDB;SERVER=db"};
  CollectExport(form, doc);
  EXPECT_EQ(doc.m_bExportCsv, 1u);
  EXPECT_EQ(doc.m_bExportText, 0u);
  EXPECT_EQ(doc.m_bExportSql, 1u);
  EXPECT_EQ(doc.m_strExportDatabase, "DSN=MirvaleDB;SERVER=db");
}

CPoolItem TelnetPool(std::initializer_list<const char*> addresses) {
  CPoolItem pool;
  pool.m_bTelnet = 1;
  pool.m_nShellPort = 23;
  for (const char* address : addresses) pool.m_pDevices.Set(address, CDeviceItem{address, "255.255.255.255"});
  return pool;
}

// A member who loaded before another added a pool saves one option: both stay; what the
// other removed meanwhile and this user left alone stays removed.
TEST(SettingsMerge, WhatOnlyOneSideChangedIsTakenFromThatSide) {
  CMirvaleDoc base;
  base.m_mapPools.Set("old", TelnetPool({"10.0.0.9"}));
  base.m_mapActions.FindOrAdd("alert").m_strPool = "old";
  CMirvaleDoc theirs = base;
  theirs.m_mapPools.Set("labsnmp", TelnetPool({"10.0.0.1"}));
  theirs.m_mapAutoScan.Set("labsnmp", CAutoScanItem{1, "labsnmp", 6, 0});
  theirs.m_mapActions.Remove("alert");
  theirs.m_strSmtpServer = "mail.example";
  CMirvaleDoc mine = base;
  mine.m_bScanLog = 1;
  mine.m_mapPools.Find("old")->m_pDevices.Remove("10.0.0.9");
  const SettingsMerge merge = MergeSettings(base, mine, theirs);
  EXPECT_TRUE(merge.conflicts.empty());
  CMirvaleDoc expected = theirs;
  expected.m_bScanLog = 1;
  expected.m_mapPools.Find("old")->m_pDevices.clear();
  EXPECT_TRUE(merge.merged == expected);
}

// Inside one pool, devices and queries merge one by one; the pool's own settings change as
// one part, so a pool is never half one member's protocol and half another's.
TEST(SettingsMerge, APoolsDevicesMergeByAddressAndItsOwnSettingsAsOnePart) {
  CMirvaleDoc base;
  base.m_mapPools.Set("lab", TelnetPool({"10.0.0.1"}));
  CMirvaleDoc theirs = base;
  CPoolItem& theirPool = *theirs.m_mapPools.Find("lab");
  theirPool.m_pDevices.Set("10.0.0.2", CDeviceItem{"10.0.0.2", "255.255.255.255"});
  theirPool.m_nTimeout = 9;
  CMirvaleDoc mine = base;
  mine.m_mapPools.Find("lab")->m_pDevices.Set("10.0.0.3", CDeviceItem{"10.0.0.3", "255.255.255.255"});
  SettingsMerge merge = MergeSettings(base, mine, theirs);
  EXPECT_TRUE(merge.conflicts.empty());
  const CPoolItem& merged = *merge.merged.m_mapPools.Find("lab");
  EXPECT_EQ(merged.m_nTimeout, 9u);
  EXPECT_EQ(merged.m_pDevices.size(), 3u);

  // Both switched the protocol, differently: a conflict, and the pool is wholly mine.
  theirPool.m_bTelnet = 0;
  theirPool.m_bSnmpV1 = 1;
  CPoolItem& myPool = *mine.m_mapPools.Find("lab");
  myPool.m_bTelnet = 0;
  myPool.m_bSsh = 1;
  merge = MergeSettings(base, mine, theirs);
  EXPECT_EQ(merge.conflicts, std::vector<std::string>{"pool lab"});
  const CPoolItem& mineWins = *merge.merged.m_mapPools.Find("lab");
  EXPECT_EQ(mineWins.m_bSsh, 1u);
  EXPECT_EQ(mineWins.m_bSnmpV1, 0u);
  EXPECT_EQ(mineWins.m_nTimeout, 0u);
  EXPECT_EQ(mineWins.m_pDevices.size(), 3u);
}

// What both changed differently is named, and decided for this user's edit.
TEST(SettingsMerge, WhatBothChangedDifferentlyIsAConflictWonByMine) {
  CMirvaleDoc base;
  base.m_mapPools.Set("lab", TelnetPool({"10.0.0.1"}));
  CMirvaleDoc theirs = base;
  theirs.m_strLogFile = "/var/log/theirs.log";
  theirs.m_strSmtpPort = "2525";
  theirs.m_mapPools.Find("lab")->m_pDevices.Find("10.0.0.1")->m_strMask = "255.255.255.0";
  CMirvaleDoc mine = base;
  mine.m_strLogFile = "/var/log/mine.log";
  mine.m_strSmtpPort = "2525";  // alike: no conflict
  mine.m_mapPools.Find("lab")->m_pDevices.Remove("10.0.0.1");
  const SettingsMerge merge = MergeSettings(base, mine, theirs);
  EXPECT_EQ(merge.conflicts,
            (std::vector<std::string>{"the audit log settings", "device 10.0.0.1 of pool lab"}));
  EXPECT_EQ(merge.merged.m_strLogFile, "/var/log/mine.log");
  EXPECT_EQ(merge.merged.m_strSmtpPort, "2525");
  EXPECT_TRUE(merge.merged.m_mapPools.Find("lab")->m_pDevices.empty());
}

TEST(ActionTexts, ListsRunCommandAndCommandPath) {
  EXPECT_EQ(SplitEntries(" a@x ;;b@y;  ;"), QStringList({"a@x", "b@y"}));
  EXPECT_EQ(JoinEntries({"a@x", "b@y"}), "a@x;b@y;");
  EXPECT_EQ(JoinRunCommand({"/bin/true", "", "", "", ""}), "/bin/true;;;;;");
  RunCommandFields f = SplitRunCommand("/bin/run;DOM;secret;alice;$pool $device;");
  EXPECT_EQ(f.command, "/bin/run");
  EXPECT_EQ(f.password, "secret");
  EXPECT_EQ(f.user, "alice");
  EXPECT_EQ(f.parameters, "$pool $device");
  EXPECT_EQ(LastPathSegment("interface Gi0/1\\r description uplink"), " description uplink");
  EXPECT_EQ(LastPathSegment("hostname r1"), "hostname r1");
}

TEST(AutoScanSchedule, DaysAreDailyOrTheLocalesMondayToSunday) {
  QStringList texts = FrequencyTexts();
  ASSERT_EQ(texts.size(), 8);
  EXPECT_EQ(texts[0], "Daily");
  EXPECT_EQ(texts[1], QLocale::system().dayName(1));
  EXPECT_EQ(DayOfFrequency(texts[7]), 7u);
  EXPECT_FALSE(DayOfFrequency("Someday").has_value());
  EXPECT_EQ(TimeTexts().front(), "00:00");
  EXPECT_EQ(TimeTexts().back(), "23:00");
  EXPECT_EQ(HourOfTime("07:00"), 7u);
}

TEST(DataSourceText, ServerAndFilePathAreAddedOnlyWhenMissing) {
  EXPECT_EQ(AppendServer("DSN=MirvaleDB;", "db1"), "DSN=MirvaleDB;SERVER=db1");
  EXPECT_EQ(AppendServer("DSN=MirvaleDB", "db1"), "DSN=MirvaleDB;SERVER=db1");
  EXPECT_EQ(AppendServer("DSN=MirvaleDB", ""), "DSN=MirvaleDB");
  EXPECT_TRUE(NamesServer("dsn=x;server=db"));
  EXPECT_FALSE(NamesServer("DSN=x;Servername-less"));
  EXPECT_EQ(WithFilePath("DSN=MirvaleDB;Database=/d/a.mdb", "/d/a.mdb"),
            "DSN=MirvaleDB;Database=/d/a.mdb;DBQ=/d/a.mdb;");
  EXPECT_EQ(WithFilePath("DSN=MirvaleDB;DBQ=/d/a.mdb;", "/d/a.mdb"), "DSN=MirvaleDB;DBQ=/d/a.mdb;");
}

}  // namespace
}  // namespace mirvale

namespace mirvale {
namespace {

CDbItem ShellDevice(const std::string& pool, std::vector<std::string> lines) {
  CDbItem device;
  device.m_strPool = pool;
  int n = 0;
  for (const std::string& line : lines) {
    CDbQuery& query = device.m_pQueries.FindOrAdd(std::to_string(++n));
    query.m_strKey = std::to_string(n);
    query.m_strValue = line;
  }
  return device;
}

QStringList Texts(const std::vector<CommandTreeNode>& nodes) {
  QStringList texts;
  for (const CommandTreeNode& node : nodes) texts << node.text;
  return texts;
}

TEST(CommandTree, ShellLinesNestByIndentationAndMergeAcrossDevices) {
  DeviceDatabaseMap devices;
  devices.Set("r/1", ShellDevice("r", {"hostname r1", "interface eth1", " description up  ", " mtu 1500", "!",
                                       "interface eth0", " shutdown", "  x", "  yz"}));
  devices.Set("r/2", ShellDevice("r", {"interface eth1", " speed 100"}));
  devices.Set("o/1", ShellDevice("o", {"other pool"}));
  auto tree = ShellCommandTree(devices, "r");
  EXPECT_EQ(Texts(tree), (QStringList{"hostname r1", "interface eth0", "interface eth1"}));
  EXPECT_EQ(Texts(tree[2].children), (QStringList{" description up", " mtu 1500", " speed 100"}));
  ASSERT_EQ(tree[1].children.size(), 1u);
  EXPECT_EQ(Texts(tree[1].children[0].children), QStringList{"  yz"});
  EXPECT_TRUE(ShellCommandTree(devices, "empty").empty());
}

TEST(CommandTree, QueriesCarryTheirResultsInNaturalOrder) {
  CPoolItem pool;
  pool.m_pQueries.Set("1.3.6.1.2.1.2.2.1.2", CQueryItem{"1.3.6.1.2.1.2.2.1.2", "ifDescr", ""});
  pool.m_pQueries.Set("1.3.6.1.2.1.1.5", CQueryItem{"1.3.6.1.2.1.1.5", "sysName", ""});
  DeviceDatabaseMap devices;
  CDbItem device;
  device.m_strPool = "s";
  for (const char* instance : {"10", "2", "1"}) {
    std::string key = std::string("1.3.6.1.2.1.2.2.1.2.") + instance;
    device.m_pQueries.Set(key,
                          CDbQuery{std::string("ifDescr.") + instance, "1.3.6.1.2.1.2.2.1.2", key, "", "", "", ""});
  }
  device.m_pQueries.Set("x", CDbQuery{"sysLocation.0", "1.3.6.1.2.1.1.6", "x", "", "", "", ""});
  devices.Set("s/1", device);
  auto tree = QueryTree(pool, devices, "s");
  EXPECT_EQ(Texts(tree), (QStringList{"ifDescr", "sysLocation.0", "sysName"}));
  EXPECT_EQ(Texts(tree[0].children), (QStringList{"ifDescr.1", "ifDescr.2", "ifDescr.10"}));
  EXPECT_TRUE(NaturalLess("port9", "Port10"));
  EXPECT_TRUE(NaturalLess("abc", "ABD"));
}

}  // namespace
}  // namespace mirvale

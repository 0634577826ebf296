// The pools folder's widget-free rules: MIB import over the MIB files Debian ships and small
// fixtures, device-list import through the real resolver, list orders, the dialogs' refusals,
// the protocol forms and the scan results' configuration panes.
#include <fstream>

#include <gtest/gtest.h>

#include "desktop/pools/device_list_import.h"
#include "desktop/pools/mib_import.h"
#include "desktop/pools/pool_image.h"
#include "desktop/pools/pool_sorting.h"
#include "desktop/pools/protocol_forms.h"
#include "desktop/pools/scan_results_model.h"
#include "desktop/pools/small_dialog_rules.h"
#include "tests/support/scoped_env.h"

namespace mirvale {
namespace {

using testing_support::TempFolder;

constexpr char kMibFolder[] = "/usr/share/snmp/mibs";

std::vector<std::pair<std::string, std::string>> OidsAndNames(const std::vector<CQueryItem>& queries) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const CQueryItem& query : queries) found.emplace_back(query.m_strOid, query.m_strName);
  return found;
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST(MibImport, RealUcdMibWritableOnlyAndAll) {
  MibImport writable;
  ASSERT_TRUE(writable.ReadFile(std::string(kMibFolder) + "/UCD-SNMP-MIB.txt"));
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(OidsAndNames(writable.Resolve(true)), (Pairs{{"1.3.6.1.4.1.2021.8.1.102", "extErrFix"},
                                                         {"1.3.6.1.4.1.2021.10.1.4", "laConfig"},
                                                         {"1.3.6.1.4.1.2021.2.1.102", "prErrFix"},
                                                         {"1.3.6.1.4.1.2021.100.10", "versionClearCache"},
                                                         {"1.3.6.1.4.1.2021.100.20", "versionDoDebugging"},
                                                         {"1.3.6.1.4.1.2021.100.12", "versionRestartAgent"},
                                                         {"1.3.6.1.4.1.2021.100.13", "versionSavePersistentData"},
                                                         {"1.3.6.1.4.1.2021.100.11", "versionUpdateConfig"}}));

  const std::vector<CQueryItem> all = writable.Resolve(false);
  EXPECT_GT(all.size(), 120u);
  bool sawMemTotalSwap = false;
  for (const CQueryItem& query : all) {
    EXPECT_EQ(query.m_strOid.rfind("1.3.6.1.4.1.2021.", 0), 0u) << query.m_strName << " " << query.m_strOid;
    if (query.m_strName == "memTotalSwap") {
      sawMemTotalSwap = true;
      EXPECT_EQ(query.m_strOid, "1.3.6.1.4.1.2021.4.3");
      EXPECT_EQ(query.m_strDescription, "The total amount of swap space configured for this host.");
    }
  }
  EXPECT_TRUE(sawMemTotalSwap);
}

TEST(MibImport, WholeFolderOfShippedMibsResolvesAcrossFiles) {
  MibImport import;
  const std::vector<std::string> files = MibFilesOf(kMibFolder);
  ASSERT_GE(files.size(), 10u);
  for (const std::string& file : files) EXPECT_TRUE(import.ReadFile(file)) << file;
  bool sawNetSnmp = false;
  for (const CQueryItem& query : import.Resolve(false)) {
    // nsCacheTimeout lives in NET-SNMP-AGENT-MIB under netSnmp, which NET-SNMP-MIB defines.
    if (query.m_strName == "nsCacheTimeout") {
      sawNetSnmp = true;
      EXPECT_EQ(query.m_strOid, "1.3.6.1.4.1.8072.1.5.3.1.2");
    }
  }
  EXPECT_TRUE(sawNetSnmp);
}

TEST(MibImport, FixturesChainsCyclesTruncationAndImportsLine) {
  TempFolder folder;
  WriteFile(folder / "a-chain.txt",
            "TEST-MIB DEFINITIONS ::= BEGIN\n"
            "IMPORTS mib-2 FROM RFC1213-MIB; system OBJECT IDENTIFIER ::= { mib-2 1 }\n"
            "loopA OBJECT IDENTIFIER ::= { loopB 1 }\n"
            "loopB OBJECT IDENTIFIER ::= { loopA 2 }\n"
            "END\n");
  WriteFile(folder / "b-objects.txt",
            "sysDescr OBJECT-TYPE\n  SYNTAX DisplayString\n  MAX-ACCESS read-only -- read-write in a comment\n"
            "  DESCRIPTION \"A textual description\n   of the entity.\"\n  ::= { system 1 }\n"
            "sysContact OBJECT-TYPE\n  SYNTAX DisplayString\n  MAX-ACCESS read-write\n  ::= { system  4 }\n"
            "direct OBJECT-TYPE\n  ACCESS read-write\n  ::= { enterprises 9 }\n"
            "looped OBJECT-TYPE\n  ACCESS read-write\n  ::= { loopA 3 }\n"
            "odd OBJECT-TYPE\n  ACCESS read-write\n  ::= { system x7 }\n"
            "host.sThing OBJECT-TYPE\n  ACCESS read-write\n  ::= { system 9 }\n"
            "cut OBJECT-TYPE\n  ACCESS read-write\n  DESCRIPTION \"never ends\n");
  MibImport import;
  for (const std::string& file : MibFilesOf(folder.path())) ASSERT_TRUE(import.ReadFile(file));
  EXPECT_FALSE(import.ReadFile(folder / "missing.txt"));
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  // The chain crosses files (system is defined on the IMPORTS line's tail); the circle, the
  // undefined root, the malformed number, the dotted name (a query name holds no dot) and the
  // definition cut by the end of file add nothing.
  EXPECT_EQ(OidsAndNames(import.Resolve(false)),
            (Pairs{{"1.3.6.1.2.1.1.4", "sysContact"}, {"1.3.6.1.2.1.1.1", "sysDescr"}}));
  EXPECT_EQ(OidsAndNames(import.Resolve(true)), (Pairs{{"1.3.6.1.2.1.1.4", "sysContact"}}));
  EXPECT_EQ(import.Resolve(false)[1].m_strDescription, "A textual description\r\nof the entity.");
  EXPECT_EQ(DottedNamesMessage(import.RefusedNames()), "Name can't include '.' character, not added: host.sThing");
  EXPECT_EQ(DottedNamesMessage({}), "");
  EXPECT_EQ(QueriesAddedMessage(0), "No new queries were added.");
  EXPECT_EQ(QueriesAddedMessage(1), "1 query was added.");
  EXPECT_EQ(QueriesAddedMessage(8), "8 queries were added.");
}

TEST(DeviceListImport, LiteralAddressesCommentsAndLocalhostThroughTheResolver) {
  TempFolder folder;
  WriteFile(folder / "devices.txt",
            "10.0.0.1\n10.0.0.1\n10.0.0.2; core switch\n10.0.0.3,edge\n\n192.168.7.9\tlab\nlocalhost\n"
            "no-such-host.invalid\n10.0.0.4\r\n");
  auto added = ReadDeviceList(folder / "devices.txt", {"192.168.7.9"});
  ASSERT_TRUE(added);
  EXPECT_EQ(*added, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3", "127.0.0.1", "10.0.0.4"}));
  EXPECT_FALSE(ReadDeviceList(folder / "none.txt", {}));
  EXPECT_EQ(DevicesAddedMessage(0), "No new devices were added.");
  EXPECT_EQ(DevicesAddedMessage(1), "1 device was added.");
  EXPECT_EQ(DevicesAddedMessage(5), "5 devices were added.");
}

TEST(PoolSorting, AddressesNumericallyAndIdentifiersNaturally) {
  EXPECT_LT(CompareAddressNumbers("10.0.0.9", "10.0.0.10"), 0);
  EXPECT_GT(CompareAddressNumbers("192.168.0.1", "10.255.255.255"), 0);
  EXPECT_EQ(CompareAddressNumbers("10.0.0.1", "10.0.0.1"), 0);
  EXPECT_LT(CompareNaturally("1.3.6.1.2.1.1.9", "1.3.6.1.2.1.1.10"), 0);
  EXPECT_LT(CompareNaturally("1.3.6.1.2.1.1.12", "1.3.6.1.2.1.1.100"), 0);  // "1" is common, not the number
  EXPECT_LT(CompareNaturally("1.3.6.1.4.1.2021.99999999999999999999", "1.3.6.1.4.1.20210"), 0);
  EXPECT_LT(CompareNaturally("ifDescr", "IFTYPE"), 0);
  EXPECT_EQ(CompareNaturally("sysName", "SYSNAME"), 0);
}

TEST(PoolRules, PoolPropertiesRefusalsInOrder) {
  PoolImage image;
  EXPECT_EQ(RefusePool("", true, false, image, ProtocolChoice::Shell), "Invalid pool name, please try again.");
  EXPECT_EQ(RefusePool("New Pool", true, false, image, ProtocolChoice::Shell), "Invalid pool name, please try again.");
  EXPECT_EQ(RefusePool("lab", true, true, image, ProtocolChoice::Shell), "Pool name already exists, please try again.");
  EXPECT_EQ(RefusePool("lab", false, true, image, ProtocolChoice::Shell),
            "Invalid protocol parameters, please try again.");
  image.settings.m_bSnmpV1 = 1;
  EXPECT_EQ(RefusePool("lab", false, true, image, ProtocolChoice::SnmpV1), "Invalid devices list, please try again.");
  image.devices.Set("10.0.0.0", CDeviceItem{"10.0.0.0", "255.255.255.0"});
  EXPECT_EQ(RefusePool("lab", false, true, image, ProtocolChoice::SnmpV1), "Invalid queries list, please try again.");
  image.settings.m_bAllQueries = 1;
  EXPECT_EQ(RefusePool("lab", false, true, image, ProtocolChoice::SnmpV1), std::nullopt);
  image.devices.Set("10.5.7.0", CDeviceItem{"10.5.7.0", "255.0.255.0"});  // stored by an earlier version
  EXPECT_EQ(RefusePool("lab", false, true, image, ProtocolChoice::SnmpV1),
            "Invalid mask, its bits must be one run from the left (such as 255.255.255.0), please try again.");
  EXPECT_EQ(NameEditRule("xNew Pool"), "x");
  EXPECT_EQ(NameEditRule("New Poolx"), std::nullopt);
}

TEST(PoolRules, SmallDialogRefusals) {
  const std::vector<std::string> networks{"192.168.1.0"};
  EXPECT_EQ(RefuseNetwork("", "255.255.255.0", networks), "Invalid devices properties, please try again.");
  EXPECT_EQ(RefuseNetwork("192.168.1.0", "255.255.255.0", networks), "Network already exists, please try again.");
  EXPECT_EQ(RefuseNetwork("10.1.0.0", "255.255.0.0", networks), "Mask too big, please set multiple class c networks.");
  EXPECT_EQ(RefuseNetwork("10.1.0.0", "0.0.0.0", networks), "Mask too big, please set multiple class c networks.");
  EXPECT_EQ(RefuseNetwork("10.1.0.7", "255.255.255.255", networks), std::nullopt);
  EXPECT_EQ(RefuseNetwork("300.1.1.1", "255.255.255.255", networks), "Invalid network address, please try again.");
  EXPECT_EQ(RefuseNetwork("10.1.0.0", "255.255.256.0", networks), "Invalid mask address, please try again.");
  EXPECT_EQ(RefuseNetwork("10.5.7.0", "255.0.255.0", networks),
            "Invalid mask, its bits must be one run from the left (such as 255.255.255.0), please try again.");
  EXPECT_EQ(RefuseNetwork("10.5.7.0", "255.255.0.255", networks),
            "Invalid mask, its bits must be one run from the left (such as 255.255.255.0), please try again.");

  EXPECT_EQ(RefuseCopyName("", false, true), "Empty pool name, please try again.");
  EXPECT_EQ(RefuseCopyName("New Pool", false, true), "Invalid pool name, please try again.");
  EXPECT_EQ(RefuseCopyName("lab", true, true), "Pool name already exists, please try again.");
  EXPECT_EQ(RefuseCopyName("lab2", false, false), "Invalid source pool, please save pool and try again.");

  const std::vector<QueryRow> rows{{"1.3.6.1.2.1.1.5", "sysName"}, {"1.3.6.1.2.1.1.6", "sysLocation"}};
  EXPECT_EQ(RefuseQuery("1.3.6.1.2.1.1.5.0", "x", rows, -1), "Invalid query properties, please try again.");
  EXPECT_EQ(RefuseQuery("1.3.6.1.2.1.", "x", rows, -1), "Invalid query properties, please try again.");
  EXPECT_EQ(RefuseQuery("", "x", rows, -1), "Invalid query properties, please try again.");
  EXPECT_EQ(RefuseQuery("1.3.6.1.2.1.1.4", "a.b", rows, -1), "Name can't include '.' character, please try again.");
  EXPECT_EQ(RefuseQuery("1.3.6.1.2.1.1.4", "sysName", rows, -1), "Name already exists, please try again.");
  EXPECT_EQ(RefuseQuery("1.3.6.1.2.1.1.5", "sysName", rows, 0), std::nullopt);  // only the description changes
  EXPECT_EQ(RefuseQuery("1.3.6.1.2.1.1.5", "other", rows, -1), "Query already exists, please try again.");
  EXPECT_EQ(RefuseQuery("1.3.6.1.2.1.1.0.5", "x", rows, -1), std::nullopt);
  EXPECT_EQ(QueryNameRule("ifDescr.1"), "ifDescr");
}

TEST(ProtocolForms, DefaultsFlagsAndSecurityLevels) {
  CPoolItem pool;
  pool.m_bSnmpV1 = 1;
  ShellForm shell = ShellForm::FromPool(pool);  // a pool that used SNMP shows the shell defaults
  EXPECT_EQ(shell.timeout, 3u);
  EXPECT_EQ(shell.retries, 1u);
  EXPECT_EQ(shell.port, "23");
  EXPECT_EQ(shell.backup, "show running-config\\r");
  shell.ssh = true;
  shell.port = "22";
  shell.restoreSaveOn = false;
  shell.Store(pool);
  EXPECT_EQ(std::tie(pool.m_bSsh, pool.m_bTelnet, pool.m_bSnmpV1, pool.m_bSnmpV3, pool.m_nShellPort),
            std::make_tuple(1u, 0u, 0u, 0u, 22u));
  EXPECT_EQ(pool.m_strRestoreSave, "");
  ShellForm reopened = ShellForm::FromPool(pool);
  EXPECT_TRUE(reopened.ssh);
  EXPECT_EQ(reopened.port, "22");
  EXPECT_FALSE(reopened.restoreSaveOn);
  for (const char* port : {"", "0", "65536", "99999"}) {
    reopened.port = port;
    EXPECT_EQ(reopened.Refuse(), "Invalid shell port, please try again.") << "port " << port;
  }
  reopened.port = "65535";
  EXPECT_EQ(reopened.Refuse(), std::nullopt);
  reopened.port = "22";
  reopened.restoreEnd.clear();
  EXPECT_EQ(reopened.Refuse(), "Invalid restore end command, please try again.");

  SnmpV1Form v1;
  v1.readCommunity = "public";
  EXPECT_EQ(v1.Refuse(), "Invalid write community, please try again.");
  v1.readCommunity.clear();
  EXPECT_EQ(v1.Refuse(), "Invalid read community, please try again.");

  SnmpV3Form v3;
  EXPECT_EQ(v3.Refuse(), "Invalid user or security name, please try again.");
  v3.securityName = "admin";
  EXPECT_EQ(v3.Refuse(), std::nullopt) << "the default context has an empty name";
  v3.authProtocol = 2;
  v3.privacyProtocol = 2;
  v3.Store(pool);
  EXPECT_EQ(std::tie(pool.m_nAuthProtocol, pool.m_nPrivacyProtocol, pool.m_nSecurityLevel, pool.m_nSecurityModel),
            std::make_tuple(2u, 2u, 3u, 3u));
  EXPECT_EQ(std::tie(pool.m_bSsh, pool.m_bSnmpV3), std::make_tuple(0u, 1u));
  v3.authProtocol = 1;
  EXPECT_EQ(v3.Refuse(), "Invalid privacy protocol, please try again.");
}

TEST(ScanResultsModel, ConfigurationPanes) {
  CDbItem device;
  device.m_strScanTime = "200";
  auto line = [&](const char* key, const char* value, const char* time, const char* prev, const char* prevTime) {
    device.m_pQueries.Set(key, CDbQuery{"", "", key, value, time, prev, prevTime});
  };
  line("1", "interface eth0", "200", "", "");
  line("2", " description uplink", "200", "", "");
  line("3", "hostname r1", "200", "", "");
  line("5", "not reached", "200", "", "");
  ConfigurationPanes once = ConfigurationOf(device);
  EXPECT_EQ(once.current, (std::vector<std::string>{"interface eth0", " description uplink", "hostname r1"}));
  EXPECT_TRUE(once.previous.empty());  // scanned once: nothing earlier
  line("3", "hostname r2", "200", "hostname r1", "100");
  ConfigurationPanes twice = ConfigurationOf(device);
  EXPECT_EQ(twice.previous, (std::vector<std::string>{"interface eth0", " description uplink", "hostname r1"}));
  EXPECT_EQ(twice.previousTime, "100");

  EXPECT_TRUE(ScanReachedDevice("Finished without changes"));
  EXPECT_FALSE(ScanReachedDevice("Device unreachable"));
}

}  // namespace
}  // namespace mirvale

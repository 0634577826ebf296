// Pool scans through the real MirvaleSrv: /29 networks of loopback addresses with snmpd,
// all inside the test's own network namespace; an SNMPv3 pool; the actions a change fires.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "service/scanning/snmp_client.h"
#include "tests/service/email_sink_process.h"
#include "tests/service/endless_snmp_agent.h"
#include "tests/support/lab_pools.h"
#include "tests/support/service_process.h"
#include "tests/support/snmp_agent.h"
#include "tests/support/temporary_account.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::ServiceProcess;
using testing_support::SnmpAgent;

constexpr uint32_t kPrune = 133;
constexpr uint32_t kStartScan = 136;

void Sysctl(const std::string& name, const std::string& value) {
  platform::AppendToFile("/proc/sys/net/ipv4/" + name, value);
}

CMirvaleDoc LabSettings() { return testing_support::SnmpLocationScanSettings("127.0.0.0", "255.255.255.248", "admin"); }

// Reads the scan database until the scan has finished and the device's status is final.
std::optional<ScanDatabase> WaitForFinishedScan(const ServiceProcess& service, const std::string& startedAfter,
                                                std::chrono::seconds limit = 60s) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb"));
    if (bytes) {
      ScanDatabase scan = DecodeScanDatabase(*bytes);
      if (scan.header.m_strScanStatus == "Finished" && scan.header.m_strScanStart != startedAfter) return scan;
    }
    std::this_thread::sleep_for(50ms);
  }
  return std::nullopt;
}

bool SetLocation(CSnmpClient& client, const std::string& text) {
  SnmpSettings settings;
  settings.m_bSnmpV1 = 1;
  settings.m_strReadCommunity = "public";
  settings.m_strWriteCommunity = "private";
  return client.SetValue("127.0.0.1", settings, {"1.3.6.1.2.1.1.6.0", text});
}

TEST(DeviceScanService, PoolOfLoopbackAddressesScansAndMarksChanges) {
  if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  ASSERT_EQ(std::system("/usr/sbin/ip addr replace 127.0.0.9/8 dev lo"), 0);
  Sysctl("ping_group_range", "0 2147483647");
  SnmpAgent agent({"rocommunity public default", "rwcommunity private default", "sysName testhost"},
                  "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  testing_support::TempFolder folder;
  CSnmpClient client(folder / "snmpv3_boot_counter");
  ASSERT_TRUE(SetLocation(client, "Lab 1"));

  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(LabSettings())));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto first = WaitForFinishedScan(service, "");
  ASSERT_TRUE(first) << "the scan did not finish";
  EXPECT_EQ(first->header.m_strScanPool, "lab");
  EXPECT_EQ(first->header.m_strScanTotal, "6");
  ASSERT_EQ(first->map.size(), 6u);
  const CScanDbItem* agentRecord = first->map.Find("lab/127.0.0.1");
  ASSERT_TRUE(agentRecord);
  EXPECT_EQ(agentRecord->m_strStatus, "Finished without changes");
  EXPECT_EQ(agentRecord->m_strName, "localhost");
  for (int host = 2; host <= 6; ++host) {
    const CScanDbItem* silent = first->map.Find("lab/127.0.0." + std::to_string(host));
    ASSERT_TRUE(silent) << host;
    EXPECT_EQ(silent->m_strStatus, "No response from device") << host;
  }

  auto devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  ASSERT_EQ(devices.size(), 1u);
  const CDbItem* device = devices.Find("lab/127.0.0.1");
  ASSERT_TRUE(device);
  EXPECT_EQ(device->m_strInterfaces, "1;");
  EXPECT_EQ(device->m_strAddresses, "127.0.0.9/1;");
  ASSERT_TRUE(device->m_pQueries.Find("1.3.6.1.2.1.1.6.0"));
  EXPECT_EQ(device->m_pQueries.Find("1.3.6.1.2.1.1.6.0")->m_strValue, "Lab 1");

  // Scan times are whole seconds: let the second scan start in a later one.
  std::this_thread::sleep_for(1100ms);
  ASSERT_TRUE(SetLocation(client, "Lab 2"));
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto second = WaitForFinishedScan(service, first->header.m_strScanStart);
  ASSERT_TRUE(second) << "the second scan did not finish";
  ASSERT_TRUE(second->map.Find("lab/127.0.0.1"));
  EXPECT_EQ(second->map.Find("lab/127.0.0.1")->m_strStatus, "Finished with changes");
  devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const CDbQuery* location = devices.Find("lab/127.0.0.1")->m_pQueries.Find("1.3.6.1.2.1.1.6.0");
  ASSERT_TRUE(location);
  EXPECT_EQ(location->m_strValue, "Lab 2");
  EXPECT_EQ(location->m_strPrevValue, "Lab 1");
  EXPECT_EQ(location->m_strPrevTime, first->header.m_strScanStart);
}

// A network given with host bits set and collecting everything: a prune keeps what the scan
// covers, with its values (also those an earlier version stored under the identifier "1"), and
// the next scan still sees a change against them.
TEST(DeviceScanService, PruneKeepsWhatTheScanCoversAndCollectedValues) {
  if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  // Every loopback address answers; the view keeps the whole-tree walk short.
  SnmpAgent agent({"view sys included .1.3.6.1.2.1.1", "rocommunity public default -V sys",
                   "rwcommunity private default -V sys", "sysName testhost"});
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  testing_support::TempFolder folder;
  CSnmpClient client(folder / "snmpv3_boot_counter");
  ASSERT_TRUE(SetLocation(client, "Rack 1"));

  CMirvaleDoc settings = LabSettings();
  CPoolItem& pool = *settings.m_mapPools.Find("lab");
  pool.m_bAllQueries = 1;
  pool.m_pQueries.clear();
  pool.m_pDevices.clear();
  pool.m_pDevices.FindOrAdd("127.0.0.77") = CDeviceItem{"127.0.0.77", "255.255.255.248"};  // .73 to .78
  DeviceDatabaseMap stored;
  for (const char* address : {"127.0.0.74", "127.0.0.90"}) {
    CDbItem& device = stored.FindOrAdd(std::string("lab/") + address);
    device = CDbItem{"lab", address, address, "1000", "Finished without changes", "", "", {}};
    CDbQuery& old = device.m_pQueries.FindOrAdd("1.3.6.1.4.1.99.1.0");
    old.m_strKey = "1.3.6.1.4.1.99.1.0";
    old.m_strQueryOid = "1";
    old.m_strValue = "kept";
  }
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.db"), EncodeDeviceDatabase(stored)));
  ASSERT_TRUE(service.Start());

  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto first = WaitForFinishedScan(service, "");
  ASSERT_TRUE(first) << "the scan did not finish";
  ASSERT_EQ(first->map.size(), 6u);
  auto scanned = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  ASSERT_EQ(service.Control(kPrune), 0u);
  auto pruned = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  EXPECT_FALSE(pruned.Contains("lab/127.0.0.90")) << "outside the network";
  scanned.Remove("lab/127.0.0.90");
  EXPECT_EQ(pruned, scanned) << "every scanned device keeps every value";
  ASSERT_EQ(pruned.size(), 6u);
  const CDbQuery* location = pruned.Find("lab/127.0.0.73")->m_pQueries.Find("1.3.6.1.2.1.1.6.0");
  ASSERT_TRUE(location);
  EXPECT_EQ(location->m_strQueryOid, "");
  EXPECT_TRUE(pruned.Find("lab/127.0.0.74")->m_pQueries.Contains("1.3.6.1.4.1.99.1.0"));

  std::this_thread::sleep_for(1100ms);
  ASSERT_TRUE(SetLocation(client, "Rack 2"));
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto second = WaitForFinishedScan(service, first->header.m_strScanStart);
  ASSERT_TRUE(second) << "the second scan did not finish";
  EXPECT_EQ(second->map.Find("lab/127.0.0.73")->m_strStatus, "Finished with changes");
  auto rescanned = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  location = rescanned.Find("lab/127.0.0.73")->m_pQueries.Find("1.3.6.1.2.1.1.6.0");
  ASSERT_TRUE(location);
  EXPECT_EQ(location->m_strValue, "Rack 2");
  EXPECT_EQ(location->m_strPrevValue, "Rack 1");
}

// A stop while devices still wait for their answers: each device that reached a final status
// has its audit line, also when it finished after the main worker had ended.
TEST(DeviceScanService, StopDuringAScanKeepsTheAuditLineOfEveryFinishedDevice) {
  if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  Sysctl("ping_group_range", "0 2147483647");
  SnmpAgent agent({"rocommunity public default"}, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  ServiceProcess service;
  const std::string auditFile = service.Root() + "/audit.log";
  CMirvaleDoc settings = LabSettings();
  CPoolItem& pool = *settings.m_mapPools.Find("lab");
  pool.m_nRetries = 0;
  pool.m_nTimeout = 1;  // the five silent addresses answer only the echo, after a second
  settings.m_bScanLog = 1;
  settings.m_bLogText = 1;
  settings.m_strLogFile = auditFile;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(service.Stop());

  auto scan = DecodeScanDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb")).value_or(""));
  std::string audit = platform::ReadWholeFile(auditFile).value_or("");
  int finished = 0;
  for (const auto& [key, record] : scan.map) {
    if (record->m_strStatus == "Collecting Information...") continue;
    ++finished;
    EXPECT_NE(audit.find("\tScan\tlab\t" + record->m_strAddress + "\t"), std::string::npos) << record->m_strAddress;
  }
  EXPECT_GE(finished, 5);
}

// The lab pool narrowed to the agent's own address.
CMirvaleDoc AgentOnlySettings() {
  CMirvaleDoc doc = LabSettings();
  CPoolItem& pool = *doc.m_mapPools.Find("lab");
  pool.m_pDevices.clear();
  pool.m_pDevices.FindOrAdd("127.0.0.1") = CDeviceItem{"127.0.0.1", "255.255.255.255"};
  return doc;
}

// snmpset, the peer's own tool, changes the agent's value between scans.
void SetLocationBySnmpset(const std::string& text) {
  std::string command =
      "/usr/bin/snmpset -v1 -c private -r 1 -t 2 127.0.0.1 1.3.6.1.2.1.1.6.0 s '" + text + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

using testing_support::WaitFor;

TEST(DeviceScanService, SnmpV3PoolWithShaAndDesIsScanned) {
  if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  Sysctl("ping_group_range", "0 2147483647");
  SnmpAgent agent({"createUser carol SHA carolpass1 DES carolpriv1", "rouser carol priv", "sysLocation Vault 3"},
                  "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CMirvaleDoc settings = AgentOnlySettings();
  CPoolItem& pool = *settings.m_mapPools.Find("lab");
  pool.m_bSnmpV1 = 0;
  pool.m_bSnmpV3 = 1;
  pool.m_nSecurityModel = 3;
  pool.m_nSecurityLevel = 3;
  pool.m_nAuthProtocol = 3;     // SHA
  pool.m_nPrivacyProtocol = 2;  // DES
  pool.m_strSecurityName = "carol";
  pool.m_strAuthPassword = "carolpass1";
  pool.m_strPrivacyPassword = "carolpriv1";

  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto scan = WaitForFinishedScan(service, "");
  ASSERT_TRUE(scan) << "the scan did not finish";
  ASSERT_TRUE(scan->map.Find("lab/127.0.0.1"));
  EXPECT_EQ(scan->map.Find("lab/127.0.0.1")->m_strStatus, "Finished without changes");
  auto devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const CDbItem* device = devices.Find("lab/127.0.0.1");
  ASSERT_TRUE(device);
  ASSERT_TRUE(device->m_pQueries.Find("1.3.6.1.2.1.1.6.0"));
  EXPECT_EQ(device->m_pQueries.Find("1.3.6.1.2.1.1.6.0")->m_strValue, "Vault 3");
  EXPECT_TRUE(service.Stop());
}

// A value changed between two scans fires its rule's three actions through real peers (an SMTP
// sink, snmptrapd and a program recording its arguments); a rule whose value condition does not
// match fires nothing, nor one whose address range starts above the device.
TEST(DeviceScanService, AChangedValueFiresItsRulesActionsAndNoOthers) {
  if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  Sysctl("ping_group_range", "0 2147483647");
  SnmpAgent agent({"rocommunity public default", "rwcommunity private default"}, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  testing_support::TrapReceiver traps("udp:127.0.0.2:162,udp:127.0.0.3:162");
  ASSERT_TRUE(traps.Ready());
  email_testing::SmtpSinkProcess mail;
  ASSERT_GT(mail.port(), 0);
  // Run actions without credentials run as the service's unprivileged account, never as root.
  testing_support::TemporaryAccount runAccount("mvrun");
  ASSERT_TRUE(runAccount.Made());
  testing_support::TempFolder folder;
  chmod(folder.path().c_str(), 0777);
  std::string program = folder / "record.sh";
  ASSERT_TRUE(platform::WriteFileAtomically(
      program, "#!/bin/sh\nout=\"$1\"; shift\nprintf '[%s]\\n' \"$(id -u)\" \"$@\" > \"$out\"\n", 0755));

  CMirvaleDoc settings = AgentOnlySettings();
  settings.m_strSmtpServer = "127.0.0.1";
  settings.m_strSmtpPort = std::to_string(mail.port());
  settings.m_strMailFrom = "mirvale@example.org";
  settings.m_strMailSubject = "Change in $pool on $device";
  settings.m_strMailBody = "$action: $name ($device) on $date; $device";
  CActionItem located;
  located.m_bEnabled = 1;
  located.m_strPool = "lab";
  located.m_strAddress = "127.0.0.1";
  located.m_strMaskBits = "32";
  located.m_strQuery = "sysLocation*";
  located.m_strValue = "lab 2";
  located.m_bChangesOnly = 1;
  located.m_strRunCommand = program + ";;;;" + (folder / "located") + " $pool $device $name $action;";
  located.m_strMailRecipients = "ops@example.org";
  located.m_strTrapManagers = "127.0.0.2";
  CActionItem elsewhere = located;
  elsewhere.m_strValue = "Lab 9*";
  elsewhere.m_bChangesOnly = 0;
  elsewhere.m_strRunCommand = program + ";;;;" + (folder / "elsewhere") + ";";
  elsewhere.m_strMailRecipients = "never@example.org";
  elsewhere.m_strTrapManagers = "127.0.0.3";
  // Its range starts at 127.0.0.2, above the device: the start is not masked to its network.
  CActionItem above = located;
  above.m_strAddress = "127.0.0.2";
  above.m_strMaskBits = "24";
  above.m_strRunCommand.clear();
  above.m_strMailRecipients.clear();
  above.m_strTrapManagers = "127.0.0.3";
  located.m_strMaskBits = "0";  // from the device itself up to 255.255.255.255
  settings.m_mapActions.Set("located", located);
  settings.m_mapActions.Set("elsewhere", elsewhere);
  settings.m_mapActions.Set("above", above);

  SetLocationBySnmpset("Lab 1");
  ServiceProcess service;
  service.SetEnv("MIRVALE_RUN_ACCOUNT", runAccount.Name());
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto first = WaitForFinishedScan(service, "");
  ASSERT_TRUE(first) << "the scan did not finish";
  std::this_thread::sleep_for(1100ms);  // scan times are whole seconds
  SetLocationBySnmpset("Lab 2");
  ASSERT_EQ(service.Control(kStartScan), 0u);
  ASSERT_TRUE(WaitForFinishedScan(service, first->header.m_strScanStart)) << "the second scan did not finish";

  ASSERT_TRUE(WaitFor([&] { return platform::FileExists(folder / "located"); }));
  EXPECT_EQ(platform::ReadWholeFile(folder / "located").value_or(""),
            "[" + std::to_string(runAccount.Uid()) + "]\n[lab]\n[127.0.0.1]\n[localhost]\n[located]\n");
  ASSERT_TRUE(WaitFor([&] { return mail.Messages().size() == 1; }));
  email_testing::ReceivedMail sent = mail.Messages()[0];
  EXPECT_EQ(sent.envelope, "mail_from=mirvale@example.org\nrcpt_to=ops@example.org\nlogin=\n");
  std::string head =
      "from:<mirvale@example.org>\r\nto:<ops@example.org>\r\nsubject: Change in lab on 127.0.0.1\r\n\r\n"
      "located: localhost (127.0.0.1) on ";
  ASSERT_EQ(sent.content.rfind(head, 0), 0u) << sent.content;
  size_t dateEnd = sent.content.find("; $device", head.size());
  ASSERT_NE(dateEnd, std::string::npos) << "only the first $device is replaced: " << sent.content;
  std::string date = sent.content.substr(head.size(), dateEnd - head.size());
  EXPECT_FALSE(date.empty());
  ASSERT_TRUE(traps.WaitForLines("Action=located", 1)) << traps.LogText();
  EXPECT_NE(traps.LogText().find("->[127.0.0.2]:162"), std::string::npos) << traps.LogText();
  EXPECT_NE(traps.LogText().find(".1.3.6.1.3.1 = STRING: \"Pool=lab, Device=127.0.0.1, Name=localhost, "
                                 "Action=located, Date=" +
                                 date + "\""),
            std::string::npos)
      << traps.LogText();

  // The other rule's actions would have started beside these: give stragglers a moment.
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(platform::FileExists(folder / "elsewhere"));
  EXPECT_EQ(mail.Messages().size(), 1u);
  EXPECT_EQ(traps.LogText().find("Action=elsewhere"), std::string::npos) << traps.LogText();
  EXPECT_EQ(traps.LogText().find("Action=above"), std::string::npos) << traps.LogText();
  EXPECT_TRUE(service.Stop());
}

// An agent whose walks never end beside snmpd in one pool. Answering each step only after
// five seconds, a stop (137) still ends the scan within a second and keeps what both devices
// gave; answering at once, a scan left alone ends at the device's share of values.
TEST(DeviceScanService, EndlessWalkEndsAtAStopAndAtTheDevicesShare) {
  if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  SnmpAgent agent({"rocommunity public default", "rwcommunity private default"}, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  testing_support::TempFolder folder;
  CSnmpClient client(folder / "snmpv3_boot_counter");
  ASSERT_TRUE(SetLocation(client, "Lab 1"));
  CMirvaleDoc settings = LabSettings();
  CPoolItem& pool = *settings.m_mapPools.Find("lab");
  pool.m_pDevices.FindOrAdd("127.0.0.0") = CDeviceItem{"127.0.0.0", "255.255.255.252"};  // .1 and .2
  pool.m_nTimeout = 10;
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(service.Start());

  auto endless = testing_support::StartEndlessSnmpAgent(client, "127.0.0.2", {"5"});
  ASSERT_TRUE(endless);
  ASSERT_EQ(service.Control(kStartScan), 0u);
  std::this_thread::sleep_for(1500ms);
  auto stopped = std::chrono::steady_clock::now();
  ASSERT_EQ(service.Control(137), 0u);
  auto first = WaitForFinishedScan(service, "", 10s);
  ASSERT_TRUE(first) << "the stop did not end the scan";
  auto stopTime = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopped);
  std::cout << "scan ended " << stopTime.count() << " ms after the stop\n";
  EXPECT_LT(stopTime, 1000ms);
  auto devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  ASSERT_TRUE(devices.Contains("lab/127.0.0.1") && devices.Contains("lab/127.0.0.2"));
  ASSERT_TRUE(devices.Find("lab/127.0.0.1")->m_pQueries.Find("1.3.6.1.2.1.1.6.0"));
  EXPECT_EQ(devices.Find("lab/127.0.0.1")->m_pQueries.Find("1.3.6.1.2.1.1.6.0")->m_strValue, "Lab 1");
  EXPECT_TRUE(service.WaitForEventLine("SNMP walk of 127.0.0.2 stopped by a stop request", 0s));

  endless.reset();  // its port goes to the one that answers at once
  endless = testing_support::StartEndlessSnmpAgent(client, "127.0.0.2");
  ASSERT_TRUE(endless);
  std::this_thread::sleep_for(1100ms);
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto second = WaitForFinishedScan(service, first->header.m_strScanStart, 120s);
  ASSERT_TRUE(second) << "the next scan did not end";
  std::cout << "a scan of the endless agent took "
            << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count()
            << " ms\n";
  devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const std::string& interfaces = devices.Find("lab/127.0.0.2")->m_strInterfaces;
  EXPECT_EQ(std::count(interfaces.begin(), interfaces.end(), ';'), 100000);
  EXPECT_TRUE(service.WaitForEventLine("SNMP walk of 127.0.0.2 stopped after 100000 values", 0s));
  EXPECT_EQ(second->map.Find("lab/127.0.0.1")->m_strStatus, "Finished without changes");
  EXPECT_EQ(second->map.Find("lab/127.0.0.2")->m_strStatus, "Collecting Information...") << "not a clean finish";
  EXPECT_TRUE(service.Stop());
}

}  // namespace
}  // namespace mirvale

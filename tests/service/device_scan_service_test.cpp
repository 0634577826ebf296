// A pool scan through the real MirvaleSrv: a /29 of loopback addresses with snmpd on 127.0.0.1
// only, all inside the test's own network namespace.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "common/status_texts.h"
#include "service/snmp_client.h"
#include "tests/support/service_process.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::ServiceProcess;
using testing_support::SnmpAgent;

constexpr uint32_t kStartScan = 136;
constexpr const char* kSysLocation = "1.3.6.1.2.1.1.6";

void Sysctl(const std::string& name, const std::string& value) {
  platform::AppendToFile("/proc/sys/net/ipv4/" + name, value);
}

CMirvaleDoc LabSettings() {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("lab");
  pool.m_bSnmpV1 = 1;
  pool.m_nRetries = 1;
  pool.m_nTimeout = 2;
  pool.m_strReadCommunity = "public";
  pool.m_strWriteCommunity = "private";
  pool.m_pQueries.FindOrAdd(kSysLocation) = CQueryItem{kSysLocation, "sysLocation", ""};
  pool.m_pDevices.FindOrAdd("127.0.0.0") = CDeviceItem{"127.0.0.0", "255.255.255.248"};
  doc.m_strScanPool = "lab";
  doc.m_strScanUser = "admin";
  return doc;
}

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
  EXPECT_EQ(agentRecord->m_strStatus, kStatusUnchanged);
  EXPECT_EQ(agentRecord->m_strName, "localhost");
  for (int host = 2; host <= 6; ++host) {
    const CScanDbItem* silent = first->map.Find("lab/127.0.0." + std::to_string(host));
    ASSERT_TRUE(silent) << host;
    EXPECT_EQ(silent->m_strStatus, kStatusNoResponse) << host;
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
  EXPECT_EQ(second->map.Find("lab/127.0.0.1")->m_strStatus, kStatusChanged);
  devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const CDbQuery* location = devices.Find("lab/127.0.0.1")->m_pQueries.Find("1.3.6.1.2.1.1.6.0");
  ASSERT_TRUE(location);
  EXPECT_EQ(location->m_strValue, "Lab 2");
  EXPECT_EQ(location->m_strPrevValue, "Lab 1");
  EXPECT_EQ(location->m_strPrevTime, first->header.m_strScanStart);
}

}  // namespace
}  // namespace mirvale

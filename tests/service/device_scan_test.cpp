// One device scan against snmpd on the private loopback of the test's own network namespace,
// with a real data store and no service around it.
#include "service/scanning/device_scan.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "tests/support/scoped_env.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using testing_support::SnmpAgent;
using testing_support::TempFolder;

constexpr const char* kPool = "lab";
constexpr const char* kSysLocation = "1.3.6.1.2.1.1.6";
constexpr const char* kIfDescr = "1.3.6.1.2.1.2.2.1.2";

void Sysctl(const std::string& name, const std::string& value) {
  platform::AppendToFile("/proc/sys/net/ipv4/" + name, value);
}

class DeviceScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
    // A second loopback address, so the address table holds more than 127.0.0.1.
    ASSERT_EQ(std::system("/usr/sbin/ip addr replace 127.0.0.9/8 dev lo"), 0);
    Sysctl("ping_group_range", "0 2147483647");
    Sysctl("icmp_echo_ignore_all", "0");
    snmp_ = std::make_unique<CSnmpClient>(folder_ / "snmpv3_boot_counter");
    auto pool = std::make_shared<CPoolItem>();
    pool->m_bSnmpV1 = 1;
    pool->m_nRetries = 1;
    pool->m_nTimeout = 2;
    pool->m_strReadCommunity = "public";
    pool->m_strWriteCommunity = "private";
    pool->m_pQueries.FindOrAdd(kSysLocation) = CQueryItem{kSysLocation, "sysLocation", ""};
    pool->m_pQueries.FindOrAdd(kIfDescr) = CQueryItem{kIfDescr, "ifDescr", ""};
    pool_ = pool;
    auto settings = std::make_shared<CMirvaleDoc>();
    settings->m_bScanLog = 1;
    settings->m_bLogText = 1;
    settings_ = settings;
  }

  void Scan(const std::string& address, const std::string& scanStart) {
    DeviceScanJob job{address, kPool, "admin", scanStart, pool_, settings_, nullptr};
    CConfigurationDevice(DeviceScanServices{data_, audit_, hooks_, stop_, *snmp_}, job).Run();
  }

  std::optional<CScanDbItem> ScanRecord(const std::string& address) {
    std::optional<CScanDbItem> found;
    data_.WithDatabases([&](DeviceDatabaseMap&, ScanDatabaseMap& scans) {
      if (const auto* item = scans.Find(std::string(kPool) + "/" + address)) found = *item;
    });
    return found;
  }

  std::optional<CDbItem> Device(const std::string& address) {
    std::optional<CDbItem> found;
    data_.WithDatabases([&](DeviceDatabaseMap& devices, ScanDatabaseMap&) {
      if (const auto* item = devices.Find(std::string(kPool) + "/" + address)) found = *item;
    });
    return found;
  }

  bool SetLocation(const std::string& text) {
    SnmpSettings settings;
    settings.m_bSnmpV1 = 1;
    settings.m_nRetries = 1;
    settings.m_nTimeout = 2;
    settings.m_strReadCommunity = "public";
    settings.m_strWriteCommunity = "private";
    return snmp_->SetValue("127.0.0.1", settings, {"1.3.6.1.2.1.1.6.0", text});
  }

  TempFolder folder_;
  ServiceDataStore data_{folder_.path()};
  AuditQueue audit_;
  ActionHooks hooks_;
  ManualEvent stop_;
  std::unique_ptr<CSnmpClient> snmp_;
  std::shared_ptr<const CPoolItem> pool_;
  std::shared_ptr<const CMirvaleDoc> settings_;
};

const std::vector<std::string> kAgentConfig = {"rocommunity public default", "rwcommunity private default",
                                               "sysName testhost"};

TEST_F(DeviceScanTest, FirstScanStoresNameInterfacesAddressesAndQueries) {
  SnmpAgent agent(kAgentConfig, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  ASSERT_TRUE(SetLocation("Lab 1"));
  Scan("127.0.0.1", "1000");

  auto record = ScanRecord("127.0.0.1");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->m_strStatus, "Finished without changes");
  // The reverse-lookup name wins over sysName.
  EXPECT_EQ(record->m_strName, "localhost");
  auto device = Device("127.0.0.1");
  ASSERT_TRUE(device);
  EXPECT_EQ(device->m_strName, "localhost");
  EXPECT_EQ(device->m_strInterfaces, "1;");
  EXPECT_EQ(device->m_strAddresses, "127.0.0.9/1;");
  EXPECT_EQ(device->m_strScanTime, "1000");
  EXPECT_EQ(device->m_strStatus, "Finished without changes");
  const CDbQuery* location = device->m_pQueries.Find("1.3.6.1.2.1.1.6.0");
  ASSERT_TRUE(location);
  EXPECT_EQ(location->m_strName, "sysLocation");
  EXPECT_EQ(location->m_strQueryOid, kSysLocation);
  EXPECT_EQ(location->m_strValue, "Lab 1");
  EXPECT_EQ(location->m_strTime, "1000");
  const CDbQuery* loopback = device->m_pQueries.Find("1.3.6.1.2.1.2.2.1.2.1");
  ASSERT_TRUE(loopback);
  EXPECT_EQ(loopback->m_strName, "ifDescr.1");
  EXPECT_EQ(loopback->m_strValue, "lo");

  auto lines = audit_.Snapshot();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("admin\tScan\tlab\t127.0.0.1\tlocalhost\tFinished without changes"), std::string::npos)
      << lines[0];
}

TEST_F(DeviceScanTest, ChangedValueIsMarkedAndKeepsThePreviousBesideIt) {
  SnmpAgent agent(kAgentConfig, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  ASSERT_TRUE(SetLocation("Lab 1"));
  Scan("127.0.0.1", "1000");
  ASSERT_TRUE(SetLocation("Lab 2"));
  Scan("127.0.0.1", "2000");

  EXPECT_EQ(ScanRecord("127.0.0.1")->m_strStatus, "Finished with changes");
  auto device = Device("127.0.0.1");
  ASSERT_TRUE(device);
  const CDbQuery* location = device->m_pQueries.Find("1.3.6.1.2.1.1.6.0");
  ASSERT_TRUE(location);
  EXPECT_EQ(location->m_strValue, "Lab 2");
  EXPECT_EQ(location->m_strTime, "2000");
  EXPECT_EQ(location->m_strPrevValue, "Lab 1");
  EXPECT_EQ(location->m_strPrevTime, "1000");
  Scan("127.0.0.1", "3000");
  EXPECT_EQ(ScanRecord("127.0.0.1")->m_strStatus, "Finished without changes");
}

TEST_F(DeviceScanTest, SilentAddressesAreRecordedByEchoAndStoreNothing) {
  SnmpAgent agent(kAgentConfig, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  Scan("127.0.0.2", "1000");
  auto answered = ScanRecord("127.0.0.2");
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->m_strStatus, "No response from device");
  EXPECT_EQ(answered->m_strName, "127.0.0.2");
  EXPECT_FALSE(Device("127.0.0.2"));

  Sysctl("icmp_echo_ignore_all", "1");
  Scan("127.0.0.3", "1000");
  Sysctl("icmp_echo_ignore_all", "0");
  EXPECT_EQ(ScanRecord("127.0.0.3")->m_strStatus, "Device unreachable");
  Scan("no-such-device.invalid", "1000");
  EXPECT_EQ(ScanRecord("no-such-device.invalid")->m_strStatus, "Device unreachable");
  EXPECT_FALSE(Device("127.0.0.3"));
}

TEST_F(DeviceScanTest, CollectAllWalksTheWholeTree) {
  SnmpAgent agent(kAgentConfig, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  auto pool = std::make_shared<CPoolItem>(*pool_);
  pool->m_bAllQueries = 1;
  pool_ = pool;
  Scan("127.0.0.1", "1000");
  auto device = Device("127.0.0.1");
  ASSERT_TRUE(device);
  const CDbQuery* name = device->m_pQueries.Find("1.3.6.1.2.1.1.5.0");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->m_strValue, "testhost");
  EXPECT_EQ(name->m_strName, "");
  EXPECT_EQ(name->m_strQueryOid, "") << "collected values belong to no query";
  EXPECT_GT(device->m_pQueries.size(), 50u);
}

TEST_F(DeviceScanTest, StoppingServiceLeavesTheFirstStatus) {
  SnmpAgent agent(kAgentConfig, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  stop_.Set();
  Scan("127.0.0.1", "1000");
  EXPECT_EQ(ScanRecord("127.0.0.1")->m_strStatus, "Collecting Information...");
  EXPECT_FALSE(Device("127.0.0.1"));
  EXPECT_EQ(audit_.Size(), 1u);
}

}  // namespace
}  // namespace mirvale

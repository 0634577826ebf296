// Set requests through the real MirvaleSrv (control 144) against snmpd with a read-write
// community, all inside the test's own network namespace.
#include <thread>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "service/scanning/snmp_client.h"
#include "tests/support/service_process.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::ServiceProcess;
using testing_support::SnmpAgent;

constexpr uint32_t kReloadSettings = 134;
constexpr uint32_t kStartRestore = 144;
constexpr const char* kSysContact = "1.3.6.1.2.1.1.4.0";
constexpr const char* kSysLocation = "1.3.6.1.2.1.1.6.0";
constexpr const char* kEnableAuthenTraps = "1.3.6.1.2.1.11.30.0";  // INTEGER enabled(1), disabled(2)

CRestoreItem SetRequest(const std::string& pool, const std::string& address, const std::string& oid,
                        const std::string& value, const std::string& result = "") {
  return CRestoreItem{pool, address, "agent", "query", oid, value, result, "admin"};
}

CMirvaleDoc LabSettings(int timeoutSeconds = 1) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("lab");
  pool.m_bSnmpV1 = 1;
  pool.m_nRetries = 0;
  pool.m_nTimeout = static_cast<uint32_t>(timeoutSeconds);
  pool.m_strReadCommunity = "public";
  pool.m_strWriteCommunity = "private";
  return doc;
}

DeviceDatabaseMap KnownAgent() {
  DeviceDatabaseMap devices;
  CDbItem& device = devices.FindOrAdd("lab/127.0.0.1");
  device.m_strPool = "lab";
  device.m_strAddress = "127.0.0.1";
  device.m_strName = "agent";
  return devices;
}

SnmpSettings Community() {
  SnmpSettings settings;
  settings.m_bSnmpV1 = 1;
  settings.m_nTimeout = 5;
  settings.m_strReadCommunity = "public";
  settings.m_strWriteCommunity = "private";
  return settings;
}

class RestoreService : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
    agent = std::make_unique<SnmpAgent>(
        std::vector<std::string>{"rocommunity public default", "rwcommunity private default"}, "udp:127.0.0.1:161");
    ASSERT_TRUE(agent->Ready()) << agent->LogText();
  }

  std::string AgentValue(const std::string& oid) {
    SnmpValueSlot slot{oid, ""};
    EXPECT_TRUE(client.Request(SnmpRequestMode::Get, "127.0.0.1", Community(), std::span(&slot, 1)));
    return slot.value;
  }

  CMirvaleDoc ServiceSettings() const {
    auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.ini"));
    return bytes ? DecodeSettings(*bytes) : CMirvaleDoc{};
  }

  // Waits until the service's settings file gives every listed request a result.
  std::optional<CMirvaleDoc> WaitForResults(const std::vector<std::string>& keys, std::chrono::seconds limit = 60s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      CMirvaleDoc doc = ServiceSettings();
      bool all = true;
      for (const auto& key : keys) {
        const CRestoreItem* item = doc.m_mapRestore.Find(key);
        all = all && item && !item->m_strResult.empty();
      }
      if (all) return doc;
      std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
  }

  // The desktop program's commit: the data folder's file, then control 134.
  void CommitSettings(const CMirvaleDoc& doc) {
    ASSERT_TRUE(platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), EncodeSettings(doc)));
    ASSERT_EQ(service.Control(kReloadSettings), 0u);
  }

  std::unique_ptr<SnmpAgent> agent;
  testing_support::TempFolder folder;
  CSnmpClient client{folder / "snmpv3_boot_counter"};
  ServiceProcess service;
};

TEST_F(RestoreService, SetsValuesOnceStoresThemAndFailsWhatCannotBeSet) {
  ASSERT_TRUE(client.SetValue("127.0.0.1", Community(), {kEnableAuthenTraps, "2"}));
  ASSERT_TRUE(client.SetValue("127.0.0.1", Community(), {kSysContact, "nobody"}));
  CMirvaleDoc settings = LabSettings();
  settings.m_mapRestore.Set("a", SetRequest("lab", "127.0.0.1", kSysLocation, "Set by the service"));
  // 2^32 + 1: cut to 32 bits it would read 1, a value the agent accepts.
  settings.m_mapRestore.Set("b", SetRequest("lab", "127.0.0.1", kEnableAuthenTraps, "4294967297"));
  settings.m_mapRestore.Set("c", SetRequest("lab", "127.0.0.2", kSysLocation, "No agent here"));
  settings.m_mapRestore.Set("d", SetRequest("deleted", "127.0.0.1", kSysLocation, "Deleted pool"));
  settings.m_mapRestore.Set("e", SetRequest("lab", "127.0.0.1", kSysContact, "sent before", "Successful"));
  settings.m_mapRestore.Set("g", SetRequest("lab", "127.0.0.1", "1.3.6.1.2.1.1.99.0", "no such object"));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.db"), EncodeDeviceDatabase(KnownAgent())));
  ASSERT_TRUE(service.Start());

  ASSERT_EQ(service.Control(kStartRestore), 0u);
  auto first = WaitForResults({"a", "b", "c", "d", "g"});
  ASSERT_TRUE(first) << "the requests received no results";
  EXPECT_EQ(first->m_mapRestore.Find("a")->m_strResult, "Successful");
  EXPECT_EQ(first->m_mapRestore.Find("b")->m_strResult, "Failed");
  EXPECT_EQ(first->m_mapRestore.Find("c")->m_strResult, "Failed");
  EXPECT_EQ(first->m_mapRestore.Find("d")->m_strResult, "Failed");
  EXPECT_EQ(first->m_mapRestore.Find("e")->m_strResult, "Successful");
  EXPECT_EQ(first->m_mapRestore.Find("g")->m_strResult, "Failed") << "an object whose type the agent cannot tell";
  EXPECT_EQ(AgentValue(kSysLocation), "Set by the service");
  EXPECT_EQ(AgentValue(kEnableAuthenTraps), "2") << "the value was cut to fit the object's type";
  EXPECT_EQ(AgentValue(kSysContact), "nobody") << "a request carrying a result was sent";

  auto devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const CDbItem* device = devices.Find("lab/127.0.0.1");
  ASSERT_TRUE(device);
  ASSERT_TRUE(device->m_pQueries.Find(kSysLocation));
  EXPECT_EQ(device->m_pQueries.Find(kSysLocation)->m_strValue, "Set by the service");
  EXPECT_FALSE(device->m_pQueries.Find(kEnableAuthenTraps));

  // Someone changes the location on the device; the desktop program adds one more request.
  // The next 144 carries out only that one.
  ASSERT_TRUE(client.SetValue("127.0.0.1", Community(), {kSysLocation, "Changed meanwhile"}));
  CMirvaleDoc more = *first;
  more.m_mapRestore.Set("f", SetRequest("lab", "127.0.0.1", kSysContact, "admin@lab"));
  CommitSettings(more);
  ASSERT_EQ(service.Control(kStartRestore), 0u);
  auto second = WaitForResults({"f"});
  ASSERT_TRUE(second);
  EXPECT_EQ(second->m_mapRestore.Find("f")->m_strResult, "Successful");
  EXPECT_EQ(AgentValue(kSysContact), "admin@lab");
  EXPECT_EQ(AgentValue(kSysLocation), "Changed meanwhile") << "an answered request was sent again";
  EXPECT_EQ(second->m_mapRestore.Find("a")->m_strResult, "Successful");
}

TEST_F(RestoreService, SettingsCommittedDuringTheRunKeepTheResults) {
  CMirvaleDoc settings = LabSettings(4);
  settings.m_mapRestore.Set("a", SetRequest("lab", "127.0.0.1", kSysLocation, "First"));
  settings.m_mapRestore.Set("b", SetRequest("lab", "127.0.0.2", kSysLocation, "No agent here"));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(client.SetValue("127.0.0.1", Community(), {kSysLocation, "Before"}));

  ASSERT_EQ(service.Control(kStartRestore), 0u);
  // Once the first request reached the agent, the run waits four seconds on the silent address.
  auto deadline = std::chrono::steady_clock::now() + 30s;
  while (AgentValue(kSysLocation) != "First" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(20ms);
  ASSERT_EQ(AgentValue(kSysLocation), "First");
  CMirvaleDoc desktop = settings;
  desktop.m_nLogKeep = 9;
  desktop.m_mapRestore.Set("c", SetRequest("lab", "127.0.0.1", kSysLocation, "Later"));
  CommitSettings(desktop);

  auto done = WaitForResults({"a", "b"});
  ASSERT_TRUE(done) << "the results were lost";
  EXPECT_EQ(done->m_mapRestore.Find("a")->m_strResult, "Successful");
  EXPECT_EQ(done->m_mapRestore.Find("b")->m_strResult, "Failed");
  EXPECT_EQ(done->m_mapRestore.Find("c")->m_strResult, "") << "not part of the run";
  EXPECT_EQ(done->m_nLogKeep, 9u);
  EXPECT_EQ(AgentValue(kSysLocation), "First");
}

}  // namespace
}  // namespace mirvale

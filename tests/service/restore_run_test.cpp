// A set and restore run on the service's real worker, data store and settings files, with
// recorders in place of the SNMP client and the shell session.
#include <atomic>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "service/host/mirvale_frm.h"
#include "service/restore/restore_configuration.h"
#include "service/restore/restore_job.h"
#include "tests/support/scoped_env.h"

namespace mirvale {
namespace {

constexpr std::time_t kNow = 1700000000;  // 2023-11-14 22:13:20 UTC
constexpr const char* kLocation = "1.3.6.1.2.1.1.6.0";

CRestoreItem SnmpRequest(const std::string& pool, const std::string& address, const std::string& value,
                         const std::string& result = "") {
  return CRestoreItem{pool, address, "r1", "sysLocation", kLocation, value, result, "admin"};
}

struct SentSet {
  std::string address;
  std::string oid;
  std::string value;
  std::string writeCommunity;
};

class RestoreRun : public ::testing::Test {
 protected:
  RestoreRun() {
    platform::CreateFolderLevels(temp / "program");
    platform::CreateFolderLevels(temp / "data");
  }

  void UseSettings(const std::function<void(CMirvaleDoc&)>& change) {
    ASSERT_TRUE(frm.UpdateSettings([&](CMirvaleDoc& doc) {
      doc = CMirvaleDoc{};
      ApplyServiceDefaults(doc);
      CPoolItem& lab = doc.m_mapPools.FindOrAdd("lab");
      lab.m_bSnmpV1 = 1;
      lab.m_strWriteCommunity = "private";
      CPoolItem& switches = doc.m_mapPools.FindOrAdd("sw");
      switches.m_bTelnet = 1;
      change(doc);
    }));
  }

  void AddDevice(const std::string& pool, const std::string& address) {
    frm.Data().WithDatabases([&](DeviceDatabaseMap& devices, ScanDatabaseMap&) {
      CDbItem& device = devices.FindOrAdd(pool + "/" + address);
      device.m_strPool = pool;
      device.m_strAddress = address;
      device.m_strScanTime = "1000";
    });
  }

  RestoreChannels SnmpOnly() {
    RestoreChannels channels;
    channels.setSnmpValue = [this](const std::string& address, const SnmpSettings& settings,
                                   const SnmpValueSlot& slot) {
      std::lock_guard lock(mutex);
      sent.push_back({address, slot.oid, slot.value, settings.m_strWriteCommunity});
      if (duringSet) duringSet();
      return address != "10.0.0.9";
    };
    return channels;
  }

  void RunRestore(RestoreChannels channels) {
    CConfigurationRestore(frm, std::move(channels)).Run();
    frm.Threads().WaitForAll(std::chrono::seconds(10));
  }

  CMirvaleDoc SavedSettings() const {
    return DecodeSettings(platform::ReadWholeFile(temp / "program/Mirvale.ini").value_or(""));
  }
  DeviceDatabaseMap SavedDevices() const {
    return DecodeDeviceDatabase(platform::ReadWholeFile(temp / "program/Mirvale.db").value_or(""));
  }
  static std::string ResultOf(const CMirvaleDoc& doc, const std::string& key) {
    const CRestoreItem* item = doc.m_mapRestore.Find(key);
    return item ? item->m_strResult : "<absent>";
  }

  testing_support::ScopedEnv tz{"TZ", "UTC"};
  testing_support::TempFolder temp;
  std::mutex mutex;
  std::vector<SentSet> sent;
  std::vector<std::string> ranPrograms;
  std::function<void()> duringSet;
  ServiceJobs jobs = [this] {
    ServiceJobs hooks;
    hooks.actions.run = [this](const RunActionRequest& request) {
      std::lock_guard lock(mutex);
      ranPrograms.push_back(request.program);
    };
    return hooks;
  }();
  std::shared_ptr<ManualEvent> stop = std::make_shared<ManualEvent>();
  MainLoopTiming timing = [] {
    MainLoopTiming fixed;
    fixed.clock = [] { return kNow; };
    return fixed;
  }();
  CMirvaleFrm frm{temp / "program", temp / "data", stop, jobs, timing};
};

TEST_F(RestoreRun, SnmpRequestsReceiveResultsStoreSetValuesAndQueueAuditLines) {
  UseSettings([](CMirvaleDoc& doc) {
    doc.m_bChangesLog = 1;
    doc.m_bLogText = 1;
    doc.m_bLogCsv = 1;
    doc.m_mapRestore.Set("1", SnmpRequest("lab", "10.0.0.1", "Room 5"));
    doc.m_mapRestore.Set("2", SnmpRequest("lab", "10.0.0.9", "Room 6"));
    doc.m_mapRestore.Set("3", SnmpRequest("deleted pool", "10.0.0.1", "Room 7"));
    doc.m_mapRestore.Set("4", SnmpRequest("lab", "10.0.0.1", "Done before", "Successful"));
  });
  AddDevice("lab", "10.0.0.1");
  AddDevice("lab", "10.0.0.9");
  RunRestore(SnmpOnly());

  ASSERT_EQ(sent.size(), 2u) << "the deleted pool and the answered request send nothing";
  EXPECT_EQ(sent[0].address, "10.0.0.1");
  EXPECT_EQ(sent[0].oid, kLocation);
  EXPECT_EQ(sent[0].value, "Room 5");
  EXPECT_EQ(sent[0].writeCommunity, "private");
  EXPECT_EQ(sent[1].address, "10.0.0.9");

  CMirvaleDoc saved = SavedSettings();
  EXPECT_EQ(ResultOf(saved, "1"), "Successful");
  EXPECT_EQ(ResultOf(saved, "2"), "Failed");
  EXPECT_EQ(ResultOf(saved, "3"), "Failed");
  EXPECT_EQ(ResultOf(saved, "4"), "Successful");
  EXPECT_EQ(saved.m_mapRestore, frm.Settings()->m_mapRestore);

  DeviceDatabaseMap devices = SavedDevices();
  const CDbQuery* stored = devices.Find("lab/10.0.0.1")->m_pQueries.Find(kLocation);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->m_strValue, "Room 5");
  EXPECT_EQ(stored->m_strTime, "1700000000");
  EXPECT_TRUE(devices.Find("lab/10.0.0.9")->m_pQueries.empty()) << "a refused set stores nothing";

  auto audit = frm.Audit().Snapshot();
  ASSERT_EQ(audit.size(), 6u) << "three requests carried out, each in both forms";
  EXPECT_EQ(audit[0], "2023-11-14 22:13:20\tadmin\tSet 1.3.6.1.2.1.1.6.0 to Room 5\tlab\t10.0.0.1\tr1\tSuccessful\r\n");
  EXPECT_EQ(audit[1], "2023-11-14 22:13:20,admin,Set 1.3.6.1.2.1.1.6.0 to Room 5,lab,10.0.0.1,r1,Successful\r\n");
  EXPECT_EQ(audit[5], "2023-11-14 22:13:20,admin,Set 1.3.6.1.2.1.1.6.0 to Room 7,deleted pool,10.0.0.1,r1,Failed\r\n");

  // A second run finds nothing pending: nothing is sent, logged or written again.
  std::string settingsBytes = platform::ReadWholeFile(temp / "program/Mirvale.ini").value_or("");
  RunRestore(SnmpOnly());
  EXPECT_EQ(sent.size(), 2u);
  EXPECT_EQ(frm.Audit().Size(), 6u);
  EXPECT_EQ(platform::ReadWholeFile(temp / "program/Mirvale.ini").value_or(""), settingsBytes);
}

TEST_F(RestoreRun, SettingsTakenOverDuringTheRunKeepTheirChangesAndReceiveTheResults) {
  UseSettings([](CMirvaleDoc& doc) {
    doc.m_mapRestore.Set("1", SnmpRequest("lab", "10.0.0.1", "Room 5"));
    doc.m_mapRestore.Set("2", SnmpRequest("lab", "10.0.0.1", "Room 6"));
    doc.m_mapRestore.Set("3", SnmpRequest("lab", "10.0.0.1", "Room 7"));
  });
  // While the first set runs, the desktop program commits settings of its own (control 134):
  // another retention, request 2 withdrawn, request 3 changed, request 5 added.
  duringSet = [this] {
    duringSet = nullptr;
    CMirvaleDoc desktop = *frm.Settings();
    desktop.m_nLogKeep = 9;
    desktop.m_mapRestore.Remove("2");
    desktop.m_mapRestore.Find("3")->m_strValue = "Room 8";
    desktop.m_mapRestore.Set("5", SnmpRequest("lab", "10.0.0.1", "Room 9"));
    ASSERT_TRUE(platform::WriteFileAtomically(temp / "data/Mirvale.ini", EncodeSettings(desktop)));
    frm.ReloadSettings();
  };
  RunRestore(SnmpOnly());

  EXPECT_EQ(sent.size(), 3u) << "the run carries out the requests it started with";
  CMirvaleDoc saved = SavedSettings();
  EXPECT_EQ(saved.m_nLogKeep, 9u);
  EXPECT_EQ(ResultOf(saved, "1"), "Successful");
  EXPECT_EQ(ResultOf(saved, "2"), "<absent>");
  EXPECT_EQ(ResultOf(saved, "3"), "") << "changed meanwhile: it waits for the next run";
  EXPECT_EQ(ResultOf(saved, "5"), "");

  RunRestore(SnmpOnly());
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[3].value, "Room 8");
  EXPECT_EQ(sent[4].value, "Room 9");
  saved = SavedSettings();
  EXPECT_EQ(ResultOf(saved, "3"), "Successful");
  EXPECT_EQ(ResultOf(saved, "5"), "Successful");
}

TEST_F(RestoreRun, ServiceStopFailsTheRequestsNotYetReachedSayingSo) {
  UseSettings([](CMirvaleDoc& doc) {
    doc.m_mapRestore.Set("1", SnmpRequest("lab", "10.0.0.1", "Room 5"));
    doc.m_mapRestore.Set("2", SnmpRequest("lab", "10.0.0.1", "Room 6"));
  });
  duringSet = [this] { stop->Set(); };
  RunRestore(SnmpOnly());
  EXPECT_EQ(sent.size(), 1u);
  CMirvaleDoc saved = SavedSettings();
  EXPECT_EQ(ResultOf(saved, "1"), "Successful");
  EXPECT_EQ(ResultOf(saved, "2"), "Failed: the service stopped before carrying it out")
      << "left pending it would be waited for, and carried out later";
}

TEST_F(RestoreRun, ShellRequestsCollectEachDeviceAgainAndCheckItsLines) {
  UseSettings([](CMirvaleDoc& doc) {
    doc.m_mapRestore.Set("1", CRestoreItem{"sw", "10.0.0.5", "sw1", "interface x", "", "shutdown", "", "admin"});
    doc.m_mapRestore.Set("2", CRestoreItem{"sw", "10.0.0.5", "sw1", "interface y", "", "no shutdown", "", "admin"});
    doc.m_mapRestore.Set("3", CRestoreItem{"sw", "10.0.0.6", "sw2", "interface z", "", "shutdown", "", "admin"});
    CActionItem& onChange = doc.m_mapActions.FindOrAdd("changed lines");
    onChange = CActionItem{1, "sw", "0.0.0.0", "0", "*", "*", 1, "/bin/true;;;;;", "", ""};
  });
  AddDevice("sw", "10.0.0.5");
  AddDevice("sw", "10.0.0.6");
  // The lines of the device's last scan.
  frm.Data().StoreSetValue("sw", "10.0.0.5", "1000", "1", "hostname sw1");
  frm.Data().StoreSetValue("sw", "10.0.0.5", "1000", "2", "interface x");
  frm.Data().StoreSetValue("sw", "10.0.0.6", "1000", "1", "hostname sw2");

  std::vector<std::string> shellSent, collected;
  RestoreChannels channels = SnmpOnly();
  channels.sendShellRequest = [&](const std::string& address, const CPoolItem& pool, const CRestoreItem& request,
                                  std::vector<std::string>&) {
    EXPECT_TRUE(pool.m_bTelnet);
    shellSent.push_back(address + " " + request.m_strQuery + " " + request.m_strValue);
    return address == "10.0.0.5";
  };
  channels.collectShellLines = [&](const std::string& address, const CPoolItem&) {
    collected.push_back(address);
    // The second device's listing is cut before its prompt came back.
    StoredShellLines stored;
    stored.logonFailed = false;
    stored.complete = address == "10.0.0.5";
    if (stored.complete) stored.lines = {"hostname sw1", "interface x", " shutdown"};
    return stored;
  };
  RunRestore(channels);

  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(shellSent, (std::vector<std::string>{"10.0.0.5 interface x shutdown", "10.0.0.5 interface y no shutdown",
                                                 "10.0.0.6 interface z shutdown"}));
  EXPECT_EQ(collected, (std::vector<std::string>{"10.0.0.5", "10.0.0.6"})) << "each device once";
  CMirvaleDoc saved = SavedSettings();
  EXPECT_EQ(ResultOf(saved, "1"), "Successful");
  EXPECT_EQ(ResultOf(saved, "2"), "Successful");
  EXPECT_EQ(ResultOf(saved, "3"), "Failed");

  DeviceDatabaseMap devices = SavedDevices();
  const CDbItem* sw1 = devices.Find("sw/10.0.0.5");
  EXPECT_EQ(sw1->m_strScanTime, "1700000000");
  ASSERT_EQ(sw1->m_pQueries.size(), 3u);
  EXPECT_EQ(sw1->m_pQueries.Find("3")->m_strValue, " shutdown");
  EXPECT_EQ(sw1->m_pQueries.Find("2")->m_strTime, "1700000000");
  const CDbItem* sw2 = devices.Find("sw/10.0.0.6");
  EXPECT_EQ(sw2->m_strScanTime, "1000") << "a configuration not read whole keeps the one stored";
  EXPECT_EQ(sw2->m_pQueries.Find("1")->m_strValue, "hostname sw2");
  EXPECT_EQ(sw2->m_strStatus, "No response from device");
  EXPECT_EQ(ranPrograms, std::vector<std::string>{"/bin/true"}) << "only the line that was not there before";
}

TEST_F(RestoreRun, ACollectionCutByTheServicesStopLeavesTheDeviceAsItWas) {
  UseSettings([](CMirvaleDoc& doc) {
    doc.m_mapRestore.Set("1", CRestoreItem{"sw", "10.0.0.5", "sw1", "interface x", "", "shutdown", "", "admin"});
  });
  AddDevice("sw", "10.0.0.5");
  frm.Data().UpdateDevice("sw", "10.0.0.5", "", "Finished without changes");
  RestoreChannels channels = SnmpOnly();
  channels.sendShellRequest = [](const std::string&, const CPoolItem&, const CRestoreItem&,
                                 std::vector<std::string>&) { return true; };
  channels.collectShellLines = [](const std::string&, const CPoolItem&) {
    StoredShellLines stored;
    stored.logonFailed = false;
    stored.cut = ShellCut::ServiceStop;
    return stored;
  };
  RunRestore(channels);
  const DeviceDatabaseMap devices = SavedDevices();
  const CDbItem* device = devices.Find("sw/10.0.0.5");
  ASSERT_TRUE(device);
  EXPECT_EQ(device->m_strStatus, "Finished without changes");
  EXPECT_EQ(device->m_strScanTime, "1000");
}

TEST_F(RestoreRun, RepeatedControlRequestsCarryOutEachRequestOnce) {
  UseSettings([](CMirvaleDoc& doc) {
    doc.m_bChangesLog = 1;
    doc.m_bLogText = 1;
    for (const char* key : {"1", "2", "3"})
      doc.m_mapRestore.Set(key, SnmpRequest("deleted pool", "10.0.0.1", key));
  });
  auto job = MakeRestoreJob(std::make_shared<CSnmpClient>(temp / "snmpv3_boot_counter"),
                            std::make_shared<ShellConversations>());
  std::vector<std::thread> requests;
  for (int i = 0; i < 8; ++i) requests.emplace_back([&] { job(frm); });
  for (auto& request : requests) request.join();
  EXPECT_EQ(frm.Audit().Size(), 3u) << "a request was carried out by more than one run";
  for (const char* key : {"1", "2", "3"}) EXPECT_EQ(ResultOf(SavedSettings(), key), "Failed");
}

}  // namespace
}  // namespace mirvale

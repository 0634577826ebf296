#include "service/store/data_store.h"

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;

namespace {

class DataStore : public ::testing::Test {
 protected:
  DataStore() { store.AddDevice("p1", "10.0.0.1", "r1", "1;2;", "10.0.0.1/1;"); }
  CDbQuery Stored(const std::string& key) {
    CDbQuery record;
    EXPECT_TRUE(store.FindQueryValue("p1/10.0.0.1", key, record));
    return record;
  }
  testing_support::TempFolder temp;
  ServiceDataStore store{temp.path()};
};

}  // namespace

TEST_F(DataStore, ValuesChangeAndKeepTheirPreviousPair) {
  EXPECT_FALSE(store.StoreQueryValue("p1", "10.0.0.1", "100", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.5", "sysName", "A"));
  CDbQuery first = Stored("1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(first.m_strValue, "A");
  EXPECT_EQ(first.m_strPrevValue, "");
  EXPECT_EQ(first.m_strPrevTime, "");
  EXPECT_TRUE(store.StoreQueryValue("p1", "10.0.0.1", "200", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.5", "sysName", "B"));
  EXPECT_FALSE(store.StoreQueryValue("p1", "10.0.0.1", "300", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.5", "sysName", "B"));
  CDbQuery third = Stored("1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(third.m_strValue, "B");
  EXPECT_EQ(third.m_strTime, "300");
  EXPECT_EQ(third.m_strPrevValue, "A");
  EXPECT_EQ(third.m_strPrevTime, "100");
  EXPECT_EQ(third.m_strName, "sysName");
  EXPECT_EQ(third.m_strQueryOid, "") << "FindQueryValue does not copy the query's identifier";
}

TEST_F(DataStore, AChangeFromEmptyKeepsThePreviousPair) {
  store.StoreSetValue("p1", "10.0.0.1", "100", "k", "old");
  store.StoreSetValue("p1", "10.0.0.1", "200", "k", "");
  EXPECT_TRUE(store.StoreSetValue("p1", "10.0.0.1", "300", "k", "X"));
  CDbQuery record = Stored("k");
  EXPECT_EQ(record.m_strValue, "X");
  EXPECT_EQ(record.m_strPrevValue, "old");
  EXPECT_EQ(record.m_strPrevTime, "100");
}

TEST_F(DataStore, MissingDevicesStoreNothing) {
  EXPECT_FALSE(store.StoreQueryValue("p1", "10.0.0.9", "1", "k", "o", "n", "v"));
  EXPECT_FALSE(store.StoreSetValue("p2", "10.0.0.1", "1", "k", "v"));
  CDbQuery record;
  record.m_strValue = "untouched";
  EXPECT_FALSE(store.FindQueryValue("p1/10.0.0.9", "k", record));
  EXPECT_FALSE(store.FindQueryValue("p1/10.0.0.1", "absent", record));
  EXPECT_EQ(record.m_strValue, "untouched");
  store.UpdateDevice("p1", "10.0.0.9", "5", "Finished");
  store.WithDatabases([](DeviceDatabaseMap& devices, ScanDatabaseMap&) { EXPECT_EQ(devices.size(), 1u); });
}

TEST_F(DataStore, DeviceUpdatesKeepWhatAnEmptyAnswerDoesNotTell) {
  store.AddDevice("p1", "10.0.0.1", "r1-new", "", "");
  store.UpdateDevice("p1", "10.0.0.1", "500", "Finished with changes");
  store.UpdateDevice("p1", "10.0.0.1", "600", "");
  store.WithDatabases([](DeviceDatabaseMap& devices, ScanDatabaseMap&) {
    const CDbItem* item = devices.Find("p1/10.0.0.1");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->m_strName, "r1-new");
    EXPECT_EQ(item->m_strInterfaces, "1;2;");
    EXPECT_EQ(item->m_strAddresses, "10.0.0.1/1;");
    EXPECT_EQ(item->m_strScanTime, "600");
    EXPECT_EQ(item->m_strStatus, "Finished with changes");
  });
}

TEST_F(DataStore, PreviousLinesAreTheLastScansLinesUpToTheFirstGap) {
  store.UpdateDevice("p1", "10.0.0.1", "100", "");
  store.StoreSetValue("p1", "10.0.0.1", "100", "1", "hostname r1");
  store.StoreSetValue("p1", "10.0.0.1", "100", "2", " ip address 10.0.0.1");
  store.StoreSetValue("p1", "10.0.0.1", "100", "4", "after the gap");
  store.StoreSetValue("p1", "10.0.0.1", "100", "5", "!");
  PreviousLines lines = store.CollectPreviousLines("p1", "10.0.0.1");
  EXPECT_EQ(lines, (PreviousLines{{"hostname r1", "1"}, {" ip address 10.0.0.1", "2"}}));

  // Lines of an older scan and empty lines are left out; a repeated text keeps the later number.
  store.StoreSetValue("p1", "10.0.0.1", "100", "3", "hostname r1");
  store.StoreSetValue("p1", "10.0.0.1", "90", "2", " stale");
  lines = store.CollectPreviousLines("p1", "10.0.0.1");
  EXPECT_EQ(lines, (PreviousLines{{"hostname r1", "3"}, {"after the gap", "4"}, {"!", "5"}}));
  EXPECT_TRUE(store.CollectPreviousLines("p1", "10.0.0.9").empty());
}

TEST_F(DataStore, ScanStatusIsSavedAtEachStepAndTheDatabaseReloads) {
  store.SetScanRecord("p1", "10.0.0.1", "r1", "Collecting Information...");
  store.BeginScanStatus(1765274400, "p1", 254);
  auto running = ReadScanDatabaseFile(store.ScanDatabasePath());
  ASSERT_TRUE(running);
  EXPECT_EQ(running->header.m_strScanStatus, "Running");
  EXPECT_EQ(running->header.m_strScanStart, "1765274400");
  EXPECT_TRUE(running->map.empty());
  EXPECT_EQ(running->header.m_strScanPool, "p1");
  EXPECT_EQ(running->header.m_strScanTotal, "254");
  EXPECT_TRUE(store.ScanRunning());
  // Device statuses reach the file once the last save is old enough, and at the end.
  store.SetScanRecord("p1", "10.0.0.2", "r2", "No response from device");
  store.NoteScanChange();
  store.SaveScanChangesWhenDue(std::chrono::minutes(1));
  EXPECT_TRUE(ReadScanDatabaseFile(store.ScanDatabasePath())->map.empty());
  store.SaveScanChangesWhenDue(std::chrono::milliseconds(0));
  EXPECT_TRUE(ReadScanDatabaseFile(store.ScanDatabasePath())->map.Contains("p1/10.0.0.2"));
  store.SetScanRecord("p1", "10.0.0.1", "r1", "Finished without changes");
  store.FinishScanStatus();
  auto finished = ReadScanDatabaseFile(store.ScanDatabasePath());
  ASSERT_TRUE(finished);
  EXPECT_EQ(finished->header.m_strScanPool, "p1");
  EXPECT_EQ(finished->header.m_strScanTotal, "254");
  EXPECT_EQ(finished->header.m_strScanStatus, "Finished");
  EXPECT_EQ(finished->map.Find("p1/10.0.0.1")->m_strStatus, "Finished without changes");
  // A scan begun within the second of the previous one starts a second later.
  store.BeginScanStatus(1765274400, "p2", 3);
  EXPECT_EQ(ReadScanDatabaseFile(store.ScanDatabasePath())->header.m_strScanStart, "1765274401");
  store.FinishScanStatus();

  ServiceDataStore again(temp.path());
  again.LoadDatabase();
  CDbQuery record;
  again.WithDatabases(
      [](DeviceDatabaseMap& devices, ScanDatabaseMap&) { EXPECT_TRUE(devices.Contains("p1/10.0.0.1")); });
}

TEST_F(DataStore, MissingDatabaseLoadsEmptyWithoutWaiting) {
  testing_support::TempFolder empty;
  ServiceDataStore fresh(empty.path());
  platform::RetryPolicy policy;
  int pauses = 0;
  policy.sleep = [&](std::chrono::milliseconds) { ++pauses; };
  fresh.LoadDatabase(policy);
  EXPECT_EQ(pauses, 0);
  fresh.WithDatabases([](DeviceDatabaseMap& devices, ScanDatabaseMap&) { EXPECT_TRUE(devices.empty()); });
}

TEST(OrderedFileWriter, AnOlderSnapshotNeverReplacesANewerOne) {
  testing_support::TempFolder temp;
  OrderedFileWriter writer(temp / "Mirvale.sdb");
  auto older = writer.Take("older");
  auto newer = writer.Take("newer");
  EXPECT_TRUE(writer.Write(std::move(newer)));
  EXPECT_FALSE(writer.Write(std::move(older)));
  EXPECT_EQ(platform::ReadWholeFile(temp / "Mirvale.sdb"), "newer");
}

// Over its bound, a device first loses the values its last scan did not return, oldest first,
// then the previous values of the others; within it, nothing.
TEST(DeviceBytesBound, StaleValuesGoFirstOldestFirstThenPreviousValues) {
  CDbItem device;
  auto add = [&](const std::string& key, const std::string& time, const std::string& previous) {
    CDbQuery& value = device.m_pQueries.FindOrAdd(key);
    value.m_strKey = key;
    value.m_strTime = time;
    value.m_strValue = std::string(100, 'v');
    value.m_strPrevValue = previous;
  };
  add("a", "900", "");
  add("b", "100", "");
  add("c", "1000", std::string(100, 'p'));
  add("d", "1000", std::string(100, 'p'));
  const size_t all = StoredBytes(device);
  EXPECT_FALSE(KeepWithinBound(device, "1000", all).Any());

  DeviceTrim trim = KeepWithinBound(device, "1000", all - 1);
  EXPECT_EQ(trim.staleValues, 1u);
  EXPECT_FALSE(device.m_pQueries.Contains("b")) << "the oldest goes first";
  EXPECT_TRUE(device.m_pQueries.Contains("a"));

  trim = KeepWithinBound(device, "1000", StoredBytes(device) - 150);
  EXPECT_EQ(trim.staleValues, 1u);
  EXPECT_EQ(trim.previousValues, 1u);
  EXPECT_EQ(device.m_pQueries.size(), 2u) << "the last scan's values stay";
  EXPECT_EQ(device.m_pQueries.Find("c")->m_strPrevValue, "");
  EXPECT_EQ(device.m_pQueries.Find("d")->m_strPrevValue, std::string(100, 'p'));
}

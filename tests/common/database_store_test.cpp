// The database files on disk: the service's single-attempt writes and its start-up read, and
// the desktop program's store with its loads, copies, look-ups and removals.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "common/database_files.h"
#include "common/desktop_database_store.h"
#include "platform/atomic_file.h"
#include "tests/common/counting_retry_policy.h"
#include "tests/common/record_samples.h"
#include "tests/support/aside_copies.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;
using namespace record_samples;
using testing_support::AsideCopies;
using testing_support::ScopedEnv;
using testing_support::TempFolder;

namespace {

class StoreTest : public ::testing::Test {
 protected:
  void WriteBoth() {
    ASSERT_TRUE(SaveDeviceDatabaseFile(folder / "Mirvale.db", SampleDeviceDatabase()));
    ScanDatabase scan = SampleScanDatabase();
    ASSERT_TRUE(SaveScanDatabaseFile(folder / "Mirvale.sdb", scan.header, scan.map));
  }

  TempFolder folder;
  CountingPolicy counting;
  DesktopDatabaseStore store{folder.path(), counting.policy()};
};

}  // namespace

TEST(ServiceDatabaseFiles, SavedFilesReadBack) {
  TempFolder folder;
  ASSERT_TRUE(SaveDeviceDatabaseFile(folder / "Mirvale.db", SampleDeviceDatabase()));
  EXPECT_EQ(ReadDeviceDatabaseFile(folder / "Mirvale.db"), SampleDeviceDatabase());
  ScanDatabase scan = SampleScanDatabase();
  ASSERT_TRUE(SaveScanDatabaseFile(folder / "Mirvale.sdb", scan.header, scan.map));
  EXPECT_EQ(ReadScanDatabaseFile(folder / "Mirvale.sdb"), scan);
  EXPECT_FALSE(SaveDeviceDatabaseFile("/nonexistent/mirvale/Mirvale.db", {}));
}

TEST(ServiceDatabaseFiles, ReadFailuresTellMissingFromMalformed) {
  TempFolder folder;
  ReadFailure failure;
  EXPECT_FALSE(ReadDeviceDatabaseFile(folder / "Mirvale.db", &failure));
  EXPECT_FALSE(failure.malformed);
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.db", "\x01"));
  EXPECT_FALSE(ReadDeviceDatabaseFile(folder / "Mirvale.db", &failure));
  EXPECT_TRUE(failure.malformed);
}

TEST(ServiceDatabaseFiles, StartupLoadMovesAnUnparsableFileAside) {
  TempFolder folder;
  ScopedEnv eventLog("MIRVALE_EVENTLOG", folder / "events.log");
  std::string good = EncodeDeviceDatabase(SampleDeviceDatabase());
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.db", good.substr(0, good.size() / 2)));
  CountingPolicy counting;
  DeviceDatabaseMap map;
  EXPECT_FALSE(ServiceLoadDeviceDatabase(folder / "Mirvale.db", map, counting.policy()));
  EXPECT_EQ(counting.pauses, 4);
  EXPECT_TRUE(map.empty());
  EXPECT_FALSE(std::filesystem::exists(folder / "Mirvale.db"));
  EXPECT_EQ(AsideCopies(folder.path(), "Mirvale.db").size(), 1u);
  EXPECT_NE(platform::ReadWholeFile(folder / "events.log").value_or("").find("Mirvale.db"), std::string::npos);
}

TEST(ServiceDatabaseFiles, StartupLoadMovesAFileThatCannotBeOpenedAside) {
  TempFolder folder;
  ScopedEnv eventLog("MIRVALE_EVENTLOG", folder / "events.log");
  std::filesystem::create_directory(folder / "Mirvale.db");
  CountingPolicy counting;
  DeviceDatabaseMap map;
  EXPECT_FALSE(ServiceLoadDeviceDatabase(folder / "Mirvale.db", map, counting.policy()));
  auto aside = AsideCopies(folder.path(), "Mirvale.db");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(aside[0]));
  EXPECT_TRUE(SaveDeviceDatabaseFile(folder / "Mirvale.db", map));
}

TEST(ServiceDatabaseFiles, StartupLoadOfAMissingFileLeavesNothingBehind) {
  TempFolder folder;
  CountingPolicy counting;
  DeviceDatabaseMap map;
  EXPECT_FALSE(ServiceLoadDeviceDatabase(folder / "Mirvale.db", map, counting.policy()));
  EXPECT_TRUE(AsideCopies(folder.path(), "Mirvale.db").empty());
  ASSERT_TRUE(SaveDeviceDatabaseFile(folder / "Mirvale.db", SampleDeviceDatabase()));
  EXPECT_TRUE(ServiceLoadDeviceDatabase(folder / "Mirvale.db", map, counting.policy()));
  EXPECT_EQ(map, SampleDeviceDatabase());
}

TEST_F(StoreTest, LoadsBothFilesAtTheFirstAttempt) {
  WriteBoth();
  EXPECT_TRUE(store.LoadScanDatabase());
  EXPECT_TRUE(store.LoadDatabase());
  EXPECT_EQ(counting.pauses, 0);
  EXPECT_TRUE(store.ScanLoaded());
  EXPECT_EQ(store.ScanHeader(), SampleScanDatabase().header);
  ScanDatabaseMap scan;
  store.CopyScanMap(scan);
  EXPECT_EQ(scan, SampleScanDatabase().map);
  DeviceDatabaseMap devices;
  store.CopyDatabaseMap(devices);
  EXPECT_EQ(devices, SampleDeviceDatabase());
}

TEST_F(StoreTest, MissingScanDatabaseFailsAfterFiveAttemptsAndKeepsTheMap) {
  WriteBoth();
  ASSERT_TRUE(store.LoadScanDatabase());
  std::filesystem::remove(folder / "Mirvale.sdb");
  EXPECT_FALSE(store.LoadScanDatabase());
  EXPECT_EQ(counting.pauses, 5);
  EXPECT_FALSE(store.ScanLoaded());
  ScanDatabaseMap scan;
  store.CopyScanMap(scan);
  EXPECT_EQ(scan, SampleScanDatabase().map);
}

TEST_F(StoreTest, FailedDeviceLoadLeavesWhatWasInMemory) {
  WriteBoth();
  ASSERT_TRUE(store.LoadDatabase());
  std::string good = EncodeDeviceDatabase(SampleDeviceDatabase());
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.db", good.substr(0, good.size() - 1)));
  EXPECT_FALSE(store.LoadDatabase());
  DeviceDatabaseMap devices;
  store.CopyDatabaseMap(devices);
  EXPECT_EQ(devices, SampleDeviceDatabase());
  // The desktop program never moves or writes the service's files.
  EXPECT_TRUE(AsideCopies(folder.path(), "Mirvale.db").empty());
}

TEST_F(StoreTest, LookupsAndRemovals) {
  WriteBoth();
  ASSERT_TRUE(store.LoadDatabase());
  CDbItem unchanged = SampleDevice("x", "y", 1);
  CDbItem record = unchanged;
  EXPECT_FALSE(store.GetDbItem("core/10.9.9.9", record));
  EXPECT_EQ(record, unchanged);
  EXPECT_TRUE(store.GetDbItem("core/10.0.0.1", record));
  EXPECT_EQ(record, *SampleDeviceDatabase().Find("core/10.0.0.1"));

  EXPECT_FALSE(store.RemoveDbQuery("core/10.0.0.1", "99"));
  EXPECT_FALSE(store.RemoveDbQuery("core/10.0.0.99", "1"));
  DeviceDatabaseMap before;
  store.CopyDatabaseMap(before);
  EXPECT_EQ(before, SampleDeviceDatabase());
  EXPECT_TRUE(store.RemoveDbQuery("core/10.0.0.1", "2"));
  EXPECT_TRUE(store.RemoveDbItem("core/10.0.0.2"));
  EXPECT_FALSE(store.RemoveDbItem("core/10.0.0.2"));

  DeviceDatabaseMap after;
  store.CopyDatabaseMap(after);
  EXPECT_EQ(after.size(), 3u);
  EXPECT_EQ(after.Find("core/10.0.0.1")->m_pQueries.size(), 2u);
  // The copies taken earlier are whole.
  EXPECT_EQ(before, SampleDeviceDatabase());
  EXPECT_EQ(record.m_pQueries.size(), 3u);
}

TEST_F(StoreTest, CopyOverwritesKeysTheDestinationHeld) {
  WriteBoth();
  ASSERT_TRUE(store.LoadDatabase());
  DeviceDatabaseMap destination;
  destination.Set("core/10.0.0.1", CDbItem{});
  destination.Set("other/1.1.1.1", CDbItem{});
  store.CopyDatabaseMap(destination);
  EXPECT_EQ(destination.size(), 5u);
  EXPECT_EQ(*destination.Find("core/10.0.0.1"), *SampleDeviceDatabase().Find("core/10.0.0.1"));
}

TEST_F(StoreTest, ConcurrentLoadsAndCopiesSeeWholeDatabases) {
  WriteBoth();
  ASSERT_TRUE(store.LoadDatabase());
  DeviceDatabaseMap bigger = SampleDeviceDatabase();
  bigger.Set("core/10.0.0.4", SampleDevice("core", "10.0.0.4", 4));
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i) {
      SaveDeviceDatabaseFile(folder / "Mirvale.db", i % 2 ? bigger : SampleDeviceDatabase());
      store.LoadDatabase();
    }
  });
  for (int i = 0; i < 200; ++i) {
    DeviceDatabaseMap copy;
    store.CopyDatabaseMap(copy);
    ASSERT_TRUE(copy == bigger || copy == SampleDeviceDatabase());
  }
  writer.join();
}

#include <gtest/gtest.h>

#include "service/store/prune_database.h"

using namespace mirvale;

namespace {

class Prune : public ::testing::Test {
 protected:
  Prune() {
    CPoolItem& pool = settings.m_mapPools.FindOrAdd("core");
    pool.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5").m_strOid = "1.3.6.1.2.1.1.5";
    AddEntry("10.0.0.0", "255.255.255.0");
  }
  void AddEntry(const std::string& address, const std::string& mask) {
    CDeviceItem& item = settings.m_mapPools.Find("core")->m_pDevices.FindOrAdd(address);
    item.m_strAddress = address;
    item.m_strMask = mask;
  }
  CDbItem& Device(const std::string& pool, const std::string& address) {
    CDbItem& item = devices.FindOrAdd(DeviceKey(pool, address));
    item.m_strPool = pool;
    item.m_strAddress = address;
    CScanDbItem& line = scans.FindOrAdd(DeviceKey(pool, address));
    line.m_strPool = pool;
    line.m_strAddress = address;
    return item;
  }
  CMirvaleDoc settings;
  DeviceDatabaseMap devices;
  ScanDatabaseMap scans;
};

}  // namespace

TEST_F(Prune, RemovedPoolsAndAddressesLeaveBothDatabases) {
  Device("core", "10.0.0.7");
  Device("gone", "10.0.0.7");
  Device("core", "10.0.1.7");
  PruneRecords(devices, scans, settings);
  EXPECT_EQ(devices.size(), 1u);
  EXPECT_TRUE(devices.Contains("core/10.0.0.7"));
  EXPECT_EQ(scans.size(), 1u);
  EXPECT_TRUE(scans.Contains("core/10.0.0.7"));

  settings.m_mapPools.Find("core")->m_pDevices.Remove("10.0.0.0");
  PruneRecords(devices, scans, settings);
  EXPECT_TRUE(devices.empty());
  EXPECT_TRUE(scans.empty());
}

TEST_F(Prune, RemovedQueriesLoseTheirValuesButShellLinesStay) {
  CDbItem& device = Device("core", "10.0.0.7");
  device.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5.0").m_strQueryOid = "1.3.6.1.2.1.1.5";
  device.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.1.0").m_strQueryOid = "1.3.6.1.2.1.1.1";
  device.m_pQueries.FindOrAdd("1").m_strValue = "hostname r1";
  PruneRecords(devices, scans, settings);
  const CDbItem* kept = devices.Find("core/10.0.0.7");
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->m_pQueries.Contains("1.3.6.1.2.1.1.5.0"));
  EXPECT_FALSE(kept->m_pQueries.Contains("1.3.6.1.2.1.1.1.0"));
  EXPECT_TRUE(kept->m_pQueries.Contains("1"));
}

TEST_F(Prune, ACollectAllPoolKeepsItsValuesAlsoThoseStoredUnderTheOldIdentifier) {
  CPoolItem& pool = *settings.m_mapPools.Find("core");
  pool.m_bAllQueries = 1;
  pool.m_pQueries.clear();
  CDbItem& device = Device("core", "10.0.0.7");
  device.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5.0");
  device.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.1.0").m_strQueryOid = "1";
  device.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.4.0").m_strQueryOid = "1.3.6.1.2.1.1.4";
  PruneRecords(devices, scans, settings);
  EXPECT_EQ(devices.Find("core/10.0.0.7")->m_pQueries.size(), 2u);
  EXPECT_FALSE(devices.Find("core/10.0.0.7")->m_pQueries.Contains("1.3.6.1.2.1.1.4.0"));
}

TEST_F(Prune, NetworksGivenWithHostBitsKeepWhatTheScanCoversAndNamesCompareAsAllOnes) {
  settings.m_mapPools.Find("core")->m_pDevices.clear();
  AddEntry("10.0.0.77", "255.255.255.0");  // scanned as 10.0.0.1 .. 10.0.0.254
  Device("core", "10.0.0.1");
  Device("core", "10.0.0.76");
  Device("core", "10.0.0.254");
  Device("core", "10.0.1.1");
  Device("core", "router.example");
  PruneRecords(devices, scans, settings);
  EXPECT_TRUE(devices.Contains("core/10.0.0.1"));
  EXPECT_TRUE(devices.Contains("core/10.0.0.76"));
  EXPECT_TRUE(scans.Contains("core/10.0.0.76"));
  EXPECT_TRUE(devices.Contains("core/10.0.0.254"));
  EXPECT_FALSE(devices.Contains("core/10.0.1.1"));
  EXPECT_FALSE(devices.Contains("core/router.example"));

  // A pool listing any device by name keeps every named record of the pool.
  AddEntry("switch.example", "255.255.255.255");
  Device("core", "router.example");
  PruneRecords(devices, scans, settings);
  EXPECT_TRUE(devices.Contains("core/router.example"));
  EXPECT_TRUE(scans.Contains("core/router.example"));
}

TEST_F(Prune, AScatteredMaskPrunesNothingItMightCover) {
  settings.m_mapPools.Find("core")->m_pDevices.clear();
  AddEntry("10.5.7.0", "255.0.255.0");
  Device("core", "10.5.7.9");
  Device("core", "10.0.7.1");
  Device("core", "10.5.8.9");
  PruneRecords(devices, scans, settings);
  EXPECT_TRUE(devices.Contains("core/10.5.7.9"));
  EXPECT_TRUE(devices.Contains("core/10.0.7.1"));
  EXPECT_FALSE(devices.Contains("core/10.5.8.9"));
}

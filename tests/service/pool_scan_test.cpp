#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "service/scanning/mirvale_scan.h"
#include "service/scanning/pool_address_list.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;

namespace {

CPoolItem PoolOf(std::vector<std::pair<std::string, std::string>> entries) {
  CPoolItem pool;
  for (const auto& [address, mask] : entries) {
    CDeviceItem& item = pool.m_pDevices.FindOrAdd(address);
    item.m_strAddress = address;
    item.m_strMask = mask;
  }
  return pool;
}

std::vector<std::string> Addresses(const CPoolItem& pool) {
  std::vector<std::string> out;
  ForEachPoolAddress(pool, [&](const std::string& address) {
    out.push_back(address);
    return true;
  });
  EXPECT_EQ(out.size(), CountPoolAddresses(pool));
  return out;
}

}  // namespace

TEST(PoolAddressList, NetworksExpandWithoutNetworkAndBroadcast) {
  auto list = Addresses(PoolOf({{"192.168.1.0", "255.255.255.0"}}));
  ASSERT_EQ(list.size(), 254u);
  EXPECT_EQ(list.front(), "192.168.1.1");
  EXPECT_EQ(list.back(), "192.168.1.254");
  list = Addresses(PoolOf({{"192.168.1.128", "255.255.255.192"}}));
  ASSERT_EQ(list.size(), 62u);
  EXPECT_EQ(list.front(), "192.168.1.129");
  EXPECT_EQ(list.back(), "192.168.1.190");
  EXPECT_EQ(Addresses(PoolOf({{"router.example", "255.255.255.255"}})), std::vector<std::string>{"router.example"});
  EXPECT_TRUE(Addresses(PoolOf({{"10.0.0.0", "255.255.255.254"}, {"10.0.0.0", "bad"}})).empty());
  // Host bits in the network text are cleared: each host of the network is listed once.
  EXPECT_EQ(Addresses(PoolOf({{"10.0.0.5", "255.255.255.252"}})), (std::vector<std::string>{"10.0.0.5", "10.0.0.6"}));
  list = Addresses(PoolOf({{"10.0.0.77", "255.255.255.0"}}));
  ASSERT_EQ(list.size(), 254u);
  EXPECT_EQ(std::set<std::string>(list.begin(), list.end()).size(), 254u);
  EXPECT_EQ(list.front(), "10.0.0.1");
  // An address that two entries give is scanned and counted once, by the first entry in the
  // map's (text) order.
  EXPECT_EQ(
      Addresses(PoolOf({{"10.0.0.0", "255.255.255.248"},
                        {"10.0.0.3", "255.255.255.255"},
                        {"10.0.0.7", "255.255.255.255"},
                        {"10.0.0.10", "255.255.255.255"},
                        {"10.0.0.8", "255.255.255.248"}})),
      (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5", "10.0.0.6", "10.0.0.10",
                                "10.0.0.7", "10.0.0.9", "10.0.0.11", "10.0.0.12", "10.0.0.13", "10.0.0.14"}));
}

TEST(PoolAddressList, BigNetworksAreCountedAndWalkedInOrder) {
  CPoolItem pool = PoolOf({{"10.1.0.0", "255.255.0.0"}});
  EXPECT_EQ(CountPoolAddresses(pool), 65534u);
  std::string previous;
  uint64_t seen = 0;
  ForEachPoolAddress(pool, [&](const std::string& address) {
    if (seen == 0) {
      EXPECT_EQ(address, "10.1.0.1");
    }
    ++seen;
    previous = address;
    return true;
  });
  EXPECT_EQ(seen, 65534u);
  EXPECT_EQ(previous, "10.1.255.254");
  EXPECT_EQ(CountPoolAddresses(PoolOf({{"10.0.0.0", "0.0.0.0"}})), 4294967294u);
}

namespace {

class PoolScan : public ::testing::Test {
 protected:
  PoolScan() {
    jobs.deviceScan = [this](CMirvaleFrm&, const DeviceScanJob& job) {
      std::unique_lock lock(mutex);
      started.push_back(job.address);
      maxRunning = std::max(maxRunning, ++running);
      changed.notify_all();
      changed.wait(lock, [&] { return released > 0; });
      --released;
      --running;
      changed.notify_all();
    };
  }

  void Settings(const CPoolItem& pool) {
    CMirvaleDoc doc;
    doc.m_mapPools.Set("core", pool);
    ASSERT_TRUE(platform::WriteFileAtomically(temp / "Mirvale.ini", EncodeSettings(doc)));
  }
  void WaitUntilStarted(size_t count) {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return started.size() >= count; }));
  }
  void Release(int count) {
    std::lock_guard lock(mutex);
    released += count;
    changed.notify_all();
  }

  testing_support::TempFolder temp;
  ServiceJobs jobs;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> started;
  int running = 0;
  int maxRunning = 0;
  int released = 0;
};

}  // namespace

TEST_F(PoolScan, AtMostSixtyFourDevicesAtOnceAndASlotIsReused) {
  CPoolItem pool = PoolOf({{"10.0.0.0", "255.255.255.128"}});  // 126 addresses
  Settings(pool);
  auto stop = std::make_shared<ManualEvent>();
  CMirvaleFrm frm(temp.path(), temp.path(), stop, jobs);
  std::thread worker([&] { frm.Run(); });
  ASSERT_TRUE(frm.WaitUntilLoaded());
  std::thread scan([&] { CMirvaleScan(frm, {false, "core", "alice", std::make_shared<ManualEvent>()}).Run(); });
  WaitUntilStarted(64);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(started.size(), 64u) << "the 65th waits for a free slot";
  }
  Release(1);
  WaitUntilStarted(65);
  Release(1000);
  scan.join();
  EXPECT_EQ(maxRunning, kMaxDeviceThreads);
  EXPECT_EQ(started.size(), 126u);
  auto header = frm.Data().ScanHeader();
  EXPECT_EQ(header.m_strScanStatus, "Finished");
  EXPECT_EQ(header.m_strScanPool, "core");
  EXPECT_EQ(header.m_strScanTotal, "126");
  EXPECT_FALSE(frm.Data().ScanRunning());
  stop->Set();
  worker.join();
}

TEST_F(PoolScan, StopAfterTheThirdStartLeavesThreeDeviceScans) {
  auto scanStop = std::make_shared<ManualEvent>();
  std::atomic<int> devices{0};
  ServiceJobs counting;
  counting.deviceScan = [&](CMirvaleFrm&, const DeviceScanJob& job) {
    EXPECT_EQ(job.user, "alice");
    EXPECT_EQ(job.pool, "core");
    EXPECT_TRUE(job.poolSettings);
    ++devices;
  };
  CMirvaleFrm frm(temp.path(), temp.path(), std::make_shared<ManualEvent>(), counting);
  int starts = 0;
  frm.Threads().ObserveStarts([&](const std::string& name) {
    if (name == "CConfigurationDevice" && ++starts == 3) scanStop->Set();
  });
  frm.UpdateSettings([](CMirvaleDoc& doc) { doc.m_mapPools.Set("core", PoolOf({{"10.0.0.0", "255.255.255.0"}})); });
  CMirvaleScan(frm, {false, "core", "alice", scanStop}).Run();
  frm.Threads().WaitForAll(std::chrono::seconds(10));
  EXPECT_EQ(devices.load(), 3);
  EXPECT_EQ(frm.Data().ScanHeader().m_strScanStatus, "Finished");
}

// Code 137 stops every scan asked for and not yet ended: the running one, those waiting behind
// it, automatic ones too; a scan asked for after it runs on.
TEST_F(PoolScan, AStopReachesEveryScanNotYetEnded) {
  std::vector<ScanRequest> requests;
  std::mutex seen;
  ManualEvent release;
  ServiceJobs holding;
  holding.poolScan = [&](CMirvaleFrm&, const ScanRequest& request) {
    {
      std::lock_guard lock(seen);
      requests.push_back(request);
    }
    release.Wait();
  };
  CMirvaleFrm frm(temp.path(), temp.path(), std::make_shared<ManualEvent>(), holding);
  frm.StopScan();  // no scan yet: nothing to signal
  frm.StartScan(false, "core", "alice");
  frm.StartScan(false, "edge", "bob");
  frm.StartScan(true, "night", "System");
  auto count = [&] {
    std::lock_guard lock(seen);
    return requests.size();
  };
  while (count() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  frm.StopScan();
  frm.StartScan(false, "later", "carol");
  while (count() < 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  release.Set();
  frm.Threads().WaitForAll(std::chrono::seconds(10));
  for (const auto& request : requests) EXPECT_EQ(request.stopScan->IsSet(), request.pool != "later") << request.pool;
}

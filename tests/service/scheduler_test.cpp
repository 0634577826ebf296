#include <map>

#include <gtest/gtest.h>

#include "service/host/auto_scan_scheduler.h"
#include "service/host/mirvale_frm.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;

namespace {

// Local time is UTC here. 2026-12-07 is a Monday.
constexpr std::time_t kMonday0000 = 1796601600;
constexpr std::time_t kHour = 3600;
constexpr std::time_t kDay = 24 * kHour;

class Scheduler : public ::testing::Test {
 protected:
  Scheduler() { settings.m_bAutoScan = 1; }
  void Entry(const std::string& pool, uint32_t hour, uint32_t day, uint32_t enabled = 1) {
    CAutoScanItem& item = settings.m_mapAutoScan.FindOrAdd(pool);
    item.m_bEnabled = enabled;
    item.m_strPool = pool;
    item.m_nHour = hour;
    item.m_nDay = day;
  }
  // Ticks every step seconds over [from, to); the pools started, each with its tick time.
  std::vector<std::pair<std::time_t, std::string>> Run(std::time_t from, std::time_t to, std::time_t step = 10) {
    std::vector<std::pair<std::time_t, std::string>> started;
    for (std::time_t now = from; now < to; now += step)
      for (const auto& pool : scheduler.DuePools(settings, now)) started.emplace_back(now, pool);
    return started;
  }
  testing_support::ScopedEnv tz{"TZ", "UTC"};
  CMirvaleDoc settings;
  AutoScanScheduler scheduler;
};

}  // namespace

TEST_F(Scheduler, FirstTickOfEachMatchingHourOnlyAcrossDays) {
  ASSERT_EQ(LocalWeekday([] { std::tm t{}; std::time_t m = kMonday0000; gmtime_r(&m, &t); return t; }()), 1);
  Entry("daily", 14, 0);
  Entry("late", 23, 0);
  Entry("early", 0, 0);
  // Ticks drifting 10..11 s apart over three days never skip or repeat an hour.
  auto started = Run(kMonday0000 + 5, kMonday0000 + 3 * kDay, 11);
  std::map<std::string, int> count;
  for (const auto& [when, pool] : started) {
    std::time_t intoDay = (when - kMonday0000) % kDay;
    std::time_t hour = pool == "daily" ? 14 : pool == "late" ? 23 : 0;
    EXPECT_GE(intoDay, hour * kHour) << pool;
    EXPECT_LT(intoDay, hour * kHour + 11) << pool << " starts on the hour's first tick";
    ++count[pool];
  }
  EXPECT_EQ(count, (std::map<std::string, int>{{"daily", 3}, {"early", 3}, {"late", 3}}));
}

TEST_F(Scheduler, WeekdaysRunMondayOneToSundaySeven) {
  Entry("monday", 9, 1);
  Entry("sunday", 9, 7);
  Entry("off", 9, 0, /*enabled=*/0);
  auto started = Run(kMonday0000, kMonday0000 + 7 * kDay, 600);
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0], std::make_pair(kMonday0000 + 9 * kHour, std::string("monday")));
  EXPECT_EQ(started[1], std::make_pair(kMonday0000 + 6 * kDay + 9 * kHour, std::string("sunday")));
}

TEST_F(Scheduler, FirstTickChecksAtOnceAndOffLeavesTheHourUnchecked) {
  Entry("daily", 14, 0);
  settings.m_bAutoScan = 0;
  EXPECT_TRUE(scheduler.DuePools(settings, kMonday0000 + 14 * kHour + 1800).empty());
  settings.m_bAutoScan = 1;
  EXPECT_EQ(scheduler.DuePools(settings, kMonday0000 + 14 * kHour + 1810), std::vector<std::string>{"daily"});
  EXPECT_TRUE(scheduler.DuePools(settings, kMonday0000 + 14 * kHour + 1820).empty());
  settings.m_bAutoScan = 0;
  settings.m_bAutoScan = 1;
  EXPECT_TRUE(scheduler.DuePools(settings, kMonday0000 + 14 * kHour + 3599).empty()) << "never twice in one hour";
}

TEST_F(Scheduler, MainWorkerTickStartsAutomaticScansAsSystem) {
  testing_support::TempFolder temp;
  std::vector<ScanRequest> scans;
  std::mutex mutex;
  ServiceJobs jobs;
  jobs.poolScan = [&](CMirvaleFrm&, const ScanRequest& request) {
    std::lock_guard lock(mutex);
    scans.push_back(request);
  };
  auto stop = std::make_shared<ManualEvent>();
  CMirvaleFrm frm(temp.path(), temp.path(), stop, jobs);
  Entry("a", 14, 0);
  Entry("b", 14, 0);
  frm.UpdateSettings([&](CMirvaleDoc& doc) { doc = settings; });
  frm.Tick(kMonday0000 + 14 * kHour + 5);
  frm.Tick(kMonday0000 + 14 * kHour + 15);
  frm.Threads().WaitForAll(std::chrono::seconds(10));
  ASSERT_EQ(scans.size(), 2u);
  for (const auto& scan : scans) {
    EXPECT_TRUE(scan.automatic);
    EXPECT_EQ(scan.user, "System");
    ASSERT_TRUE(scan.stopScan);
    EXPECT_FALSE(scan.stopScan->IsSet());
  }
}

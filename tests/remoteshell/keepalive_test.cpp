#include "remoteshell/core/keepalive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "base/tick.h"
#include "base/timers.h"

namespace {

std::atomic<uint64_t> fake_now{0x4000000000ull};
uint64_t fake_clock() { return fake_now.load(); }

std::vector<int> specials;
void record_special(void*, int code) { specials.push_back(code); }

SessionBackend recording_backend() {
  SessionBackend backend{};
  backend.send_special = record_special;
  return backend;
}

class KeepAliveTest : public testing::Test {
 protected:
  void SetUp() override {
    tick_source_override(&fake_clock);
    specials.clear();
  }
  void TearDown() override { tick_source_override(nullptr); }
  void advance_seconds(int seconds) {
    fake_now += static_cast<uint64_t>(seconds) * 1000;
    timers_run_due(nullptr);
  }
  SessionConfig with_interval(int seconds) {
    SessionConfig config{};
    config.ping_interval = seconds;
    return config;
  }
  SessionBackend backend_ = recording_backend();
};

TEST_F(KeepAliveTest, ZeroIntervalNeverSends) {
  SessionConfig off = with_interval(0);
  size_t timers = timer_count();
  KeepAlive* keepalive = keepalive_new(&off, &backend_, nullptr);
  EXPECT_EQ(timer_count(), timers);
  advance_seconds(3600);
  EXPECT_TRUE(specials.empty());
  keepalive_free(keepalive);
}

TEST_F(KeepAliveTest, SendsEveryIntervalUntilFreed) {
  SessionConfig every_minute = with_interval(60);
  size_t timers = timer_count();
  KeepAlive* keepalive = keepalive_new(&every_minute, &backend_, nullptr);
  advance_seconds(59);
  EXPECT_TRUE(specials.empty());
  advance_seconds(1);
  EXPECT_EQ(specials, std::vector<int>{kSpecialKeepAlive});
  advance_seconds(60);
  EXPECT_EQ(specials.size(), 2u);
  keepalive_free(keepalive);  // its timers go with it
  EXPECT_EQ(timer_count(), timers);
  advance_seconds(120);
  EXPECT_EQ(specials.size(), 2u);
}

TEST_F(KeepAliveTest, ShorterIntervalMovesTheNextEarlierLongerKeepsIt) {
  SessionConfig sixty = with_interval(60);
  SessionConfig thirty = with_interval(30);
  KeepAlive* keepalive = keepalive_new(&sixty, &backend_, nullptr);
  uint32_t first_due = keepalive->due;
  keepalive_reconfigure(keepalive, &sixty, &thirty);
  EXPECT_TRUE(tick_is_before(keepalive->due, first_due));
  advance_seconds(30);
  EXPECT_EQ(specials.size(), 1u);
  keepalive_free(keepalive);

  keepalive = keepalive_new(&thirty, &backend_, nullptr);
  uint32_t early = keepalive->due;
  keepalive_reconfigure(keepalive, &thirty, &sixty);
  EXPECT_EQ(keepalive->due, early);
  advance_seconds(30);
  EXPECT_EQ(specials.size(), 2u);
  advance_seconds(30);  // the stale 60-second timer finds nothing due
  EXPECT_EQ(specials.size(), 2u);
  advance_seconds(30);
  EXPECT_EQ(specials.size(), 3u);
  keepalive_free(keepalive);
}

}  // namespace

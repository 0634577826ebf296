#include "base/timers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/tick.h"

namespace {

// A clock that tests move by hand; it only goes forward, as the monotonic clock does. Its
// start leaves the 32-bit tick 256 ms before its wrap.
std::atomic<uint64_t> fake_now{0x2FFFFFF00ull};
uint64_t fake_clock() { return fake_now.load(); }

std::vector<std::string> fired;
void record(void* context, uint32_t) { fired.push_back(static_cast<const char*>(context)); }

class Timers : public testing::Test {
 protected:
  void SetUp() override {
    tick_source_override(&fake_clock);
    fired.clear();
  }
  void TearDown() override {
    for (auto* context : contexts_) timer_expire_context(context);
    tick_source_override(nullptr);
  }
  void* context(const char* name) {
    contexts_.push_back(const_cast<char*>(name));
    return contexts_.back();
  }
  std::vector<char*> contexts_;
};

TEST_F(Timers, RunInDueOrderAcrossTheTickWrap) {
  fake_now = (fake_now.load() | 0xFFFFFFFFull) + 1 + 0xFFFFFF00ull;  // 256 ms before a wrap
  uint32_t late = timer_schedule(600, record, context("late"));
  uint32_t early = timer_schedule(100, record, context("early"));
  uint32_t wrapped = timer_schedule(300, record, context("wrapped"));
  EXPECT_GT(early, 0xFFFFFF00u);
  EXPECT_LT(wrapped, 0x100u);  // the tick wrapped, the order must not
  EXPECT_TRUE(tick_is_before(early, wrapped));
  EXPECT_TRUE(tick_is_before(wrapped, late));

  uint32_t next = 0;
  ASSERT_TRUE(timers_run_due(&next));
  EXPECT_TRUE(fired.empty());
  EXPECT_EQ(next, early);

  fake_now += 350;
  EXPECT_TRUE(timers_run_due(&next));
  EXPECT_EQ(fired, (std::vector<std::string>{"early", "wrapped"}));
  EXPECT_EQ(next, late);

  fake_now += 300;
  timers_run_due(&next);
  EXPECT_EQ(fired, (std::vector<std::string>{"early", "wrapped", "late"}));
}

TEST_F(Timers, EqualRequestsInTheSameMillisecondLeaveOneTimer) {
  size_t before = timer_count();
  void* same = context("same");
  EXPECT_EQ(timer_schedule(50, record, same), timer_schedule(50, record, same));
  EXPECT_EQ(timer_count(), before + 1);
  timer_schedule(50, record, context("other"));
  EXPECT_EQ(timer_count(), before + 2);
}

TEST_F(Timers, ZeroDelayIsOneTickAfterTheLastRunAtTheEarliest) {
  timers_run_due(nullptr);
  uint32_t run_tick = tick_count();
  EXPECT_EQ(timer_schedule(0, record, context("zero")), run_tick + 1);
  timers_run_due(nullptr);
  EXPECT_TRUE(fired.empty());
  fake_now += 1;
  timers_run_due(nullptr);
  EXPECT_EQ(fired, std::vector<std::string>{"zero"});
}

void reschedule_self(void* context, uint32_t) {
  fired.push_back("again");
  timer_schedule(0, reschedule_self, context);
}

TEST_F(Timers, ACallbackThatReschedulesRunsOncePerTurn) {
  timer_schedule(0, reschedule_self, context("self"));
  fake_now += 5;
  timers_run_due(nullptr);
  EXPECT_EQ(fired.size(), 1u);
  fake_now += 5;
  timers_run_due(nullptr);
  EXPECT_EQ(fired.size(), 2u);
}

TEST_F(Timers, ExpiringAContextRemovesOnlyItsTimers) {
  void* gone = context("gone");
  void* kept = context("kept");
  size_t before = timer_count();
  timer_schedule(10, record, gone);
  timer_schedule(20, record, gone);
  timer_schedule(30, record, kept);
  timer_expire_context(gone);
  EXPECT_EQ(timer_count(), before + 1);
  fake_now += 100;
  timers_run_due(nullptr);
  EXPECT_EQ(fired, std::vector<std::string>{"kept"});
}

}  // namespace

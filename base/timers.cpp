#include "base/timers.h"

#include <functional>
#include <mutex>
#include <set>
#include <tuple>

#include "base/client_notices.h"
#include "base/tick.h"

namespace {

// Due times are kept on the 64-bit clock, so the order never depends on where the 32-bit tick
// wraps; callers see the 32-bit tick.
struct Timer {
  uint64_t due;
  TimerCallback callback;
  void* context;
};

bool timer_compare(const Timer& a, const Timer& b) {
  auto key = [](const Timer& t) {
    return std::make_tuple(t.due, reinterpret_cast<uintptr_t>(t.callback), reinterpret_cast<uintptr_t>(t.context));
  };
  return key(a) < key(b);
}

struct TimerStore {
  std::mutex mutex;
  std::set<Timer, decltype(&timer_compare)> timers{&timer_compare};
  uint64_t last_run = tick_count_64();
};

// Timers belong to the thread that runs them: a conversation's keep-alives are scheduled and
// run on its own session thread, never on another conversation's.
TimerStore& timers_init() {
  thread_local TimerStore store;
  return store;
}

}  // namespace

uint32_t timer_schedule(uint32_t delay_ms, TimerCallback callback, void* context) {
  TimerStore& store = timers_init();
  bool first;
  uint64_t due;
  {
    std::lock_guard lock(store.mutex);
    due = tick_count_64() + delay_ms;
    if (due <= store.last_run) due = store.last_run + 1;
    auto [position, added] = store.timers.insert(Timer{due, callback, context});
    first = added && position == store.timers.begin();
  }
  if (first) frontend_notify(nullptr);
  return static_cast<uint32_t>(due);
}

void timer_expire_context(void* context) {
  TimerStore& store = timers_init();
  std::lock_guard lock(store.mutex);
  std::erase_if(store.timers, [context](const Timer& timer) { return timer.context == context; });
}

bool timers_run_due(uint32_t* next) {
  TimerStore& store = timers_init();
  uint64_t now;
  {
    std::lock_guard lock(store.mutex);
    now = tick_count_64();
    if (now > store.last_run) store.last_run = now;
  }
  for (;;) {
    Timer due_timer;
    {
      std::lock_guard lock(store.mutex);
      if (store.timers.empty() || store.timers.begin()->due > now) {
        if (store.timers.empty()) return false;
        if (next != nullptr) *next = static_cast<uint32_t>(store.timers.begin()->due);
        return true;
      }
      due_timer = *store.timers.begin();
      store.timers.erase(store.timers.begin());
    }
    due_timer.callback(due_timer.context, static_cast<uint32_t>(now));
  }
}

size_t timer_count() {
  TimerStore& store = timers_init();
  std::lock_guard lock(store.mutex);
  return store.timers.size();
}

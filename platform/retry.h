#pragma once
// Shared files may be held by the other program for a moment: access to them is retried,
// 5 attempts 1 second apart. The pause is injectable so tests do not sleep.
#include <chrono>
#include <functional>
#include <thread>

namespace platform {

struct RetryPolicy {
  int attempts = 5;
  std::chrono::milliseconds pause{1000};
  std::function<void(std::chrono::milliseconds)> sleep = [](std::chrono::milliseconds d) {
    std::this_thread::sleep_for(d);
  };
  // Whether the last failed attempt is followed by a pause too.
  bool pauseAfterLast = false;
};

// Calls attempt() until it returns true or the attempts are used up.
template <typename Attempt>
bool Retry(Attempt&& attempt, const RetryPolicy& policy = RetryPolicy{}) {
  for (int i = 0; i < policy.attempts; ++i) {
    if (attempt()) return true;
    if (i + 1 < policy.attempts || policy.pauseAfterLast) policy.sleep(policy.pause);
  }
  return false;
}

}  // namespace platform

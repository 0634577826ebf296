#pragma once
// Polls a condition until it holds or the time limit passes: for what a real service or peer
// brings about in its own time.
#include <chrono>
#include <thread>

namespace testing_support {

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds limit = std::chrono::seconds(30),
             std::chrono::milliseconds interval = std::chrono::milliseconds(20)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(interval);
  }
  return true;
}

}  // namespace testing_support

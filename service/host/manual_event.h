#pragma once
// A manual-reset event: once set it stays set, and every waiter wakes. Held by shared_ptr
// where a thread may still wait on it after its creator has replaced it.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace mirvale {

class ManualEvent {
 public:
  void Set() {
    {
      std::lock_guard lock(mutex_);
      set_ = true;
    }
    changed_.notify_all();
  }

  // Makes the event wait again (a manual-reset event stays set until reset).
  void Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
  }

  bool IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
  }

  // True when the event is set within the timeout.
  template <typename Rep, typename Period>
  bool WaitFor(std::chrono::duration<Rep, Period> timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
  }

  void Wait() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace mirvale

#pragma once
// The service's detached worker threads (scans, devices, actions, exports, requests) are
// counted here, so that a stopping service can wait for them a bounded time instead of letting
// them race the process's exit. A thread that cannot be created is logged and its work dropped.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

namespace mirvale {

class WorkerThreads {
 public:
  WorkerThreads() = default;
  // Waits for the threads still running: they use this object when they end.
  ~WorkerThreads() { WaitUntilNoneRuns(); }
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Runs work on a new detached thread; false (after an event-log warning naming the thread)
  // when the thread cannot be created.
  bool Start(const std::string& name, std::function<void()> work);

  // Waits until every started thread has ended or the timeout passed; true when none runs.
  bool WaitForAll(std::chrono::milliseconds timeout);

  void WaitUntilNoneRuns();

  int Running() const;

  // Test seams: makes Start fail as if the system had no thread left; observes each start on
  // the starting thread, before the new thread runs.
  void SimulateCreationFailure(bool fail) { simulateFailure_ = fail; }
  void ObserveStarts(std::function<void(const std::string& name)> observer) { observer_ = std::move(observer); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable allEnded_;
  int running_ = 0;
  bool simulateFailure_ = false;
  std::function<void(const std::string& name)> observer_;
};

}  // namespace mirvale

#include "service/host/worker_threads.h"

#include <system_error>
#include <thread>

#include "service/host/service_log.h"

namespace mirvale {

bool WorkerThreads::Start(const std::string& name, std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    ++running_;
  }
  try {
    if (simulateFailure_) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    if (observer_) observer_(name);
    std::thread([this, work = std::move(work)] {
      try {
        work();
      } catch (const std::exception& error) {
        LogServiceWarning(std::string("Worker thread failed: ") + error.what());
      } catch (...) {
        LogServiceWarning("Worker thread failed");
      }
      std::lock_guard lock(mutex_);
      if (--running_ == 0) allEnded_.notify_all();
    }).detach();
    return true;
  } catch (const std::exception&) {  // no thread left, or no memory for one
    {
      std::lock_guard lock(mutex_);
      if (--running_ == 0) allEnded_.notify_all();
    }
    LogServiceWarning("Could not start thread " + name);
    return false;
  }
}

bool WorkerThreads::WaitForAll(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return allEnded_.wait_for(lock, timeout, [this] { return running_ == 0; });
}

void WorkerThreads::WaitUntilNoneRuns() {
  std::unique_lock lock(mutex_);
  allEnded_.wait(lock, [this] { return running_ == 0; });
}

int WorkerThreads::Running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

}  // namespace mirvale

#pragma once
// AwaitWithoutFreezing: runs work that may wait on the service (a commit, a control code; up to
// the control time-out when the service hangs) or on systemd (a systemctl call behind a polkit
// authentication) on a thread of its own, and waits for it in a local event loop that keeps the
// windows painting while user input waits. Called off the GUI thread (or without an
// application), it simply runs the work.
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <optional>
#include <thread>

namespace mirvale {

template <typename Work>
auto AwaitWithoutFreezing(Work&& work) -> decltype(work()) {
  QCoreApplication* qt = QCoreApplication::instance();
  if (!qt || QThread::currentThread() != qt->thread()) return work();
  std::optional<decltype(work())> result;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result.emplace(work());
    done.store(true, std::memory_order_release);
  });
  // The loop looks at the flag rather than being quit by an event the worker posts: the result
  // then passes between the threads through one atomic the race detector also sees.
  QEventLoop loop;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, &loop, [&] {
    if (done.load(std::memory_order_acquire)) loop.quit();
  });
  look.start(5);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  return std::move(*result);
}

}  // namespace mirvale

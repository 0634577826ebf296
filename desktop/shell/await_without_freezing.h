#pragma once
// AwaitWithoutFreezing: runs work that may wait on the service (a commit, a control code; up to
// the control time-out when the service hangs) on a thread of its own, and waits for it in a
// local event loop that keeps the windows painting while user input waits. Called off the GUI
// thread (or without an application), it simply runs the work.
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <optional>
#include <thread>

namespace mirvale {

template <typename Work>
auto AwaitWithoutFreezing(Work&& work) -> decltype(work()) {
  QCoreApplication* qt = QCoreApplication::instance();
  if (!qt || QThread::currentThread() != qt->thread()) return work();
  std::optional<decltype(work())> result;
  QEventLoop loop;
  std::thread worker([&] {
    result.emplace(work());
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  return std::move(*result);
}

}  // namespace mirvale

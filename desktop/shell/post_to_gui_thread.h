#pragma once
// PostToGuiThread: runs work later on the GUI thread, unless the object it belongs to is gone by
// then. The work crosses threads through a queue under a mutex of our own, which the race detector
// sees, and not inside a Qt event: Qt is not built for the detector, so a function object that a
// worker hands over in an event looks like a race to it.
#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <mutex>

namespace mirvale {

// Call from any thread; owner must live on the GUI thread.
void PostToGuiThread(QObject* owner, std::function<void()> work);

// The queue behind PostToGuiThread (one, on the GUI thread).
class GuiThreadPostBox : public QObject {
  Q_OBJECT

 public:
  void Add(QObject* owner, std::function<void()> work);

  Q_INVOKABLE void Drain();

 private:
  struct Posted {
    QPointer<QObject> owner;
    std::function<void()> work;
  };
  std::mutex lock_;
  std::deque<Posted> queue_;
};

}  // namespace mirvale

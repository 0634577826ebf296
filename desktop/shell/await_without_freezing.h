#pragma once
// AwaitWithoutFreezing: runs work that may wait on the service (a commit, a control code; each
// attempt bounded by the control time-out) or on systemd (a systemctl call behind a polkit
// authentication) on a thread of its own, and waits for it in a local event loop, so the windows
// keep painting and answering the window manager. Called off the GUI thread (or without an
// application), it simply runs the work.
//
// Given the widgets whose next step depends on the answer, the rest of the program stays in use
// meanwhile (a click on another pane is taken at once): only those widgets drop the user's input
// and show the busy cursor. Given none, all user input waits, as for a modal step.
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <initializer_list>
#include <optional>
#include <thread>
#include <vector>

namespace mirvale {

// Drops the user's input to the given widgets and their children, and shows the busy cursor
// over them, for the scope of the object.
class WaitingWidgets : public QObject {
 public:
  explicit WaitingWidgets(std::initializer_list<QWidget*> widgets) {
    for (QWidget* widget : widgets) {
      if (!widget) continue;
      widgets_.emplace_back(widget);
      hadCursor_.push_back(widget->testAttribute(Qt::WA_SetCursor) ? std::optional(widget->cursor()) : std::nullopt);
      widget->setCursor(Qt::BusyCursor);
    }
    qApp->installEventFilter(this);
  }
  ~WaitingWidgets() override {
    qApp->removeEventFilter(this);
    for (size_t i = 0; i < widgets_.size(); ++i) {
      if (!widgets_[i]) continue;
      if (hadCursor_[i])
        widgets_[i]->setCursor(*hadCursor_[i]);
      else
        widgets_[i]->unsetCursor();
    }
  }
  WaitingWidgets(const WaitingWidgets&) = delete;
  WaitingWidgets& operator=(const WaitingWidgets&) = delete;

  bool Empty() const { return widgets_.empty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::ShortcutOverride: break;
      default: return false;
    }
    if (!watched->isWidgetType()) return false;
    auto* target = static_cast<QWidget*>(watched);
    for (const QPointer<QWidget>& widget : widgets_)
      if (widget && (widget == target || widget->isAncestorOf(target))) return true;
    return false;
  }

 private:
  std::vector<QPointer<QWidget>> widgets_;
  std::vector<std::optional<QCursor>> hadCursor_;
};

template <typename Work>
auto AwaitWithoutFreezing(Work&& work, std::initializer_list<QWidget*> waiting = {}) -> decltype(work()) {
  QCoreApplication* qt = QCoreApplication::instance();
  if (!qt || QThread::currentThread() != qt->thread()) return work();
  std::optional<decltype(work())> result;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result.emplace(work());
    done.store(true, std::memory_order_release);
  });
  WaitingWidgets gate(waiting);
  // The loop looks at the flag rather than being quit by an event the worker posts: the result
  // then passes between the threads through one atomic the race detector also sees.
  QEventLoop loop;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, &loop, [&] {
    if (done.load(std::memory_order_acquire)) loop.quit();
  });
  look.start(5);
  // A quit of the program ends the loop early: the work is still waited for, within its bounds.
  loop.exec(gate.Empty() ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
  worker.join();
  return std::move(*result);
}

}  // namespace mirvale

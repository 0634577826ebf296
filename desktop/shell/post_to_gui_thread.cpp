#include "desktop/shell/post_to_gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace mirvale {

void GuiThreadPostBox::Add(QObject* owner, std::function<void()> work) {
  {
    std::lock_guard lock(lock_);
    queue_.push_back({QPointer<QObject>(owner), std::move(work)});
  }
  // Invoked by name: the event that carries the call is Qt's own, holding nothing of ours.
  QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void GuiThreadPostBox::Drain() {
  std::deque<Posted> due;
  {
    std::lock_guard lock(lock_);
    due.swap(queue_);
  }
  for (Posted& posted : due)
    if (posted.owner) posted.work();
}

void PostToGuiThread(QObject* owner, std::function<void()> work) {
  // Made on first use from the GUI thread or moved there, and kept to the end of the program.
  static GuiThreadPostBox* box = [] {
    auto* made = new GuiThreadPostBox;
    made->moveToThread(QCoreApplication::instance()->thread());
    return made;
  }();
  box->Add(owner, std::move(work));
}

}  // namespace mirvale

#include "desktop/results/set_restore_job.h"

#include <QApplication>
#include <QTimer>
#include <set>

#include "desktop/results/configuration_restore_thread.h"
#include "desktop/results/configuration_wait.h"
#include "desktop/shell/await_without_freezing.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/wait_cursor.h"
#include "platform/service_control.h"

namespace mirvale {
namespace {

bool SignalStartRestore(const CMirvaleApp& app, QWidget* parent) {
  const auto timeout = app.Options().controlTimeout;
  return AwaitWithoutFreezing(
      [timeout] {
        auto status =
            platform::SendServiceControl(platform::ControlStartRestore, platform::ControlSocketPath(), timeout);
        return status && *status == platform::kControlDone;
      },
      {parent ? parent->window() : nullptr});
}

}  // namespace

bool SetRestoreJob(CMirvaleApp& app, QWidget* parent, const std::vector<RestoreRequest>& requests) {
  WaitCursor cursor;
  std::set<std::string> keys;
  app.WithDocument([&](CMirvaleDoc& doc) {
    doc.m_mapRestore.clear();
    for (const auto& request : requests) {
      doc.m_mapRestore.Set(request.key, request.item);
      keys.insert(request.key);
    }
  });
  // The requests go on top of the current settings, whatever another member changed.
  if (!app.Commit({parent ? parent->window() : nullptr}, CMirvaleApp::OnConflict::KeepMine)) {
    ShowInformation(parent, app.CommitFailure());
    return false;
  }
  if (!SignalStartRestore(app, parent)) {
    ShowInformation(parent, QStringLiteral("Service failed, please check your access permissions."));
    return false;
  }
  CConfigurationWait wait(parent);
  CConfigurationRestoreThread follower(app, keys, app.Options().restorePoll);
  QObject::connect(&follower, &CConfigurationRestoreThread::followingEnded, &wait, &CConfigurationWait::CloseByFollower,
                   Qt::QueuedConnection);
  // The follower starts only once the dialog's modal loop runs, so its end always finds the
  // dialog open; the follower object outlives the dialog's loop and is waited for on return.
  QTimer::singleShot(0, &wait, [&follower] { follower.start(); });
  wait.exec();
  follower.wait();
  // The document changes on this thread only: the follower's last whole read replaces it.
  if (auto read = follower.TakeDocument()) app.TakeReadSettings(std::move(*read));
  return true;
}

}  // namespace mirvale

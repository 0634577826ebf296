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

// What the user is told when the wait ended before every request had its result.
const char* UnfinishedWaitText(FollowingEnd end) {
  switch (end) {
    case FollowingEnd::ServiceStopped:
      return "The service stopped before every request had its result: the requests without one were not carried out, "
             "or only in part.";
    case FollowingEnd::ServiceSilent:
      return "The service does not answer, so the wait for the results ended: the requests without one may still be "
             "carried out when it answers again.";
    case FollowingEnd::Stopped:
      return "Stopped waiting for the results: the requests without one may still be carried out by the service.";
    case FollowingEnd::Answered: break;
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> KeysOf(const std::vector<RestoreRequest>& requests) {
  std::vector<std::string> keys;
  for (const auto& request : requests) keys.push_back(request.key);
  return keys;
}

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
  QObject::connect(&wait, &CConfigurationWait::stopRequested, &wait, [&follower] { follower.Stop(); });
  // The follower starts only once the dialog's modal loop runs, so its end always finds the
  // dialog open; the follower object outlives the dialog's loop and is waited for on return,
  // without freezing the windows when the user stopped waiting (it ends within its bounds).
  QTimer::singleShot(0, &wait, [&follower] { follower.start(); });
  wait.exec();
  AwaitWithoutFreezing([&follower] { return follower.wait(); });
  // The document changes on this thread only: the follower's last whole read replaces it.
  if (auto read = follower.TakeDocument()) app.TakeReadSettings(std::move(*read));
  if (const char* text = UnfinishedWaitText(follower.End())) {
    ShowInformation(parent, QString::fromLatin1(text));
    return false;
  }
  return true;
}

}  // namespace mirvale

#include "desktop/results/configuration_restore_thread.h"

#include <cerrno>

#include "common/request_result.h"
#include "common/settings_file.h"
#include "common/status_texts.h"
#include "desktop/shell/mirvale_app.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"

namespace mirvale {
namespace {

// A service that answers nothing this long (hung, or busy with another member's long request)
// is given up on.
constexpr std::chrono::seconds kServiceSilence{30};

}  // namespace

bool AnyRequestPending(const CMirvaleDoc& doc, const std::set<std::string>& keys) {
  for (const auto& key : keys) {
    const CRestoreItem* request = doc.m_mapRestore.Find(key);
    if (request && request->m_strResult.empty()) return true;
  }
  return false;
}

bool RequestSucceeded(const CMirvaleDoc& doc, const std::string& key) {
  const CRestoreItem* request = doc.m_mapRestore.Find(key);
  return request && request->m_strResult == kRequestSuccessful;
}

std::string WithFailureReasons(const std::string& message, const CMirvaleDoc& doc,
                               const std::vector<std::string>& keys) {
  std::string text = message;
  for (const auto& key : keys) {
    const CRestoreItem* request = doc.m_mapRestore.Find(key);
    if (!request) continue;
    const std::string_view reason = RequestFailureReason(request->m_strResult);
    if (!reason.empty()) text += "\n" + request->m_strAddress + ": " + std::string(reason);
  }
  return text;
}

CConfigurationRestoreThread::CConfigurationRestoreThread(CMirvaleApp& app, std::set<std::string> keys,
                                                         std::chrono::milliseconds pause, QObject* parent)
    : QThread(parent), app_(app), keys_(std::move(keys)), pause_(pause) {}

CConfigurationRestoreThread::~CConfigurationRestoreThread() {
  Stop();
  wait();
}

void CConfigurationRestoreThread::Stop() {
  {
    std::lock_guard lock(stopLock_);
    stop_ = true;
  }
  stopAsked_.notify_all();
}

bool CConfigurationRestoreThread::Pause() {
  std::unique_lock lock(stopLock_);
  return !stopAsked_.wait_for(lock, pause_, [this] { return stop_; });
}

FollowingEnd CConfigurationRestoreThread::AskService() {
  const std::string socket = platform::ControlSocketPath();
  const auto state =
      platform::SendServiceControl(platform::kControlInterrogate, socket, app_.Options().controlTimeout);
  const auto now = std::chrono::steady_clock::now();
  if (state == static_cast<uint32_t>(platform::ServiceState::Running) ||
      state == static_cast<uint32_t>(platform::ServiceState::StartPending)) {
    lastAnswer_ = now;
    return FollowingEnd::Answered;
  }
  // A service that stops still writes the results of what it carried out: the last read shows them.
  if (state == static_cast<uint32_t>(platform::ServiceState::Stopped)) return FollowingEnd::ServiceStopped;
  if (state) return FollowingEnd::Answered;  // stopping: it is still to write what it did
  // Unanswered: down when nothing listens; a full backlog (EAGAIN) is a hung service.
  const bool listening = platform::ConnectUnixStream(socket, /*nonBlocking=*/true) || errno == EAGAIN;
  if (!listening) return FollowingEnd::ServiceStopped;
  return now - lastAnswer_ >= kServiceSilence ? FollowingEnd::ServiceSilent : FollowingEnd::Answered;
}

void CConfigurationRestoreThread::run() {
  // The results the caller reads are those of a read made after the last poll that found
  // nothing pending, or after the service was found gone.
  lastAnswer_ = std::chrono::steady_clock::now();
  bool pending = true;
  auto ending = FollowingEnd::Answered;
  for (;;) {
    CMirvaleDoc fresh;
    if (!DesktopLoadSettings(fresh, app_.ProgramFolder(), app_.Options().fileRetry)) {
      settingsRead_ = false;
      break;
    }
    latest_ = std::move(fresh);
    if (!pending) break;
    if (ending != FollowingEnd::Answered) {
      if (AnyRequestPending(*latest_, keys_)) end_ = ending;
      break;
    }
    if (!Pause()) {
      end_ = FollowingEnd::Stopped;
      break;
    }
    pending = AnyRequestPending(*latest_, keys_);
    if (pending) ending = AskService();
    // What a stopping service wrote last is read after one more pause.
    if (ending != FollowingEnd::Answered && !Pause()) {
      end_ = FollowingEnd::Stopped;
      break;
    }
  }
  app_.Store().LoadDatabase();
  emit followingEnded();
}

}  // namespace mirvale

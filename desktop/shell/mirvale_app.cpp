#include "desktop/shell/mirvale_app.h"

#include <QMetaObject>
#include <cerrno>
#include <cstring>

#include <pwd.h>
#include <unistd.h>

#include "common/settings_file.h"
#include "desktop/shell/await_without_freezing.h"
#include "desktop/shell/notice_listener.h"
#include "desktop/shell/post_to_gui_thread.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/service_access.h"
#include "platform/folders.h"
#include "platform/notice_socket.h"
#include "platform/operator_group.h"
#include "platform/service_control.h"

namespace mirvale {
namespace {

std::string CurrentUserName() {
  if (const passwd* entry = getpwuid(geteuid())) return entry->pw_name;
  return platform::GetEnv("USER").value_or("");
}

// The service's files are the operators' alone: an outsider's tries would only delay its message.
platform::RetryPolicy FileRetryOf(const AppOptions& options) {
  if (platform::ProcessIsOperator()) return options.fileRetry;
  platform::RetryPolicy once = options.fileRetry;
  once.attempts = 1;
  return once;
}

}  // namespace

CMirvaleApp::CMirvaleApp(AppOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      m_strProgramFolder(platform::ProgramFolder()),
      m_strDataFolder(platform::DataFolder(/*create=*/true)),
      m_strUserName(CurrentUserName()),
      m_store(m_strProgramFolder, options_.fileRetry) {
  LoadSettings();
}

CMirvaleApp::~CMirvaleApp() {
  {
    std::lock_guard lock(listenerLock_);
    listener_.reset();
  }
  if (serviceQuestion_.joinable()) serviceQuestion_.join();
}

bool CMirvaleApp::LoadSettings() {
  CMirvaleDoc loaded;
  bool read = DesktopLoadSettings(loaded, m_strProgramFolder, FileRetryOf(options_));
  if (read) WithDocument([&](CMirvaleDoc& doc) { doc = std::move(loaded); });
  return read;
}

bool CMirvaleApp::Commit(std::initializer_list<QWidget*> waiting) {
  CMirvaleDoc snapshot = WithDocument([](CMirvaleDoc& doc) { return doc; });
  const auto timeout = options_.controlTimeout;
  const std::string folder = m_strDataFolder;
  const platform::RetryPolicy retry = options_.fileRetry;
  const std::string account = m_strUserName;
  std::string failure = AwaitWithoutFreezing(
      [snapshot = std::move(snapshot), timeout, folder, retry, account] {
        const bool saved = DesktopSaveSettings(
            snapshot, folder,
            [timeout] {
              auto status =
                  platform::SendServiceControl(platform::ControlReloadSettings, platform::ControlSocketPath(), timeout);
              return status && *status == platform::kControlDone;
            },
            retry);
        return saved ? std::string() : SettingsFailureText(account);
      },
      waiting);
  std::lock_guard lock(refusalLock_);
  commitFailure_ = std::move(failure);
  return commitFailure_.empty();
}

QString CMirvaleApp::CommitFailure() const {
  std::lock_guard lock(refusalLock_);
  return QString::fromStdString(commitFailure_);
}

bool CMirvaleApp::CommitSettings(QWidget* parent, std::initializer_list<QWidget*> waiting) {
  const bool committed = waiting.size() ? Commit(waiting) : Commit({parent ? parent->window() : nullptr});
  if (committed) return true;
  ShowInformation(parent, CommitFailure());
  return false;
}

bool CMirvaleApp::IsServiceRunning() const {
  const bool running = mirvale::IsServiceRunning();
  lastServiceRunning_.store(running);
  return running;
}

void CMirvaleApp::AskServiceRunning(QObject* owner, std::function<void(bool)> answer) {
  waitingForState_.emplace_back(owner, std::move(answer));
  if (waitingForState_.size() > 1) return;
  if (serviceQuestion_.joinable()) serviceQuestion_.join();  // ended: it posted its answer
  serviceQuestion_ = std::thread([this] {
    const bool running = IsServiceRunning();
    PostToGuiThread(this, [this, running] {
      auto waiting = std::exchange(waitingForState_, {});
      for (auto& [asker, reply] : waiting)
        if (asker) reply(running);
    });
  });
}

bool CMirvaleApp::LaunchService() {
  LaunchResult result = mirvale::LaunchService(options_.servicePolling);
  std::lock_guard lock(refusalLock_);
  launchRefusal_ = std::move(result.refusal);
  if (result.running) lastServiceRunning_.store(true);
  return result.running;
}

std::string CMirvaleApp::TakeLaunchRefusal() {
  std::lock_guard lock(refusalLock_);
  return std::exchange(launchRefusal_, {});
}

std::string CMirvaleApp::TakeListenRefusal() {
  std::lock_guard lock(refusalLock_);
  return std::exchange(listenRefusal_, {});
}

void CMirvaleApp::Listen() {
  // Sockets of this account's copies that were killed would only cost the service a connect.
  platform::RemoveOwnStaleNoticeSockets(platform::DataFolder(), geteuid());
  std::string path;
  platform::UniqueFd listening = platform::ListenOwnNoticeSocket(platform::DataFolder(), 0660, NoticeListener::kBacklog, path);
  const std::string failure = listening ? "" : std::strerror(errno);
  listener_ = std::make_unique<NoticeListener>(std::move(listening), path, [this] { ReloadOnNotice(); });
  if (listener_->Listening()) return;
  std::string refusal =
      "Mirvale cannot hear the service's notices, so it will not refresh when a scan ends: " + path + ": " + failure;
  qWarning("%s", refusal.c_str());
  std::lock_guard lock(refusalLock_);
  listenRefusal_ = std::move(refusal);
}

void CMirvaleApp::StartDatabaseThread() {
  m_store.LoadScanDatabase();
  m_store.LoadDatabase();
  {
    // An outsider is told that it cannot use the service at all; no notice could reach it.
    std::lock_guard lock(listenerLock_);
    if (!listener_ && platform::ProcessIsOperator()) Listen();
  }
  PostDatabaseReloaded();
}

void CMirvaleApp::RunStartupLoading() {
  // An outsider cannot reach the service, running or not, nor read its databases: told why at
  // once, and nothing is started or read.
  if (!platform::ProcessIsOperator()) {
    std::lock_guard lock(refusalLock_);
    launchRefusal_ = NotOperatorText(m_strUserName);
    return;
  }
  if (!IsServiceRunning()) LaunchService();
  StartDatabaseThread();
}

bool CMirvaleApp::Listening() const {
  std::lock_guard lock(listenerLock_);
  return listener_ && listener_->Listening();
}

void CMirvaleApp::ReloadOnNotice() {
  // While the Scan pane follows a manual scan it reloads at the scan's end itself.
  bool manualScan = WithDocument([](CMirvaleDoc& doc) { return !doc.m_strScanPool.empty(); });
  if (manualScan) return;
  m_store.LoadDatabase();
  m_store.LoadScanDatabase();
  PostDatabaseReloaded();
}

void CMirvaleApp::PostDatabaseReloaded() {
  PostToGuiThread(this, [this] { emit databaseReloaded(); });
}

}  // namespace mirvale

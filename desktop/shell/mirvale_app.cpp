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
#include "desktop/shell/settings_conflict_question.h"
#include "desktop/shell/settings_merge.h"
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
  if (read) {
    base_ = loaded;
    WithDocument([&](CMirvaleDoc& doc) { doc = std::move(loaded); });
  }
  return read;
}

bool CMirvaleApp::Commit(std::initializer_list<QWidget*> waiting, OnConflict onConflict) {
  // Nothing read meanwhile is loaded under this commit (see OfferServiceSettings).
  struct Committing {
    int& count;
    explicit Committing(int& c) : count(c) { ++count; }
    ~Committing() { --count; }
  } committing(committing_);
  const CMirvaleDoc mine = m_doc;
  const std::string programFolder = m_strProgramFolder;
  const platform::RetryPolicy retry = options_.fileRetry;
  std::optional<CMirvaleDoc> current = AwaitWithoutFreezing(
      [programFolder, retry]() -> std::optional<CMirvaleDoc> {
        // An outsider reads nothing of the service's, and is told so without waiting.
        if (!platform::ProcessIsOperator()) return std::nullopt;
        CMirvaleDoc read;
        if (!DesktopLoadSettings(read, programFolder, retry)) return std::nullopt;
        return read;
      },
      waiting);
  // Settings that cannot be read leave nothing to merge with: the edit is written as it is,
  // and the service's own checks decide.
  CMirvaleDoc snapshot = mine;
  if (current && !(*current == base_)) {
    SettingsMerge merge = MergeSettings(base_, mine, *current);
    QWidget* parent = waiting.size() ? *waiting.begin() : nullptr;
    if (!merge.conflicts.empty() && onConflict == OnConflict::Ask && !AskKeepMineOnTop(parent, merge.conflicts)) {
      {
        std::lock_guard lock(refusalLock_);
        commitFailure_.clear();
      }
      base_ = *current;
      WithDocument([&](CMirvaleDoc& doc) { doc = std::move(*current); });
      skippedSettings_.reset();
      emit settingsReloaded();
      return false;
    }
    snapshot = std::move(merge.merged);
  }
  if (current) base_ = *current;
  const auto timeout = options_.controlTimeout;
  const std::string folder = m_strDataFolder;
  const std::string account = m_strUserName;
  std::string failure = AwaitWithoutFreezing(
      [&snapshot, timeout, folder, retry, account] {
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
  const bool committed = failure.empty();
  if (committed) {
    base_ = snapshot;
    skippedSettings_.reset();
  }
  // The document becomes what was written (or would have been), with whatever changed in it
  // while the service was waited for kept on top.
  WithDocument([&](CMirvaleDoc& doc) { doc = MergeSettings(mine, doc, snapshot).merged; });
  std::lock_guard lock(refusalLock_);
  commitFailure_ = std::move(failure);
  return committed;
}

CMirvaleApp::EditHold::EditHold(CMirvaleApp& app) : app_(app) { ++app_.editHolds_; }

CMirvaleApp::EditHold::~EditHold() {
  if (--app_.editHolds_ == 0 && app_.skippedSettings_) {
    CMirvaleDoc skipped = std::move(*app_.skippedSettings_);
    app_.skippedSettings_.reset();
    app_.OfferServiceSettings(std::move(skipped));
  }
}

bool CMirvaleApp::SettingsUnedited() const { return editHolds_ == 0 && committing_ == 0 && m_doc == base_; }

void CMirvaleApp::TakeReadSettings(CMirvaleDoc read) {
  WithDocument([&](CMirvaleDoc& doc) { doc = MergeSettings(base_, doc, read).merged; });
  base_ = std::move(read);
  emit settingsReloaded();
}

void CMirvaleApp::OfferServiceSettings(CMirvaleDoc current) {
  if (current == base_) return;
  if (!SettingsUnedited()) {
    skippedSettings_ = std::move(current);
    return;
  }
  base_ = current;
  WithDocument([&](CMirvaleDoc& doc) { doc = std::move(current); });
  emit settingsReloaded();
}

QString CMirvaleApp::CommitFailure() const {
  std::lock_guard lock(refusalLock_);
  return QString::fromStdString(commitFailure_);
}

bool CMirvaleApp::CommitSettings(QWidget* parent, std::initializer_list<QWidget*> waiting) {
  const bool committed = waiting.size() ? Commit(waiting) : Commit({parent ? parent->window() : nullptr});
  if (committed) return true;
  if (const QString failure = CommitFailure(); !failure.isEmpty()) ShowInformation(parent, failure);
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
  // While the Scan pane follows this desktop's own manual scan it reloads at the scan's end
  // itself. A scan request in the settings (anyone's, read at any time) never silences this.
  if (!followingScan_.load()) {
    m_store.LoadDatabase();
    m_store.LoadScanDatabase();
    PostDatabaseReloaded();
  }
  // Every notice may follow a change of the settings: another member's, or the service's own.
  CMirvaleDoc current;
  if (!DesktopLoadSettings(current, m_strProgramFolder, options_.fileRetry)) return;
  PostToGuiThread(this, [this, current = std::move(current)]() mutable { OfferServiceSettings(std::move(current)); });
}

void CMirvaleApp::PostDatabaseReloaded() {
  PostToGuiThread(this, [this] { emit databaseReloaded(); });
}

}  // namespace mirvale

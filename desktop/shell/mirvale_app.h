#pragma once
// The desktop program's application object, owned by main(): its folders and user name, the
// settings document, the locked store of both databases, the service check and start, and the
// listener for the service's "Update Database" notice. Every pane reaches these through it.
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/desktop_database_store.h"
#include "common/mirvale_doc.h"
#include "desktop/shell/service_launcher.h"
#include "platform/retry.h"

class QWidget;

namespace mirvale {

class NoticeListener;

struct AppOptions {
  platform::RetryPolicy fileRetry;  // Mirvale.ini, Mirvale.db, Mirvale.sdb: 5 tries 1 s apart
  ServicePolling servicePolling;    // after starting the service: 60 checks 1 s apart
  std::chrono::milliseconds splashDelay{3000};
  // One attempt's wait for the service's answer to a control code: a hung service is given up
  // on within the commit's 5 attempts (about 19 s), never minutes.
  std::chrono::milliseconds controlTimeout{3000};
  std::chrono::milliseconds restorePoll{1000};  // the set/restore follower's pause between reads
};

class CMirvaleApp : public QObject {
  Q_OBJECT
 public:
  // Finds the folders (creating the data folder level by level) and the user name, and reads
  // Mirvale.ini from the program folder.
  explicit CMirvaleApp(AppOptions options = {}, QObject* parent = nullptr);
  ~CMirvaleApp() override;  // stops the notice listener before anything else goes

  const std::string& ProgramFolder() const { return m_strProgramFolder; }
  const std::string& DataFolder() const { return m_strDataFolder; }
  const std::string& UserName() const { return m_strUserName; }
  const AppOptions& Options() const { return options_; }

  // The settings document. Only the GUI thread changes it, always through WithDocument (which
  // holds the document's lock), and reads it directly; another thread reads it only through
  // WithDocument and asks the GUI thread (a queued call) for any change.
  const CMirvaleDoc& Document() const { return m_doc; }
  template <typename Function>
  decltype(auto) WithDocument(Function&& function) {
    std::lock_guard lock(m_csDoc);
    return function(m_doc);
  }

  // Reads Mirvale.ini from the program folder; a file that cannot be read whole leaves the
  // document as it was. What was read is also the base of the next commit.
  bool LoadSettings();

  // How a commit decides what both this user and another member (or the service) changed
  // since this desktop loaded the settings (see MergeSettings): Ask the user whether to keep
  // this edit on top of the current settings or to drop it (Save, a pool's OK), or KeepMine
  // for a request the user just made (Start Scan and its end, a set or restore job).
  enum class OnConflict { Ask, KeepMine };
  // Reads the service's current settings first: when another member or the service changed
  // them since this desktop's base, this user's edit (the document against the base) is merged
  // on top of them, so no stale copy undoes anyone's work. Then writes the result to the data
  // folder and tells the service (control code 134), off the GUI thread while the windows keep
  // painting; a service that cannot be reached or does not answer is tried again, the file
  // written anew each time (the file retry policy's attempts). The waiting widgets drop input
  // meanwhile (see AwaitWithoutFreezing); the first of them is the question's parent. False
  // with an empty CommitFailure when the user dropped the edit: the document then holds the
  // current settings.
  bool Commit(std::initializer_list<QWidget*> waiting = {}, OnConflict onConflict = OnConflict::Ask);
  // Commit, with any failure shown (CommitFailure). The waiting widgets are parent's window when
  // none are given.
  bool CommitSettings(QWidget* parent, std::initializer_list<QWidget*> waiting = {});
  // What the last failed Commit says: "Settings failed, please check your access permissions."
  // and what blocked it when that can be told; empty after one that succeeded or was dropped.
  QString CommitFailure() const;

  // While an editor holds settings the user has not saved yet (a settings pane whose Save is
  // on, a pool dialog), a change of the service's settings is not loaded under it: its commit
  // merges instead. The last hold to end loads what was skipped. GUI thread only.
  class EditHold {
   public:
    explicit EditHold(CMirvaleApp& app);
    ~EditHold();
    EditHold(const EditHold&) = delete;
    EditHold& operator=(const EditHold&) = delete;

   private:
    CMirvaleApp& app_;
  };
  // True while the document holds nothing this user has not committed, and no editor holds any.
  bool SettingsUnedited() const;
  // The service's settings read whole by another part (the set/restore follower): the new
  // base, with whatever the document holds uncommitted kept on top. GUI thread.
  void TakeReadSettings(CMirvaleDoc read);

  // Set while this desktop's Scan pane follows its own manual scan: the service's notices then
  // leave the databases to the follower, which reloads them at the scan's end.
  void SetFollowingScan(bool following) { followingScan_.store(following); }
  bool FollowingScan() const { return followingScan_.load(); }
  // Tells every pane that the store was reloaded (databaseReloaded), as a notice does.
  void AnnounceDatabaseReloaded() { emit databaseReloaded(); }

  // The store of the device and scan databases (its own lock guards every use).
  DesktopDatabaseStore& Store() { return m_store; }
  const DesktopDatabaseStore& Store() const { return m_store; }

  // Waits up to 5 s for a busy service: never on the GUI thread (see AskServiceRunning).
  bool IsServiceRunning() const;
  // The last answer IsServiceRunning gave, at once.
  bool LastKnownServiceRunning() const { return lastServiceRunning_.load(); }
  // Asks on a thread of its own whether the service runs; answer is called on the GUI thread
  // unless owner is gone by then. One question at a time: a question asked while one is out
  // gets the same answer.
  void AskServiceRunning(QObject* owner, std::function<void(bool)> answer);
  // Starts the service and waits for it; a refusal of the service manager is kept for
  // TakeLaunchRefusal, since the start-up loading runs off the GUI thread.
  bool LaunchService();
  // The service manager's words on the last refused start (empty when none), once.
  std::string TakeLaunchRefusal();
  // Why this copy cannot hear the service's notices (empty when it listens), once.
  std::string TakeListenRefusal();
  // Loads the scan database, then the device database, then starts listening for notices.
  void StartDatabaseThread();
  // The start-up loading: starts the service when it does not run (an account outside the
  // operators' group is told so instead, through TakeLaunchRefusal), then StartDatabaseThread.
  // Safe to run off the GUI thread; databaseReloaded follows on the GUI thread.
  void RunStartupLoading();
  bool Listening() const;

 signals:
  // Emitted on the GUI thread after the store was reloaded (start-up and each notice).
  void databaseReloaded();
  // Emitted on the GUI thread after the document was replaced by the service's current
  // settings (another member's save, the service's own writes, an edit dropped).
  void settingsReloaded();

 private:
  void Listen();  // under listenerLock_
  void ReloadOnNotice();  // the listener's thread
  // GUI thread: the service's current settings, read after a notice or a dropped edit; taken
  // as document and base when nothing is unsaved, else kept for when the last hold ends.
  void OfferServiceSettings(CMirvaleDoc current);
  void PostDatabaseReloaded();

  const AppOptions options_;
  std::string m_strProgramFolder;
  std::string m_strDataFolder;
  std::string m_strUserName;
  mutable std::mutex m_csDoc;
  CMirvaleDoc m_doc;
  // The service's settings as this desktop last loaded or committed them: what the document's
  // edit is measured against. GUI thread only.
  CMirvaleDoc base_;
  int editHolds_ = 0;
  int committing_ = 0;
  std::optional<CMirvaleDoc> skippedSettings_;  // newer settings not loaded under an edit
  std::atomic<bool> followingScan_{false};
  DesktopDatabaseStore m_store;
  mutable std::mutex listenerLock_;
  std::unique_ptr<NoticeListener> listener_;
  mutable std::mutex refusalLock_;
  std::string launchRefusal_;
  std::string commitFailure_;
  std::string listenRefusal_;
  mutable std::atomic<bool> lastServiceRunning_{false};
  std::thread serviceQuestion_;
  std::vector<std::pair<QPointer<QObject>, std::function<void(bool)>>> waitingForState_;
};

}  // namespace mirvale

#pragma once
// The service's main worker and the owner of what the service's threads share: the settings,
// the data store, the scan lock, the audit queue and the worker threads. Run ticks until the
// service stops: it flushes the audit log every 60 seconds, starts the automatic scans that
// fall due and takes over a settings file left waiting in the data folder. The control handler calls the other operations.
#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

#include "common/mirvale_doc.h"
#include "service/host/auto_scan_scheduler.h"
#include "service/host/failure_notice.h"
#include "service/host/manual_event.h"
#include "service/host/service_jobs.h"
#include "service/host/worker_threads.h"
#include "service/store/audit_queue.h"
#include "service/store/data_store.h"

namespace mirvale {

struct MainLoopTiming {
  std::chrono::milliseconds tick{10000};
  std::function<std::time_t()> clock = [] { return std::time(nullptr); };
  platform::RetryPolicy loadRetry{};  // for Mirvale.db at the start
};

class CMirvaleFrm {
 public:
  CMirvaleFrm(std::string programFolder, std::string dataFolder, std::shared_ptr<ManualEvent> serviceStop,
              ServiceJobs jobs, MainLoopTiming timing = {});
  CMirvaleFrm(const CMirvaleFrm&) = delete;
  CMirvaleFrm& operator=(const CMirvaleFrm&) = delete;

  // The worker's body: loads the settings (creating Mirvale.ini with defaults when needed) and
  // the device database, then loops until the service's stop event is set; one last audit
  // flush ends it.
  void Run();
  // Control requests wait for the start-up load, so that none works on empty databases; false
  // when the service stops first.
  bool WaitUntilLoaded() const;
  bool Loaded() const { return loaded_.IsSet(); }
  // One tick of the loop at the given time.
  void Tick(std::time_t now);

  // Control requests.
  void StartScan(bool automatic, const std::string& pool, const std::string& user);
  void StopScan();
  void StartRestore();
  // Code 134 from caller: takes over the settings files the caller handed over in the data
  // folder (its Mirvale.ini.<uid> names, and Mirvale.ini when it is the caller's), oldest first,
  // and tells every desktop (the "Update Database" notice); false when there was none to take or
  // each was refused. A file a tick took first is loaded already, so the request still succeeds.
  bool ReloadSettings(uid_t caller = geteuid());
  void PruneDatabase();
  void SendTestMail();
  void FlushAuditLog(std::time_t now);
  // The last flush, once the worker and the threads it started have ended.
  void FlushAuditLogAtStop();

  // For the worker threads.
  std::shared_ptr<const CMirvaleDoc> Settings() const;
  // Changes the settings (copy, change, save Mirvale.ini, publish, notice to the desktops);
  // serialised with reloads.
  bool UpdateSettings(const std::function<void(CMirvaleDoc&)>& change);
  ServiceDataStore& Data() { return data_; }
  AuditQueue& Audit() { return audit_; }
  WorkerThreads& Threads() { return threads_; }
  std::mutex& ScanLock() { return m_csScan; }
  const ManualEvent& ServiceStop() const { return *serviceStop_; }
  const ServiceJobs& Jobs() const { return jobs_; }
  // Hooks that start each action on a worker thread of its own.
  const ActionHooks& ActionStarters() const { return actionStarters_; }
  // Starts the export threads asked for; each runs only when its switch is still on then.
  void StartExports(bool text, bool database);
  // Starts the exports whose switches are on now.
  void StartEnabledExports();
  const std::string& ProgramFolder() const { return m_strProgramFolder; }
  const std::string& DataFolder() const { return m_strDataFolder; }
  std::time_t Now() const { return timing_.clock(); }

 private:
  void Load();
  // At the start and on every tick: the settings files waiting in the data folder, every
  // account's, are taken over (or set aside when refused), as code 134 would.
  void TakeWaitingSettings();
  // Takes the waiting files (only that account's, when given); the paths taken, in order.
  std::vector<std::string> TakeHandedOverSettings(std::optional<uid_t> only);
  bool TakeSettingsFile(const std::string& path, std::optional<uid_t> account);
  ActionHooks MakeActionStarters();
  void ForgetScanStop(const std::shared_ptr<ManualEvent>& stop);

  const std::string m_strProgramFolder;
  const std::string m_strDataFolder;
  std::shared_ptr<ManualEvent> serviceStop_;
  ServiceJobs jobs_;
  MainLoopTiming timing_;

  ServiceDataStore data_;
  AuditQueue audit_;
  std::mutex m_csScan;
  AutoScanScheduler scheduler_;
  ActionHooks actionStarters_;

  mutable std::mutex settingsMutex_;    // guards the pointer
  std::mutex settingsChangeMutex_;      // serialises load, reload and updates
  std::shared_ptr<const CMirvaleDoc> m_pDoc;

  // The stop events of every scan asked for and not yet ended, running or waiting for the scan
  // lock, manual or automatic: code 137 stops them all, and a later request adds its own
  // without taking the stop from the earlier ones.
  std::mutex stopScanMutex_;
  std::vector<std::shared_ptr<ManualEvent>> scanStops_;
  std::time_t m_tLastAuditFlush = 0;
  // Set while the settings are the defaults that stood in for a missing or unreadable file:
  // they hold no pools, so a prune would delete every stored device.
  std::atomic<bool> onDefaults_{false};
  FailureNotice settingsNotice_{"Saving the settings"};
  std::mutex auditNoticeMutex_;
  std::string auditFile_;
  std::unique_ptr<FailureNotice> auditNotice_;
  ManualEvent loaded_;

  // Last, so that it is destroyed first: its destructor waits for threads that use the rest.
  WorkerThreads threads_;
};

}  // namespace mirvale

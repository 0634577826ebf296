#include "service/host/mirvale_frm.h"

#include <cerrno>
#include <cstring>

#include "common/settings_file.h"
#include "platform/folders.h"
#include "platform/freed_memory.h"
#include "platform/handover_file.h"
#include "platform/run_account.h"
#include "platform/stored_file.h"
#include "service/actions/action_rules.h"
#include "service/host/service_log.h"
#include "service/host/update_notice.h"
#include "service/scanning/pool_address_list.h"
#include "service/scanning/snmp_boot_counter.h"
#include "service/store/audit_entries.h"
#include "service/store/audit_log.h"
#include "service/store/prune_database.h"

namespace mirvale {

namespace {

AuditLogSettings AuditSettingsOf(const CMirvaleDoc& settings) {
  AuditLogSettings audit;
  audit.forms = AuditFormsOf(settings);
  audit.file = settings.m_strLogFile;
  audit.keep = settings.m_nLogKeep;
  audit.keepUnit = settings.m_nLogKeepUnit;
  return audit;
}

constexpr unsigned kStoredFileMode = 0640;

// Temporary files of saves that a crash cut short are removed, and files an earlier version
// left readable by every account are brought to the operators' group.
void TidyStoredFiles(const std::string& programFolder) {
  const std::vector<std::string> names{kSettingsFileName, kDeviceDatabaseFileName, kScanDatabaseFileName};
  std::vector<std::string> saved = names;
  saved.push_back(snmp_boot_counter::kFileName);
  if (int removed = platform::RemoveSaveLeftovers(programFolder, saved))
    LogServiceMessage("Removed " + std::to_string(removed) + " temporary files that interrupted saves left in " +
                      programFolder);
  for (const auto& name : names) platform::RestrictOwnFile(platform::JoinPath(programFolder, name), kStoredFileMode);
}

bool AuditLogWanted(const CMirvaleDoc& settings) {
  return (settings.m_bScanLog || settings.m_bChangesLog) && !settings.m_strLogFile.empty();
}

}  // namespace

CMirvaleFrm::CMirvaleFrm(std::string programFolder, std::string dataFolder, std::shared_ptr<ManualEvent> serviceStop,
                         ServiceJobs jobs, MainLoopTiming timing)
    : m_strProgramFolder(std::move(programFolder)),
      m_strDataFolder(std::move(dataFolder)),
      serviceStop_(std::move(serviceStop)),
      jobs_(std::move(jobs)),
      timing_(std::move(timing)),
      data_(m_strProgramFolder),
      m_pDoc(std::make_shared<CMirvaleDoc>()) {
  actionStarters_ = MakeActionStarters();
}

ActionHooks CMirvaleFrm::MakeActionStarters() {
  ActionHooks starters;
  if (jobs_.actions.run) {
    starters.run = [this](const RunActionRequest& request) {
      threads_.Start("CConfigurationRunThread", [this, request] { jobs_.actions.run(request); });
    };
  }
  if (jobs_.actions.email) {
    starters.email = [this](const EmailActionRequest& request) {
      threads_.Start("CConfigurationEmailThread", [this, request] { jobs_.actions.email(request); });
    };
  }
  if (jobs_.actions.trap) {
    starters.trap = [this](const TrapActionRequest& request) {
      threads_.Start("CConfigurationTrapThread", [this, request] { jobs_.actions.trap(request); });
    };
  }
  return starters;
}

void CMirvaleFrm::Load() {
  TidyStoredFiles(m_strProgramFolder);
  {
    std::lock_guard change(settingsChangeMutex_);
    auto doc = std::make_shared<CMirvaleDoc>();
    doc->m_strDocName = kServiceVersionText;
    onDefaults_ = ServiceLoadSettings(*doc, m_strProgramFolder) != SettingsLoad::Read;
    // The settings may name any file of the run account: its mode is only ever narrowed.
    if (!doc->m_strLogFile.empty()) platform::RestrictRunAccountFile(doc->m_strLogFile, kStoredFileMode);
    std::lock_guard lock(settingsMutex_);
    m_pDoc = std::move(doc);
  }
  platform::ReturnFreedMemory();
  platform::RetryPolicy retry = timing_.loadRetry;
  retry.sleep = [this](std::chrono::milliseconds pause) { serviceStop_->WaitFor(pause); };
  data_.LoadDatabase(retry);
  TakeWaitingSettings();
}

void CMirvaleFrm::TakeWaitingSettings() {
  // A member's file that no control request took (the service was stopped, or the request was
  // lost) is taken here, every account's in turn, oldest first.
  for (const std::string& path : TakeHandedOverSettings(std::nullopt))
    LogServiceMessage("Took over the settings that waited in " + path);
}

std::vector<std::string> CMirvaleFrm::TakeHandedOverSettings(std::optional<uid_t> only) {
  std::vector<std::string> taken;
  for (const platform::WaitingFile& file : platform::WaitingHandedOverFiles(m_strDataFolder, kSettingsFileName, only)) {
    const std::string path = platform::JoinPath(m_strDataFolder, file.name);
    if (TakeSettingsFile(path, file.account)) taken.push_back(path);
  }
  return taken;
}

bool CMirvaleFrm::WaitUntilLoaded() const {
  while (!loaded_.WaitFor(std::chrono::milliseconds(50))) {
    if (serviceStop_->IsSet()) return false;
  }
  return true;
}

void CMirvaleFrm::Run() {
  Load();
  loaded_.Set();
  while (!serviceStop_->WaitFor(timing_.tick)) Tick(timing_.clock());
  FlushAuditLogAtStop();
}

void CMirvaleFrm::FlushAuditLogAtStop() {
  // Lines queued since the last flush would otherwise be lost with the process.
  if (AuditLogWanted(*Settings())) FlushAuditLog(timing_.clock());
}

void CMirvaleFrm::Tick(std::time_t now) {
  auto settings = Settings();
  if (AuditLogWanted(*settings) && now - m_tLastAuditFlush >= 60) {
    FlushAuditLog(now);
    m_tLastAuditFlush = now;
  }
  for (const auto& pool : scheduler_.DuePools(*settings, now)) StartScan(true, pool, "System");
  data_.SaveFailedFilesAgain();
  TakeWaitingSettings();
  if (settingsNotice_.Failing()) {
    std::lock_guard changing(settingsChangeMutex_);
    platform::RetryPolicy once;
    once.attempts = 1;
    settingsNotice_.Note(ServiceSaveSettings(*Settings(), m_strProgramFolder, once), std::strerror(errno));
  }
}

void CMirvaleFrm::StartScan(bool automatic, const std::string& pool, const std::string& user) {
  if (!jobs_.poolScan) return;
  ScanRequest request{automatic, pool, user, std::make_shared<ManualEvent>()};
  {
    std::lock_guard lock(stopScanMutex_);
    scanStops_.push_back(request.stopScan);
  }
  auto run = [this, request] {
    // The stop is forgotten however the scan ends.
    struct Forget {
      CMirvaleFrm& owner;
      const std::shared_ptr<ManualEvent>& stop;
      ~Forget() { owner.ForgetScanStop(stop); }
    } forget{*this, request.stopScan};
    jobs_.poolScan(*this, request);
  };
  if (!threads_.Start("CMirvaleScan", run)) ForgetScanStop(request.stopScan);
}

void CMirvaleFrm::ForgetScanStop(const std::shared_ptr<ManualEvent>& stop) {
  std::lock_guard lock(stopScanMutex_);
  std::erase(scanStops_, stop);
}

void CMirvaleFrm::StopScan() {
  std::lock_guard lock(stopScanMutex_);
  for (const auto& stop : scanStops_) stop->Set();
}

void CMirvaleFrm::StartRestore() {
  if (!jobs_.restore) return;
  threads_.Start("CConfigurationRestore", [this] { jobs_.restore(*this); });
}

void CMirvaleFrm::StartExports(bool text, bool database) {
  if (text && jobs_.textExport) threads_.Start("CConfigurationExportText", [this] { jobs_.textExport(*this); });
  if (database && jobs_.databaseExport)
    threads_.Start("CConfigurationExportDb", [this] { jobs_.databaseExport(*this); });
}

void CMirvaleFrm::StartEnabledExports() {
  auto settings = Settings();
  StartExports(TextExportOn(*settings), DatabaseExportOn(*settings));
}

bool CMirvaleFrm::ReloadSettings(uid_t caller) {
  // Only the caller's own files: another member's, however many, never delay its answer.
  return !TakeHandedOverSettings(caller).empty();
}

bool CMirvaleFrm::TakeSettingsFile(const std::string& path, std::optional<uid_t> account) {
  bool startText = false;
  bool startDatabase = false;
  {
    std::lock_guard change(settingsChangeMutex_);
    auto bytes = ServiceTakeOverSettings(m_strProgramFolder, path, account);
    if (!bytes) return false;
    // The old settings are let go before the new ones are built, so that a file at every record
    // cap never costs twice its memory; readers wait the moment it takes. A job that still holds
    // the old settings keeps them until it ends.
    std::lock_guard lock(settingsMutex_);
    const bool textBefore = TextExportOn(*m_pDoc);
    const bool databaseBefore = DatabaseExportOn(*m_pDoc);
    m_pDoc.reset();
    m_pDoc = std::make_shared<const CMirvaleDoc>(DecodeSettings(*bytes));
    onDefaults_ = false;
    startText = !textBefore && TextExportOn(*m_pDoc);
    startDatabase = !databaseBefore && DatabaseExportOn(*m_pDoc);
  }
  platform::ReturnFreedMemory();
  // Every desktop learns that the settings changed: one with nothing unsaved loads them, and
  // none commits its older copy over them unmerged.
  SendUpdateNotice();
  StartExports(startText, startDatabase);
  return true;
}

bool CMirvaleFrm::UpdateSettings(const std::function<void(CMirvaleDoc&)>& change) {
  std::lock_guard changing(settingsChangeMutex_);
  auto doc = std::make_shared<CMirvaleDoc>(*Settings());
  change(*doc);
  bool saved = ServiceSaveSettings(*doc, m_strProgramFolder);
  settingsNotice_.Note(saved, std::strerror(errno));
  {
    std::lock_guard lock(settingsMutex_);
    m_pDoc = std::move(doc);
  }
  // The desktops load what the service wrote (restore results) as they load a member's save.
  if (saved) SendUpdateNotice();
  return saved;
}

std::shared_ptr<const CMirvaleDoc> CMirvaleFrm::Settings() const {
  std::lock_guard lock(settingsMutex_);
  return m_pDoc;
}

void CMirvaleFrm::PruneDatabase() {
  if (onDefaults_) {
    LogServiceWarning(
        "Prune skipped: the service runs on default settings because its settings file could not be "
        "read; nothing is deleted until settings are loaded again");
    return;
  }
  auto settings = Settings();
  for (const auto& [name, pool] : settings->m_mapPools) LogScatteredMasks(name, *pool, "prune");
  auto lock = data_.Lock();
  data_.WithDatabases([&](DeviceDatabaseMap& devices, ScanDatabaseMap& scans) {
    PruneRecords(devices, scans, *settings);
  });
  data_.SaveDatabase();
  data_.SaveScanDatabase();
  SendUpdateNotice();
  // The exports start now and wait for the data-store lock until the prune releases it.
  StartEnabledExports();
}

void CMirvaleFrm::SendTestMail() { mirvale::SendTestMail(Settings(), actionStarters_, timing_.clock()); }

void CMirvaleFrm::FlushAuditLog(std::time_t now) {
  AuditLogSettings audit = AuditSettingsOf(*Settings());
  std::string reason;
  bool written = mirvale::FlushAuditLog(audit_, audit, now, reason);
  std::lock_guard lock(auditNoticeMutex_);
  if (!auditNotice_ || auditFile_ != audit.file) {
    auditFile_ = audit.file;
    auditNotice_ = std::make_unique<FailureNotice>("Writing the audit log " + audit.file);
  }
  auditNotice_->Note(written, reason);
}

}  // namespace mirvale

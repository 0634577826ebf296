#include "service/restore/restore_configuration.h"

#include "common/request_result.h"
#include "common/status_texts.h"
#include "service/actions/action_rules.h"
#include "service/host/local_time_text.h"
#include "service/host/mirvale_frm.h"
#include "service/host/service_log.h"
#include "service/scanning/snmp_pool_settings.h"
#include "service/store/audit_entries.h"

namespace mirvale {

CConfigurationRestore::CConfigurationRestore(CMirvaleFrm& owner, RestoreChannels channels)
    : owner_(owner), channels_(std::move(channels)) {}

void CConfigurationRestore::Run() {
  const auto settings = owner_.Settings();
  std::vector<RestoreRequest> requests = PendingRestoreRequests(*settings);
  if (requests.empty()) return;

  std::vector<RestoreRequest> done;
  for (auto& request : requests) {
    // A request the stop kept from being carried out fails now: left pending, its desktop would
    // wait for ever, and a later run would carry it out behind its user's back.
    if (owner_.ServiceStop().IsSet()) {
      request.item.m_strResult = StoppedRequestResult();
      done.push_back(std::move(request));
      continue;
    }
    const std::time_t now = owner_.Now();
    request.item.m_strResult = CarryOut(*settings, request.item, now);
    QueueSetAudit(owner_.Audit(), *owner_.Settings(), now, request.item);
    done.push_back(std::move(request));
  }

  if (!recollection_.empty()) RestoreByCommands(recollection_);
  // The desktop program reloads the device database once every result is in the settings, so
  // the database is written first.
  owner_.Data().SaveDatabase();
  owner_.StartEnabledExports();
  if (!owner_.UpdateSettings([&done](CMirvaleDoc& doc) { MergeRestoreResults(doc, done); }))
    LogServiceWarning("The results of the set and restore requests could not be saved in Mirvale.ini");
}

std::string CConfigurationRestore::CarryOut(const CMirvaleDoc& settings, const CRestoreItem& request,
                                            std::time_t now) {
  const CPoolItem* pool = settings.m_mapPools.Find(request.m_strPool);
  if (!pool) return kRequestFailed;
  bool successful = false;
  std::vector<std::string> rejected;
  if (pool->IsShellPool()) successful = SetByShell(*pool, request, rejected);
  // A request already carried out through the shell is not sent a second time by SNMP.
  if (!successful && pool->IsSnmpPool()) successful = SetBySnmp(*pool, request, now);
  if (successful) return kRequestSuccessful;
  return rejected.empty() ? std::string(kRequestFailed) : RejectedRequestResult(rejected);
}

bool CConfigurationRestore::SetByShell(const CPoolItem& pool, const CRestoreItem& request,
                                       std::vector<std::string>& rejected) {
  if (!channels_.sendShellRequest) {
    LogServiceWarning("The shell request for " + request.m_strAddress + " in pool " + request.m_strPool +
                      " failed: this service has no shell session");
    return false;
  }
  recollection_[request.m_strAddress + "/" + request.m_strName] = request.m_strPool;
  return channels_.sendShellRequest(request.m_strAddress, pool, request, rejected);
}

bool CConfigurationRestore::SetBySnmp(const CPoolItem& pool, const CRestoreItem& request, std::time_t now) {
  if (!channels_.setSnmpValue) return false;
  const SnmpValueSlot slot{request.m_strOid, request.m_strValue};
  if (!channels_.setSnmpValue(request.m_strAddress, SnmpSettingsFromPool(pool), slot)) return false;
  const ActionSubject subject{request.m_strPool, request.m_strAddress, request.m_strName, now};
  // Checked before storing, so that changes-only rules compare with the value stored before.
  CheckQueryActions(owner_.Settings(), owner_.ActionStarters(), owner_.Data(), subject, request.m_strOid,
                    request.m_strQuery, request.m_strValue);
  owner_.Data().StoreSetValue(request.m_strPool, request.m_strAddress, SecondsText(now), request.m_strOid,
                              request.m_strValue);
  return true;
}

void CConfigurationRestore::RestoreByCommands(const RecollectionList& devices) {
  if (!channels_.collectShellLines) return;
  const std::time_t now = owner_.Now();
  const std::string time = SecondsText(now);
  const auto settings = owner_.Settings();
  for (const auto& [device, poolName] : devices) {
    if (owner_.ServiceStop().IsSet()) return;
    const CPoolItem* pool = settings->m_mapPools.Find(poolName);
    if (!pool) continue;
    const size_t slash = device.find('/');
    const std::string address = device.substr(0, slash);
    const std::string name = slash == std::string::npos ? std::string() : device.substr(slash + 1);

    const StoredShellLines collected = channels_.collectShellLines(address, *pool);
    if (const char* failure = ShellFailureStatus(collected)) {
      LogServiceWarning("The configuration of " + address + " in pool " + poolName +
                        " could not be read again after the restore (" + failure + "): what was stored is kept");
      // A stopping service leaves the device's status as it was, as a scan does.
      const bool stopping = collected.cut == ShellCut::ServiceStop;
      owner_.Data().UpdateDevice(poolName, address, "", stopping ? "" : failure);
      continue;
    }
    const ActionSubject subject{poolName, address, name, now};
    owner_.Data().StoreConfigurationLines(poolName, address, time, collected.lines,
                                          [&](const std::string& line, const PreviousLines& previous) {
                                            CheckActions(settings, owner_.ActionStarters(), subject, line, previous);
                                          });
    owner_.Data().UpdateDevice(poolName, address, time, "");
  }
}

}  // namespace mirvale

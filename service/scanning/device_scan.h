#pragma once
// The scan of one address of a running pool scan: finds the device's name, probes it by SNMP,
// falls back to an ICMP echo when it does not answer, records its status in the scan database,
// then walks the pool's queries, storing each value beside its previous one and checking the
// action rules, and records the final status and an audit line.
#include <ctime>
#include <span>
#include <string>

#include "common/mirvale_doc.h"
#include "service/actions/action_requests.h"
#include "service/host/manual_event.h"
#include "service/host/service_jobs.h"
#include "service/scanning/snmp_client.h"
#include "service/scanning/snmp_settings.h"
#include "service/scanning/walk_budget.h"
#include "service/shell_session/shell_session.h"
#include "service/store/audit_queue.h"
#include "service/store/data_store.h"

namespace mirvale {

class CMirvaleFrm;

// What a device scan uses of the service; all outlive the scan.
struct DeviceScanServices {
  ServiceDataStore& data;
  AuditQueue& audit;
  const ActionHooks& actions;
  const ManualEvent& serviceStop;
  CSnmpClient& snmp;
  ShellConversations* shell = nullptr;  // the service's shell conversations; none: no shell probe

  static DeviceScanServices Of(CMirvaleFrm& owner, CSnmpClient& snmp, ShellConversations* shell = nullptr);
};

class CConfigurationDevice {
 public:
  CConfigurationDevice(DeviceScanServices services, DeviceScanJob job);

  void Run();

  // Walks one query; true when any stored value changed.
  bool ProcessQueries(const std::string& name, const std::string& oid, const std::string& queryName);

 private:
  bool Stopping() const { return services_.serviceStop.IsSet(); }
  bool Probe(std::string& name);
  // A stop request (code 137 or the service stopping) ends every walk at its next step.
  bool StopRequested() const;
  // One get-next step of a walk, within the device's walk budget.
  bool WalkStep(std::span<SnmpValueSlot> slots, int prefixArcs);
  // A walk that ended early says why in the event log; the device's status then stays
  // "Collecting Information...", as for a stopping service, not a finish.
  bool WalkCutShort() const { return walkBudget_.End() != WalkEnd::None; }
  std::string WalkInterfaces();
  std::string WalkAddressTable();
  bool EchoAnswers() const;
  // Keeps what the device stores across scans within its bound, and says what it dropped.
  void KeepWithinBound();
  bool CollectQueries(const std::string& name);
  // Stores the device's shell lines; true when any changed. failure: the device's status when
  // no configuration line was read; stopped: a stop request cut the collection short.
  bool CollectShellLines(const std::string& name, const ShellSettings& settings, const char*& failure, bool& stopped);

  DeviceScanServices services_;
  DeviceScanJob job_;
  SnmpSettings snmp_;
  std::time_t scanTime_ = 0;
  WalkBudget walkBudget_;
};

}  // namespace mirvale

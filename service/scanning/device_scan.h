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

// The values one device scan walks at most, over all its walks together: the full tree of a
// large chassis switch (thousands of interfaces with every column of their tables, its address,
// ARP and forwarding tables) is well below it, while an agent that answers for ever costs no
// more than about 50 MB and a few seconds of the scan.
inline constexpr long kMaxWalkValuesPerDevice = 100000;

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
  bool WalkStopped() const;
  // One get-next step of a walk, within the device's share of walked values.
  bool WalkStep(std::span<SnmpValueSlot> slots, int prefixArcs);
  std::string WalkInterfaces();
  std::string WalkAddressTable();
  bool EchoAnswers() const;
  bool CollectQueries(const std::string& name);
  // Stores the device's shell lines; true when any changed. logonFailed tells the outcome.
  bool CollectShellLines(const std::string& name, const ShellSettings& settings, bool& logonFailed);

  DeviceScanServices services_;
  DeviceScanJob job_;
  SnmpSettings snmp_;
  std::time_t scanTime_ = 0;
  long walkValuesLeft_ = kMaxWalkValuesPerDevice;
};

}  // namespace mirvale

#include "service/scanning/device_scan.h"

#include <atomic>
#include <charconv>
#include <chrono>

#include "common/status_texts.h"
#include "platform/event_log.h"
#include "platform/icmp_echo.h"
#include "platform/reverse_lookup.h"
#include "platform/service_control_codes.h"
#include "service/actions/action_rules.h"
#include "service/host/mirvale_frm.h"
#include "service/scanning/device_scan_texts.h"
#include "service/scanning/snmp_pool_settings.h"
#include "service/shell_session/shell_session_channels.h"
#include "service/store/audit_entries.h"

namespace mirvale {
namespace {

constexpr const char* kSysObjectId = "1.3.6.1.2.1.1.2.0";
constexpr const char* kSysName = "1.3.6.1.2.1.1.5.0";
constexpr const char* kIfIndex = "1.3.6.1.2.1.2.2.1.1";
constexpr const char* kIpAdEntAddr = "1.3.6.1.2.1.4.20.1.1";
constexpr const char* kIpAdEntIfIndex = "1.3.6.1.2.1.4.20.1.2";
constexpr int kTablePrefixArcs = 10;
constexpr auto kEchoTimeout = std::chrono::milliseconds(1000);

std::time_t ParseSeconds(const std::string& text) {
  long seconds = 0;
  std::from_chars(text.data(), text.data() + text.size(), seconds);
  return static_cast<std::time_t>(seconds);
}

// Identifies one echo among those of concurrent device scans.
unsigned long NextEchoToken() {
  static std::atomic<unsigned long> token{1};
  return token++;
}

void ReportDeviceEvent(const std::string& text) {
  platform::ReportEvent(platform::kMirvaleServiceName, platform::EventType::Warning, text);
}

}  // namespace

DeviceScanServices DeviceScanServices::Of(CMirvaleFrm& owner, CSnmpClient& snmp, ShellConversations* shell) {
  return DeviceScanServices{owner.Data(), owner.Audit(), owner.ActionStarters(), owner.ServiceStop(), snmp, shell};
}

CConfigurationDevice::CConfigurationDevice(DeviceScanServices services, DeviceScanJob job)
    : services_(services), job_(std::move(job)) {
  if (job_.poolSettings) snmp_ = SnmpSettingsFromPool(*job_.poolSettings);
  scanTime_ = ParseSeconds(job_.scanStart);
}

bool CConfigurationDevice::Probe(std::string& name) {
  if (!job_.poolSettings->IsSnmpPool()) return false;
  SnmpValueSlot identity{kSysObjectId, ""};
  if (!services_.snmp.Request(SnmpRequestMode::Get, job_.address, snmp_, std::span(&identity, 1))) return false;
  if (name.empty()) {
    SnmpValueSlot sysName{kSysName, ""};
    if (services_.snmp.Request(SnmpRequestMode::Get, job_.address, snmp_, std::span(&sysName, 1))) name = sysName.value;
  }
  return true;
}

bool CConfigurationDevice::StopRequested() const { return job_.stopScan && job_.stopScan->IsSet(); }

bool CConfigurationDevice::WalkStep(std::span<SnmpValueSlot> slots, int prefixArcs) {
  auto stopped = [this] { return Stopping() || StopRequested() || walkBudget_.OutOfTime(); };
  if (stopped() || !walkBudget_.MayStep() ||
      !services_.snmp.Request(SnmpRequestMode::GetNext, job_.address, snmp_, slots, prefixArcs, stopped)) {
    walkBudget_.NoteFailedStep(StopRequested(), Stopping());
    return false;
  }
  size_t bytes = 0;
  for (const auto& slot : slots) bytes += slot.oid.size() + slot.value.size();
  walkBudget_.Spend(bytes);
  return true;
}

std::string CConfigurationDevice::WalkInterfaces() {
  std::string interfaces;
  SnmpValueSlot slot{kIfIndex, ""};
  while (WalkStep(std::span(&slot, 1), kTablePrefixArcs)) interfaces += slot.value + ";";
  return interfaces;
}

std::string CConfigurationDevice::WalkAddressTable() {
  std::string addresses;
  SnmpValueSlot pair[2] = {{kIpAdEntAddr, ""}, {kIpAdEntIfIndex, ""}};
  while (WalkStep(pair, kTablePrefixArcs)) {
    const std::string& address = pair[0].value;
    if (address != "0.0.0.0" && address != "127.0.0.1") addresses += address + "/" + pair[1].value + ";";
  }
  return addresses;
}

bool CConfigurationDevice::EchoAnswers() const {
  unsigned long token = NextEchoToken();
  auto reply = platform::IcmpEcho(job_.address, EchoData(token), kEchoTimeout);
  return reply && EchoReplyMatches(*reply, token);
}

bool CConfigurationDevice::ProcessQueries(const std::string& name, const std::string& oid,
                                          const std::string& queryName) {
  bool changed = false;
  int prefixArcs = OidArcCount(oid);
  SnmpValueSlot slot{oid, ""};
  ActionSubject subject{job_.pool, job_.address, name, scanTime_};
  // Values of a pool that collects everything belong to no query: the empty identifier keeps
  // them through a prune.
  const std::string storedOid = snmp_.m_bAllQueries ? std::string() : oid;
  while (WalkStep(std::span(&slot, 1), prefixArcs)) {
    std::string instance = QueryInstanceName(oid, queryName, slot.oid);
    CheckQueryActions(job_.settings, services_.actions, services_.data, subject, slot.oid, instance, slot.value);
    if (services_.data.StoreQueryValue(job_.pool, job_.address, job_.scanStart, slot.oid, storedOid, instance,
                                       slot.value))
      changed = true;
  }
  return changed;
}

bool CConfigurationDevice::CollectQueries(const std::string& name) {
  if (snmp_.m_bAllQueries) return ProcessQueries(name, "1", "");
  bool changed = false;
  for (const auto& [key, query] : job_.poolSettings->m_pQueries) {
    if (WalkCutShort()) break;
    if (ProcessQueries(name, query->m_strOid, query->m_strName)) changed = true;
  }
  return changed;
}

bool CConfigurationDevice::CollectShellLines(const std::string& name, const ShellSettings& settings,
                                             const char*& failure, bool& stopped) {
  StoredShellLines stored = CollectStoredShellLines(*services_.shell, job_.address, settings, job_.stopScan.get());
  stopped = stored.cut == ShellCut::ScanStop;
  // Only a whole configuration is a success; otherwise the stored configuration stays as it was.
  failure = ShellFailureStatus(stored);
  if (failure != nullptr) {
    if (stored.cutShort)
      ReportDeviceEvent("Shell configuration of " + job_.address + " cut short: nothing of it was stored");
    return false;
  }
  ActionSubject subject{job_.pool, job_.address, name, scanTime_};
  return services_.data.StoreConfigurationLines(job_.pool, job_.address, job_.scanStart, stored.lines,
                                                [&](const std::string& line, const PreviousLines& previous) {
                                                  CheckActions(job_.settings, services_.actions, subject, line,
                                                               previous);
                                                });
}

void CConfigurationDevice::KeepWithinBound() {
  DeviceTrim trim = services_.data.KeepDeviceWithinBound(job_.pool, job_.address, job_.scanStart);
  if (!trim.Any()) return;
  std::string text = "Stored values of " + job_.address + " exceeded " +
                     std::to_string(kMaxStoredBytesPerDevice >> 20) + " MiB: dropped " +
                     std::to_string(trim.staleValues) + " values its last scan did not return";
  if (trim.previousValues) text += " and " + std::to_string(trim.previousValues) + " previous values";
  ReportDeviceEvent(text);
}

void CConfigurationDevice::Run() {
  std::string name = platform::ReverseLookup(job_.address).value_or("");
  // Derived once for this device; the copy wipes its passwords when the scan ends.
  const ShellSettings shellSettings = job_.poolSettings ? ShellSettingsFromPool(*job_.poolSettings) : ShellSettings{};
  bool shellAnswered = services_.shell && job_.poolSettings && job_.poolSettings->IsShellPool() &&
                       ShellAnswers(*services_.shell, job_.address, shellSettings, job_.stopScan.get());
  bool snmpAnswered = job_.poolSettings && Probe(name);
  std::string interfaces;
  std::string addresses;
  if (snmpAnswered) {
    interfaces = WalkInterfaces();
    addresses = WalkAddressTable();
  }
  bool echoAnswered = !shellAnswered && !snmpAnswered && EchoAnswers();
  if (name.empty()) name = job_.address;

  std::string status = shellAnswered || snmpAnswered ? kStatusCollecting
                       : echoAnswered                ? kStatusNoResponse
                                                     : kStatusUnreachable;
  services_.data.SetScanRecord(job_.pool, job_.address, name, status);
  services_.data.NoteScanChange();

  if ((shellAnswered || snmpAnswered) && !Stopping()) {
    services_.data.AddDevice(job_.pool, job_.address, name, interfaces, addresses);
    const char* shellFailure = nullptr;
    bool shellStopped = false;
    bool changed = shellAnswered && CollectShellLines(name, shellSettings, shellFailure, shellStopped);
    if (snmpAnswered && CollectQueries(name)) changed = true;
    // A stopping service, a stop request that cut the shell collection short, and a walk cut
    // short leave "Collecting Information..." in place: the device's values are not all there. A
    // shell device whose configuration was not read failed.
    const bool collecting = Stopping() || shellStopped;
    if (shellFailure != nullptr && !collecting)
      status = shellFailure;
    else if (!collecting && !WalkCutShort())
      status = changed ? kStatusChanged : kStatusUnchanged;
    // Values a stopped or failed collection did not reach are not stale: only a collection that
    // ran its course, or ended at a walk bound, makes room by them.
    const bool stoppedWalk = walkBudget_.End() == WalkEnd::StopRequest || walkBudget_.End() == WalkEnd::ServiceStop;
    if (!collecting && shellFailure == nullptr && !stoppedWalk) KeepWithinBound();
    // A shell device whose configuration was not read keeps the scan time of its last whole one:
    // the lines kept from it stay its current configuration, on screen and for the next scan's
    // comparison.
    const bool configurationKept = shellAnswered && (shellFailure != nullptr || shellStopped);
    services_.data.SetScanRecord(job_.pool, job_.address, name, status);
    services_.data.UpdateDevice(job_.pool, job_.address, configurationKept ? "" : job_.scanStart, status);
    services_.data.NoteScanChange();
  }
  if (WalkCutShort()) ReportDeviceEvent("SNMP walk of " + job_.address + " stopped " + walkBudget_.EndText());
  if (job_.settings)
    QueueScanAudit(services_.audit, *job_.settings, scanTime_, job_.user, job_.pool, job_.address, name, status);
}

}  // namespace mirvale

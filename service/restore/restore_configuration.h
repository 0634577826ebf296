#pragma once
// Carries out the pending set and restore requests of the settings document (control 144): an
// SNMP set of one object, or configuration lines sent through the shell. Each request receives
// "Successful" or "Failed"; values that were set are stored in the device database, devices
// that received shell lines have their configuration collected again, and the results are
// written back into the settings document, which the desktop program polls. A shell request the
// device refused fails naming the refused texts ("Failed: the device rejected ...").
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/mirvale_doc.h"
#include "service/restore/restore_requests.h"
#include "service/scanning/snmp_settings.h"
#include "service/scanning/snmp_value_slot.h"
#include "service/shell_session/shell_session_channels.h"

namespace mirvale {

class CMirvaleFrm;

// How a run reaches the devices; the service wires its shared SNMP client and shell session,
// tests put recorders in their place. Without the shell hooks shell requests fail.
struct RestoreChannels {
  std::function<bool(const std::string& address, const SnmpSettings& settings, const SnmpValueSlot& slot)>
      setSnmpValue;
  // One shell request, up to the pool's retries conversations; true when a sent line brought
  // an answer and none was rejected. rejected receives the texts the device refused.
  std::function<bool(const std::string& address, const CPoolItem& pool, const CRestoreItem& request,
                     std::vector<std::string>& rejected)>
      sendShellRequest;
  // The device's configuration through the shell, each line in its stored form, and whether it
  // was read whole.
  std::function<StoredShellLines(const std::string& address, const CPoolItem& pool)> collectShellLines;
};

// Devices that received shell lines: address "/" device name -> pool name.
using RecollectionList = std::map<std::string, std::string>;

class CConfigurationRestore {
 public:
  CConfigurationRestore(CMirvaleFrm& owner, RestoreChannels channels);

  // Carries out every pending request once, then saves the device database, starts the
  // switched-on exports and merges the results into the current settings, which are saved.
  // Requests not yet reached when the service stops fail, saying so.
  void Run();

  // Collects the configuration of each listed device again, storing and checking its lines as
  // a scan does; a device whose configuration was not read whole keeps what was stored, gets the
  // failure status and is named in the event log.
  void RestoreByCommands(const RecollectionList& devices);

 private:
  std::string CarryOut(const CMirvaleDoc& settings, const CRestoreItem& request, std::time_t now);
  bool SetByShell(const CPoolItem& pool, const CRestoreItem& request, std::vector<std::string>& rejected);
  bool SetBySnmp(const CPoolItem& pool, const CRestoreItem& request, std::time_t now);

  CMirvaleFrm& owner_;
  RestoreChannels channels_;
  RecollectionList recollection_;
};

}  // namespace mirvale

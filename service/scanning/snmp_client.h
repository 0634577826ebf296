#pragma once
// The service's one SNMP client, shared by device scans, trap actions and set requests.
// SNMPv1 requests of many threads run in parallel (one library session each); SNMPv3 requests
// are serialised by the client's lock, held for the whole request, because the library's user
// table and the engine boot counter are process-wide.
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "service/scanning/snmp_settings.h"
#include "service/scanning/snmp_value_slot.h"

namespace mirvale {

enum class SnmpRequestMode { Get = 0, GetNext = 1, Trap = 2 };

class CSnmpClient {
 public:
  // The engine boot counter is kept in snmp_boot_counter::kFileName in the program folder.
  CSnmpClient();
  explicit CSnmpClient(std::string bootCounterPath);
  CSnmpClient(const CSnmpClient&) = delete;
  CSnmpClient& operator=(const CSnmpClient&) = delete;

  // Get or get-next: one binding per slot, answers written back into the slots. A get-next
  // answer must stay under the first prefixArcs arcs of its slot's identifier and be greater
  // than it; otherwise the result is false and the slot keeps its identifier. Trap: an SNMPv1
  // trap to port 162, enterprise 1.3.6.1.3, specific type the last arc of the first slot's
  // identifier, each slot's value sent as an octet string. False on any failure, and as soon
  // as stopped, when given, says so (the answer is then not waited for).
  bool Request(SnmpRequestMode mode, const std::string& address, const SnmpSettings& settings,
               std::span<SnmpValueSlot> slots, int prefixArcs = 0, const std::function<bool()>& stopped = {});

  // Sets the slot's identifier to its value text, converted to the type that the device reports
  // for the object. False when the object cannot be read, the text is no valid value of that type
  // (out of range included), or the device refuses.
  bool SetValue(const std::string& address, const SnmpSettings& settings, const SnmpValueSlot& slot);

  static constexpr const char* kEngineIdentity = "Mirvale";

 private:
  bool Exchange(SnmpRequestMode mode, const std::string& address, const SnmpSettings& settings,
                std::span<SnmpValueSlot> slots, int prefixArcs, const std::function<bool()>& stopped);
  bool ExchangeSet(const std::string& address, const SnmpSettings& settings, const SnmpValueSlot& slot);
  bool AdvanceBootCounter();

  std::mutex version3Lock_;
  std::string bootCounterPath_;
};

}  // namespace mirvale

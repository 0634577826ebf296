#pragma once
// The trap action: one SNMPv1 trap carrying a text to each manager of a ";"-separated list,
// through the service's SNMP client. Failures are silent; the next manager is still tried.
#include <string>
#include <string_view>
#include <vector>

#include "service/scanning/snmp_client.h"

namespace mirvale {

class CConfigurationTrapThread {
 public:
  // The client must outlive the action (the service's worker owns both).
  CConfigurationTrapThread(CSnmpClient& client, std::string message, std::string managers);

  // Sends to every manager in turn; returns how many traps went out.
  int Run() const;

  // One trap to one manager: enterprise 1.3.6.1.3, specific type 1, the message as the octet
  // string of binding 1.3.6.1.3.1. True when it was sent.
  bool SendTrap(const std::string& manager, const std::string& message) const;

  // The non-empty, trimmed parts of a ";"-separated manager list, in order.
  static std::vector<std::string> SplitManagers(std::string_view managers);

 private:
  CSnmpClient& client_;
  std::string message_;
  std::string managers_;
};

}  // namespace mirvale

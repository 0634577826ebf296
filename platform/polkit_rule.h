#pragma once
// The polkit rule that lets the service's operators start its systemd unit, so the desktop
// program run by an operator starts the real service, as root, under systemd. Stopping the
// unit and changing its enablement stay with root (or whoever polkit asks for).
#include <string>
#include <string_view>

namespace platform {

// MIRVALE_POLKIT_RULES_DIR (else /etc/polkit-1/rules.d) joined with "50-<unit name>.rules".
std::string PolkitRulePath(std::string_view serviceName);

// The rule's JavaScript: the start verb of the unit, for members of the operators' group.
std::string PolkitRuleText(std::string_view unitName, std::string_view groupName);

bool WritePolkitRule(std::string_view serviceName);
bool RemovePolkitRule(std::string_view serviceName);

}  // namespace platform

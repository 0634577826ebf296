#include "platform/polkit_rule.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/operator_group.h"
#include "platform/service_control_unit.h"

namespace platform {

namespace {

// A JavaScript string literal: anything but plain printable ASCII is escaped.
std::string Literal(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string RulesFolder() { return GetEnv("MIRVALE_POLKIT_RULES_DIR").value_or("/etc/polkit-1/rules.d"); }

}  // namespace

std::string PolkitRulePath(std::string_view serviceName) {
  std::string unit = SystemdUnitName(serviceName);
  return JoinPath(RulesFolder(), "50-" + unit.substr(0, unit.rfind('.')) + ".rules");
}

std::string PolkitRuleText(std::string_view unitName, std::string_view groupName) {
  return "// The service's operators may start its unit; nothing else is granted here.\n"
         "polkit.addRule(function(action, subject) {\n"
         "    if (action.id == \"org.freedesktop.systemd1.manage-units\" &&\n"
         "        action.lookup(\"unit\") == " +
         Literal(unitName) +
         " &&\n"
         "        action.lookup(\"verb\") == \"start\" &&\n"
         "        subject.isInGroup(" +
         Literal(groupName) +
         ")) {\n"
         "        return polkit.Result.YES;\n"
         "    }\n"
         "});\n";
}

bool WritePolkitRule(std::string_view serviceName) {
  std::string folder = RulesFolder();
  if (!CreateFolderLevels(folder)) return false;
  // polkitd reads its rules as its own unprivileged account.
  return WriteFileAtomically(PolkitRulePath(serviceName),
                             PolkitRuleText(SystemdUnitName(serviceName), OperatorGroupName()), 0644);
}

bool RemovePolkitRule(std::string_view serviceName) {
  return unlink(PolkitRulePath(serviceName).c_str()) == 0 || errno == ENOENT;
}

}  // namespace platform

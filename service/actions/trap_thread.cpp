#include "service/actions/trap_thread.h"

#include "common/text_trim.h"

namespace mirvale {
namespace {

constexpr const char* kTrapIdentifier = "1.3.6.1.3.1";
constexpr int kTrapPrefixArcs = 6;

SnmpSettings TrapSettings() {
  SnmpSettings settings;
  settings.m_bSnmpV1 = 1;
  settings.m_bSnmpV3 = 0;
  settings.m_nRetries = 1;
  settings.m_nTimeout = 1;
  settings.m_strReadCommunity = "public";
  return settings;
}

}  // namespace

CConfigurationTrapThread::CConfigurationTrapThread(CSnmpClient& client, std::string message, std::string managers)
    : client_(client), message_(std::move(message)), managers_(std::move(managers)) {}

std::vector<std::string> CConfigurationTrapThread::SplitManagers(std::string_view managers) {
  std::vector<std::string> parts;
  while (!managers.empty()) {
    size_t separator = managers.find(';');
    std::string part = Trim(managers.substr(0, separator));
    if (!part.empty()) parts.push_back(std::move(part));
    managers = separator == std::string_view::npos ? std::string_view() : managers.substr(separator + 1);
  }
  return parts;
}

int CConfigurationTrapThread::Run() const {
  int sent = 0;
  for (const auto& manager : SplitManagers(managers_))
    if (SendTrap(manager, message_)) ++sent;
  return sent;
}

bool CConfigurationTrapThread::SendTrap(const std::string& manager, const std::string& message) const {
  SnmpValueSlot slot{kTrapIdentifier, message};
  return client_.Request(SnmpRequestMode::Trap, manager, TrapSettings(), std::span(&slot, 1), kTrapPrefixArcs);
}

}  // namespace mirvale

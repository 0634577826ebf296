#include "service/trap_thread.h"

namespace mirvale {
namespace {

constexpr const char* kTrapIdentifier = "1.3.6.1.3.1";
constexpr int kTrapPrefixArcs = 6;

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view blanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

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
    std::string_view part = Trimmed(managers.substr(0, separator));
    if (!part.empty()) parts.emplace_back(part);
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

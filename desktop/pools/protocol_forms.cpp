#include "desktop/pools/protocol_forms.h"

#include <algorithm>
#include <cstdlib>

namespace mirvale {

uint32_t ClampSpin(uint32_t value) { return std::clamp<uint32_t>(value, 1, 999); }

ShellForm ShellForm::FromPool(const CPoolItem& pool) {
  ShellForm form;
  if (!pool.IsShellPool()) return form;
  form.timeout = ClampSpin(pool.m_nTimeout);
  form.retries = ClampSpin(pool.m_nRetries);
  form.ssh = !pool.m_bTelnet;
  form.port = std::to_string(pool.m_nShellPort);
  form.user = pool.m_strShellUser;
  form.password = pool.m_strShellPassword;
  form.privilegedCommand = pool.m_strPrivilegedCommand;
  form.privilegedPassword = pool.m_strPrivilegedPassword;
  if (!pool.m_strBackupCommand.empty()) form.backup = pool.m_strBackupCommand;
  if (!pool.m_strRestoreStart.empty()) form.restoreStart = pool.m_strRestoreStart;
  if (!pool.m_strRestoreEnd.empty()) form.restoreEnd = pool.m_strRestoreEnd;
  form.restoreSave = pool.m_strRestoreSave;
  form.restoreSaveOn = !pool.m_strRestoreSave.empty();
  return form;
}

namespace {

// A TCP port: 1 to 65535 in decimal digits (the edit lets 0 and 65536 through while typing).
bool IsPortNumber(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  return value >= 1 && value <= 65535;
}

}  // namespace

std::optional<std::string> ShellForm::Refuse() const {
  if (!IsPortNumber(port)) return "Invalid shell port, please try again.";
  if (backup.empty()) return "Invalid backup command, please try again.";
  if (restoreStart.empty()) return "Invalid restore start command, please try again.";
  if (restoreEnd.empty()) return "Invalid restore end command, please try again.";
  return std::nullopt;
}

void ShellForm::Store(CPoolItem& pool) const {
  pool.m_bSnmpV1 = 0;
  pool.m_bSnmpV3 = 0;
  pool.m_nShellPort = static_cast<uint32_t>(std::strtoul(port.c_str(), nullptr, 10));
  pool.m_nTimeout = timeout;
  pool.m_nRetries = retries;
  pool.m_strShellUser = user;
  pool.m_strShellPassword = password;
  pool.m_strPrivilegedCommand = privilegedCommand;
  pool.m_strPrivilegedPassword = privilegedPassword;
  pool.m_strBackupCommand = backup;
  pool.m_strRestoreStart = restoreStart;
  pool.m_strRestoreEnd = restoreEnd;
  pool.m_strRestoreSave = restoreSaveOn ? restoreSave : std::string();
  pool.m_bTelnet = ssh ? 0 : 1;
  pool.m_bSsh = ssh ? 1 : 0;
}

SnmpV1Form SnmpV1Form::FromPool(const CPoolItem& pool) {
  SnmpV1Form form;
  if (!pool.m_bSnmpV1) return form;
  form.timeout = ClampSpin(pool.m_nTimeout);
  form.retries = ClampSpin(pool.m_nRetries);
  form.readCommunity = pool.m_strReadCommunity;
  form.writeCommunity = pool.m_strWriteCommunity;
  return form;
}

std::optional<std::string> SnmpV1Form::Refuse() const {
  if (readCommunity.empty()) return "Invalid read community, please try again.";
  if (writeCommunity.empty()) return "Invalid write community, please try again.";
  return std::nullopt;
}

void SnmpV1Form::Store(CPoolItem& pool) const {
  pool.m_bSsh = pool.m_bTelnet = pool.m_bSnmpV3 = 0;
  pool.m_bSnmpV1 = 1;
  pool.m_nTimeout = timeout;
  pool.m_nRetries = retries;
  pool.m_strReadCommunity = readCommunity;
  pool.m_strWriteCommunity = writeCommunity;
}

SnmpV3Form SnmpV3Form::FromPool(const CPoolItem& pool) {
  SnmpV3Form form;
  if (!pool.m_bSnmpV3) return form;
  form.timeout = ClampSpin(pool.m_nTimeout);
  form.retries = ClampSpin(pool.m_nRetries);
  form.securityName = pool.m_strSecurityName;
  form.contextName = pool.m_strContextName;
  form.contextEngineId = pool.m_strContextEngineId;
  form.authPassword = pool.m_strAuthPassword;
  form.privacyPassword = pool.m_strPrivacyPassword;
  if (pool.m_nAuthProtocol >= 1 && pool.m_nAuthProtocol <= 3) form.authProtocol = pool.m_nAuthProtocol;
  if (pool.m_nPrivacyProtocol >= 1 && pool.m_nPrivacyProtocol <= 3) form.privacyProtocol = pool.m_nPrivacyProtocol;
  return form;
}

std::optional<std::string> SnmpV3Form::Refuse() const {
  if (securityName.empty()) return "Invalid user or security name, please try again.";
  // An empty context name is the agent's default context (the usual one): accepted.
  // SNMPv3 has no privacy without authentication: such a pool could never be read.
  if (authProtocol == 1 && privacyProtocol != 1) return "Invalid privacy protocol, please try again.";
  return std::nullopt;
}

void SnmpV3Form::Store(CPoolItem& pool) const {
  pool.m_bSsh = pool.m_bTelnet = pool.m_bSnmpV1 = 0;
  pool.m_bSnmpV3 = 1;
  pool.m_nTimeout = timeout;
  pool.m_nRetries = retries;
  pool.m_strSecurityName = securityName;
  pool.m_strContextName = contextName;
  pool.m_strContextEngineId = contextEngineId;
  pool.m_strAuthPassword = authPassword;
  pool.m_strPrivacyPassword = privacyPassword;
  pool.m_nAuthProtocol = authProtocol;
  pool.m_nPrivacyProtocol = privacyProtocol;
  pool.m_nSecurityModel = 3;
  pool.m_nSecurityLevel = authProtocol == 1 ? 1 : (privacyProtocol == 1 ? 2 : 3);
}

}  // namespace mirvale

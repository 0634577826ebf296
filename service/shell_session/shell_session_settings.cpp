#include "service/shell_session/shell_session_settings.h"

#include <algorithm>

namespace mirvale {
namespace {

void Wipe(std::string& text) {
  std::fill(text.begin(), text.end(), '\0');
  text.clear();
}

}  // namespace

ShellSettings::~ShellSettings() {
  Wipe(m_strShellPassword);
  Wipe(m_strPrivilegedPassword);
}

ShellSettings ShellSettingsFromPool(const CPoolItem& pool) {
  ShellSettings settings;
  settings.m_bSsh = static_cast<int>(pool.m_bSsh);
  settings.m_bTelnet = static_cast<int>(pool.m_bTelnet);
  settings.m_nRetries = static_cast<int>(pool.m_nRetries);
  settings.m_nTimeout = static_cast<int>(pool.m_nTimeout);
  settings.m_nShellPort = static_cast<int>(pool.m_nShellPort);
  settings.m_strShellUser = pool.m_strShellUser;
  settings.m_strShellPassword = pool.m_strShellPassword;
  settings.m_strPrivilegedCommand = pool.m_strPrivilegedCommand;
  settings.m_strPrivilegedPassword = pool.m_strPrivilegedPassword;
  settings.m_strBackupCommand = pool.m_strBackupCommand;
  settings.m_strRestoreStart = pool.m_strRestoreStart;
  settings.m_strRestoreEnd = pool.m_strRestoreEnd;
  settings.m_strRestoreSave = pool.m_strRestoreSave;
  return settings;
}

}  // namespace mirvale

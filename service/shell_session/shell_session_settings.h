#pragma once
// A pool's shell settings, copied for one run so that a settings reload during a scan cannot
// change them under the threads that use them.
#include <string>

#include "common/pool_records.h"

namespace mirvale {

// The passwords are wiped when a copy goes away.
struct ShellSettings {
  ShellSettings() = default;
  ShellSettings(const ShellSettings&) = default;
  ShellSettings& operator=(const ShellSettings&) = default;
  ~ShellSettings();

  int m_bSsh = 0;
  int m_bTelnet = 0;
  int m_nRetries = 1;
  int m_nTimeout = 1;  // seconds
  int m_nShellPort = 23;
  std::string m_strShellUser;
  std::string m_strShellPassword;
  std::string m_strPrivilegedCommand;
  std::string m_strPrivilegedPassword;
  std::string m_strBackupCommand;
  std::string m_strRestoreStart;
  std::string m_strRestoreEnd;
  std::string m_strRestoreSave;
};

ShellSettings ShellSettingsFromPool(const CPoolItem& pool);

}  // namespace mirvale

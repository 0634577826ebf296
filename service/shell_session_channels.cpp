#include "service/shell_session_channels.h"

#include <algorithm>

#include "service/shell_session_text.h"

namespace mirvale {

StoredShellLines CollectStoredShellLines(CShellSession& session, const std::string& address, const CPoolItem& pool) {
  ShellCollection collected = CollectShellConfiguration(session, address, ShellSettingsFromPool(pool));
  StoredShellLines stored;
  stored.logonFailed = collected.logonFailed;
  stored.lines.reserve(collected.lines.size());
  for (const auto& line : collected.lines) stored.lines.push_back(CleanShellLine(line));
  return stored;
}

bool SendShellRequestToDevice(CShellSession& session, const std::string& address, const CPoolItem& pool,
                              const std::string& command, const std::string& value) {
  ShellSettings settings = ShellSettingsFromPool(pool);
  bool answered = false;
  for (int attempt = 0; attempt < std::max(1, settings.m_nRetries) && !answered && !session.Stopping(); ++attempt) {
    if (session.Open(address, settings) && session.Login()) answered = SendShellRequest(session, command, value);
    session.Close();
  }
  return answered;
}

}  // namespace mirvale

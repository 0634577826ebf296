#include "service/shell_session/shell_session_channels.h"

#include <algorithm>

#include "common/status_texts.h"
#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {

const char* ShellFailureStatus(const StoredShellLines& stored) {
  if (stored.complete && !stored.lines.empty()) return nullptr;
  return stored.logonFailed ? kStatusLogonFailed : kStatusNoResponse;
}

StoredShellLines CollectStoredShellLines(ShellConversations& conversations, const std::string& address,
                                         const CPoolItem& pool) {
  return CollectStoredShellLines(conversations, address, ShellSettingsFromPool(pool));
}

StoredShellLines CollectStoredShellLines(ShellConversations& conversations, const std::string& address,
                                         const ShellSettings& settings, const ManualEvent* scanStop) {
  ShellCollection collected = CollectShellConfiguration(conversations, address, settings, {}, scanStop);
  StoredShellLines stored;
  stored.logonFailed = collected.logonFailed;
  stored.complete = collected.complete;
  stored.cutShort = collected.cutShort;
  stored.cut = collected.cut;
  stored.lines.reserve(collected.lines.size());
  for (const auto& line : collected.lines) {
    // A line of nothing but control sequences (a terminal mode switched before the listing) shows
    // nothing on the device's screen: it is no configuration line.
    if (line.find('\x1b') != std::string::npos && ShownLine(line).empty()) continue;
    stored.lines.push_back(CleanShellLine(line));
  }
  return stored;
}

bool SendShellRequestToDevice(ShellConversations& conversations, const std::string& address, const CPoolItem& pool,
                              const std::string& command, const std::string& value,
                              std::vector<std::string>* rejected) {
  ShellSettings settings = ShellSettingsFromPool(pool);
  // Lines that brought no answer are sent again; lines the device rejected are not.
  auto outcome = ShellRequestOutcome::Unanswered;
  for (int attempt = 0; attempt < std::max(1, settings.m_nRetries) && outcome == ShellRequestOutcome::Unanswered;
       ++attempt) {
    CShellSession session(conversations);
    if (session.Stopping()) break;
    if (rejected) rejected->clear();
    if (session.Open(address, settings) && session.Login())
      outcome = SendShellRequest(session, command, value, rejected);
    session.Close();
  }
  return outcome == ShellRequestOutcome::Answered;
}

}  // namespace mirvale

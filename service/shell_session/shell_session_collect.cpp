#include "service/shell_session/shell_session_collect.h"

#include <algorithm>

#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

constexpr const char* kPagerKey = " ";
constexpr const char* kEnterKey = "\r";

// Each space shows the next page; the pager prompt ends the page before it and goes. An empty
// or blank answer ends the paging, and so do the limits and the service's stop.
void PageThrough(CShellSession& session, std::vector<std::string>& collected, const ShellPagingLimits& limits) {
  for (int page = 0; page < limits.pages && !session.Stopping(); ++page) {
    if (!session.SendText(kPagerKey)) return;
    std::vector<std::string> fresh;
    if (session.ReadLines(fresh) == 0 || fresh.empty()) return;
    if (Trim(fresh.back()).empty()) return;
    if (!collected.empty()) collected.pop_back();
    if (collected.size() + fresh.size() > limits.lines) return;
    collected.insert(collected.end(), fresh.begin(), fresh.end());
  }
}

void DropTrailingPrompt(CShellSession& session, std::vector<std::string>& collected) {
  if (!session.SendText(kEnterKey)) return;
  std::vector<std::string> answer;
  session.ReadLines(answer);
  if (answer.empty()) return;
  std::string prompt = Trim(answer.back());
  while (!collected.empty() && collected.back() == prompt) collected.pop_back();
}

}  // namespace

bool ShellAnswers(ShellConversations& conversations, const std::string& address, const ShellSettings& settings) {
  CShellSession session(conversations);
  bool answered = session.Open(address, settings);
  session.Close();
  return answered;
}

ShellCollection CollectShellConfiguration(ShellConversations& conversations, const std::string& address,
                                          const ShellSettings& settings, ShellPagingLimits limits) {
  ShellCollection result;
  int attempts = std::max(1, settings.m_nRetries);
  for (int attempt = 0; attempt < attempts && result.lines.empty(); ++attempt) {
    CShellSession session(conversations);
    if (session.Stopping()) break;
    if (!session.Open(address, settings)) {
      session.Close();
      continue;
    }
    if (!session.Login()) {
      result.logonFailed = session.LogonFailed();
      session.Close();
      continue;
    }
    result.logonFailed = false;
    session.SendScript(settings.m_strBackupCommand);
    session.ReadLines(result.lines);
    PageThrough(session, result.lines, limits);
    DropTrailingPrompt(session, result.lines);
    session.Close();
  }
  return result;
}

ShellRequestOutcome SendShellRequest(CShellSession& session, const std::string& command, const std::string& value) {
  const ShellSettings& settings = session.Settings();
  bool answered = false;
  bool rejected = false;
  // Each text is sent alone and its answer read, so that an error line is seen whichever text
  // the device refused: the mode change, the command path, a restored line, the end or the save.
  // The last read also waits for the save's answer, which a device drops when the line hangs up.
  auto send = [&](const std::string& text) {
    if (!session.SendText(text + "\r")) return;
    std::vector<std::string> answer;
    if (session.ReadLines(answer) > 0) answered = true;
    if (std::any_of(answer.begin(), answer.end(), [](const std::string& line) { return IsDeviceErrorLine(line); }))
      rejected = true;
  };
  auto sendScript = [&send](std::string_view script) {
    for (const std::string& piece : ScriptPieces(script)) send(piece);
  };
  sendScript(settings.m_strRestoreStart);
  sendScript(OneLineScript(command));
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find_first_of("\r\n", start);
    if (end == std::string::npos) end = value.size();
    std::string line = Trim(std::string_view(value).substr(start, end - start));
    start = end + 1;
    if (!line.empty()) send(line);
  }
  sendScript(settings.m_strRestoreEnd);
  sendScript(settings.m_strRestoreSave);
  if (rejected) return ShellRequestOutcome::Rejected;
  return answered ? ShellRequestOutcome::Answered : ShellRequestOutcome::Unanswered;
}

}  // namespace mirvale

#include "service/shell_session/shell_session_collect.h"

#include <algorithm>

#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

constexpr const char* kPagerKey = " ";
constexpr const char* kEnterKey = "\r";

// Each space shows the next page. Its answer continues the line the output stood on: a pager
// prompt, which the device erases, or a line that only paused where a prompt may stand, which
// so loses nothing. An answer of nothing but blanks (the echo of the space at the prompt) ends
// the paging, and so does the service's stop; false when the limits cut the output short.
bool PageThrough(CShellSession& session, std::vector<std::string>& collected, const ShellPagingLimits& limits) {
  for (int page = 0; !session.Stopping(); ++page) {
    if (page == limits.pages) return false;
    if (!session.SendText(kPagerKey)) return true;
    OutputLines::Answer answer = session.ReadAnswer();
    if (answer.lines.empty()) return true;
    if (collected.size() + answer.lines.size() > limits.lines) return false;
    AddAnswer(collected, answer);
    if (ShownLine(answer.lines.back()).empty()) return true;
  }
  return true;
}

// The answer to a line break ends with the device's prompt: the lines at the end that show it
// go. What else the answer brings (a device that paused longer than the time-out) is kept; false
// when it ended at a pager prompt, so that more pages follow.
bool DropTrailingPrompt(CShellSession& session, std::vector<std::string>& collected) {
  if (!session.SendText(kEnterKey)) return true;
  OutputLines::Answer answer = session.ReadAnswer();
  if (answer.lines.empty()) return true;
  AddAnswer(collected, answer);
  const std::string prompt = ShownLine(answer.lines.back());
  if (IsPagerPrompt(prompt)) return false;
  while (!collected.empty() && ShownLine(collected.back()) == prompt) collected.pop_back();
  return true;
}

}  // namespace

bool ShellAnswers(ShellConversations& conversations, const std::string& address, const ShellSettings& settings,
                  const ManualEvent* scanStop) {
  CShellSession session(conversations, scanStop);
  bool answered = session.Open(address, settings);
  session.Close();
  return answered;
}

ShellCollection CollectShellConfiguration(ShellConversations& conversations, const std::string& address,
                                          const ShellSettings& settings, ShellPagingLimits limits,
                                          const ManualEvent* scanStop) {
  ShellCollection result;
  int attempts = std::max(1, settings.m_nRetries);
  for (int attempt = 0; attempt < attempts && result.lines.empty() && result.cut == ShellCut::None; ++attempt) {
    CShellSession session(conversations, scanStop);
    if (session.Interrupted()) break;
    if (!session.Open(address, settings)) {
      result.cut = session.Cut();
      session.Close();
      continue;
    }
    bool loggedIn = session.Login();
    if (session.LoggedIn()) result.logonFailed = false;
    if (!loggedIn) {
      result.cut = session.Cut();
      session.Close();
      continue;
    }
    session.SendScript(settings.m_strBackupCommand);
    session.ReadLines(result.lines);
    bool whole = PageThrough(session, result.lines, limits);
    while (whole && !DropTrailingPrompt(session, result.lines) && !session.Stopping())
      whole = PageThrough(session, result.lines, limits);
    DropPagerPrompts(result.lines);
    // A conversation cut off by the stop may hold the prompt or half a line: nothing of it is kept.
    bool stopped = session.Stopping();
    result.cutShort = !stopped && (!whole || session.CutShort());
    session.Close();
    result.cut = session.Cut();
    if (stopped || result.cutShort) {
      result.lines.clear();
      break;
    }
    // A scan's stop request keeps the whole lines read: the last one was still arriving, or is
    // the prompt the device waits at.
    if (result.cut == ShellCut::ScanStop && !result.lines.empty()) result.lines.pop_back();
  }
  // A stop that came before the login completed refused nothing: no logon failure is told.
  if (result.cut == ShellCut::ScanStop || result.cut == ShellCut::ServiceStop) result.logonFailed = false;
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

#include "service/shell_session/shell_answer_rules.h"

#include <algorithm>

#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

constexpr size_t kShownLength = 80;

std::string Shortened(const std::string& shown) {
  return shown.size() > kShownLength ? shown.substr(0, kShownLength) + "..." : shown;
}

}  // namespace

std::string LoginStepRefusal(const OutputLines::Answer& answer, bool alive, bool onlyPrompt) {
  const std::vector<std::string>& lines = answer.lines;
  // lines[0] continues the line of the question: the echo of what was sent, or already the
  // prompt when the device answers on the question's line.
  std::string words;
  for (size_t i = 1; i + 1 < lines.size() && words.empty(); ++i) words = ShownLine(lines[i]);
  const std::string standing = lines.empty() ? std::string() : ShownLine(lines.back());
  std::string reason;
  if (!alive || !LooksLikePrompt(standing))
    reason = words.empty() ? standing : words;
  else if (onlyPrompt)
    reason = words;
  if (reason.empty() && alive && LooksLikePrompt(standing)) return {};
  if (alive) return reason.empty() ? "no prompt came" : Shortened(reason);
  return reason.empty() ? "the connection ended" : Shortened(reason) + " (the connection ended)";
}

bool PromptCameBack(const OutputLines::Answer& answer, std::string_view prompt) {
  if (prompt.empty() || answer.lines.empty() || answer.dropsStanding) return false;
  auto line = answer.lines.begin();
  const std::string same = ShownLine(*line);
  // The echo of the line break leaves the prompt's line as it was.
  if (!same.empty() && same != prompt) return false;
  size_t prompts = same.empty() ? 0 : 1;
  for (++line; line != answer.lines.end(); ++line, ++prompts)
    if (ShownLine(*line) != prompt) return false;
  return prompts > 0;
}

bool IsErrorAnswerOnly(const std::vector<std::string>& lines) {
  std::vector<std::string> words;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string shown = ShownLine(lines[i]);
    // The first line is the command's echo, or already the answer of a device that echoes nothing.
    if (i == 0 && !IsDeviceErrorLine(shown)) continue;
    if (shown.find_first_not_of('^') != std::string::npos) words.push_back(shown);
  }
  return words.size() == 1 && IsDeviceErrorLine(words.front());
}

}  // namespace mirvale

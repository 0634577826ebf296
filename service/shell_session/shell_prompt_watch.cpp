#include "service/shell_session/shell_prompt_watch.h"

#include <algorithm>
#include <cctype>

#include "common/text_trim.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

// Prompts and pager prompts are short; a longer line is output in transfer, and only the end
// of a long line is looked at, so that each look costs the same however long the line grows.
constexpr size_t kLongestPrompt = 80;
constexpr size_t kLookedAt = 4096;
// The marks that end a prompt or a login question ("Router>", "Router#", "$", "Password:").
constexpr std::string_view kPromptMarks = ">#$%";
constexpr std::string_view kQuestionMarks = ":>#$%";
constexpr std::string_view kPagerFrame = " -<>()";

std::string_view Tail(std::string_view text) { return text.substr(text.size() - std::min(text.size(), kLookedAt)); }

bool EndsWithOneOf(const std::string& line, std::string_view marks) {
  return !line.empty() && line.size() <= kLongestPrompt && marks.find(line.back()) != std::string_view::npos;
}

// A prompt without its mark and without a mode in parentheses before it: "Router" for
// "Router#", "Router>" and "Router(config)#".
std::string_view Stem(std::string_view prompt) {
  prompt.remove_suffix(1);
  if (!prompt.empty() && prompt.back() == ')') {
    if (size_t open = prompt.rfind('('); open != std::string_view::npos) prompt = prompt.substr(0, open);
  }
  return prompt;
}

}  // namespace

std::string ShownLine(std::string_view line) { return Trim(CleanShellLine(line)); }

bool IsPagerPrompt(std::string_view shown) {
  if (shown.empty() || shown.size() > kLongestPrompt) return false;
  size_t first = shown.find_first_not_of(kPagerFrame);
  if (first == std::string_view::npos) return false;
  size_t last = shown.find_last_not_of(kPagerFrame);
  std::string_view frame = shown.substr(0, first);
  std::string_view after = shown.substr(last + 1);
  if (frame.find_first_not_of(' ') == std::string_view::npos && after.find_first_not_of(' ') == std::string_view::npos)
    return false;
  std::string core(shown.substr(first, last + 1 - first));
  std::transform(core.begin(), core.end(), core.begin(), [](unsigned char c) { return std::tolower(c); });
  if (core == "more") return true;
  // "more 45%"
  if (!core.starts_with("more ") || core.back() != '%') return false;
  std::string_view percent = std::string_view(core).substr(5, core.size() - 6);
  return !percent.empty() && percent.size() <= 3 &&
         std::all_of(percent.begin(), percent.end(), [](unsigned char c) { return std::isdigit(c); });
}

void DropPagerPrompts(std::vector<std::string>& lines) {
  std::erase_if(lines, [](const std::string& line) { return IsPagerPrompt(ShownLine(line)); });
}

void PromptWatch::Learn(std::string_view fresh) { prompt_ = ShownLine(Tail(fresh)); }

// The prompt itself, or the same stem with another mark and maybe a mode: the prompt changes
// with the privilege level and the configuration mode.
bool PromptWatch::IsPrompt(const std::string& line) const {
  const std::string& prompt = *prompt_;
  if (prompt.empty()) return false;
  if (line == prompt) return true;
  if (!EndsWithOneOf(prompt, kPromptMarks) || !EndsWithOneOf(line, kPromptMarks)) return false;
  std::string_view stem = Stem(prompt);
  if (stem.empty() || !line.starts_with(stem)) return false;
  std::string_view mode = std::string_view(line).substr(stem.size(), line.size() - stem.size() - 1);
  return mode.empty() ||
         (mode.front() == '(' && mode.back() == ')' && mode.find(')') == mode.size() - 1 && mode.size() > 2);
}

bool PromptWatch::Waits(std::string_view standing, std::string_view fresh) const {
  std::string freshShown = ShownLine(Tail(fresh));
  if (IsPagerPrompt(freshShown)) return true;
  if (!prompt_) return EndsWithOneOf(freshShown, kQuestionMarks);
  return IsPrompt(ShownLine(Tail(standing)));
}

}  // namespace mirvale

#include "service/shell_session/shell_prompt_watch.h"

#include <algorithm>
#include <cctype>

#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

// Prompts and pager prompts are short; a longer line is output in transfer.
constexpr size_t kLongestPrompt = 80;
// The marks that end a prompt or a login question ("Router>", "Router#", "$", "Password:").
constexpr std::string_view kPromptMarks = ">#$%";
constexpr std::string_view kQuestionMarks = ":>#$%";

std::string Shown(std::string_view line) { return Trim(CleanShellLine(line)); }

bool EndsWithOneOf(const std::string& line, std::string_view marks) {
  return !line.empty() && line.size() <= kLongestPrompt && marks.find(line.back()) != std::string_view::npos;
}

// "--More--", " -- More -- ", "<--- More --->", "---(more 45%)---": punctuation first, then
// "more" in any case.
bool IsPager(const std::string& line) {
  if (line.empty() || line.size() > kLongestPrompt || std::isalnum(static_cast<unsigned char>(line[0]))) return false;
  std::string lower(line);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower.find("more") != std::string::npos;
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

void PromptWatch::Learn(std::string_view screenLine) { prompt_ = Shown(screenLine); }

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

bool PromptWatch::Waits(std::string_view screenLine, std::string_view fresh) const {
  std::string freshShown = Shown(fresh);
  if (IsPager(freshShown)) return true;
  if (!prompt_) return EndsWithOneOf(freshShown, kQuestionMarks);
  return IsPrompt(Shown(screenLine));
}

}  // namespace mirvale

#include "service/shell_session/shell_prompt_watch.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "common/text_trim.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

// Prompts and pager prompts are short; a longer line is output in transfer, and only the end
// of a long line is looked at, so that each look costs the same however long the line grows. A
// prompt may hold a long path or host name.
constexpr size_t kLongestPrompt = 512;
constexpr size_t kLongestPager = 80;
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

std::string ShownLine(std::string_view line) { return Trim(ScreenLine(line)); }

std::string PromptShape(std::string_view shown) {
  std::string shape;
  shape.reserve(shown.size());
  for (char c : shown) {
    // Only digits give '0', so a '0' before means the run goes on.
    if (!std::isdigit(static_cast<unsigned char>(c)))
      shape += c;
    else if (shape.empty() || shape.back() != '0')
      shape += '0';
  }
  return shape;
}

bool IsPagerPrompt(std::string_view shown) {
  if (shown.empty() || shown.size() > kLongestPager) return false;
  size_t first = shown.find_first_not_of(kPagerFrame);
  if (first == std::string_view::npos) return false;
  size_t last = shown.find_last_not_of(kPagerFrame);
  std::string_view frame = shown.substr(0, first);
  std::string_view after = shown.substr(last + 1);
  if (frame.find_first_not_of(' ') == std::string_view::npos && after.find_first_not_of(' ') == std::string_view::npos)
    return false;
  // The HP-style long pager: the prompt, then what the keys do.
  if (size_t comma = shown.find(','); comma != std::string_view::npos) {
    std::string hints(shown.substr(comma + 1));
    std::transform(hints.begin(), hints.end(), hints.begin(), [](unsigned char c) { return std::tolower(c); });
    return hints.find("next page") != std::string::npos && IsPagerPrompt(Trim(shown.substr(0, comma)));
  }
  std::string core(shown.substr(first, last + 1 - first));
  std::transform(core.begin(), core.end(), core.begin(), [](unsigned char c) { return std::tolower(c); });
  if (core == "more") return true;
  // "more 45%"
  if (!core.starts_with("more ") || core.back() != '%') return false;
  std::string_view percent = std::string_view(core).substr(5, core.size() - 6);
  return !percent.empty() && percent.size() <= 3 &&
         std::all_of(percent.begin(), percent.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool LooksLikePrompt(std::string_view shown) { return EndsWithOneOf(std::string(shown), kPromptMarks); }

std::optional<ErasedLine> EraseOnScreen(std::string_view line, size_t start) {
  start = std::min(start, line.size());
  std::string screen(line.substr(0, start));
  std::string erased;
  size_t cursor = screen.size();
  bool goesFromCursor = false;  // moved back: what stands from the cursor on goes, unless written over
  // Going back to the text's first visible character, or clearing the line, erases the text.
  bool judged = false;  // once: a line of many moves back costs what its bytes do
  auto erases = [&](size_t to) {
    if (judged) return;
    const size_t visible = screen.find_first_not_of(' ', start);
    if (visible != std::string::npos && to > visible) return;
    judged = true;
    erased = ShownLine(std::string_view(screen).substr(start));
  };
  const std::string_view rest = line.substr(start);
  for (size_t i = 0; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '\x1b') continue;  // the sequences below are told by their "["
    if (c == '\b') {
      if (cursor > start) erases(--cursor);
      goesFromCursor = true;
      continue;
    }
    if (c == '[') {
      size_t end = i + 1;
      while (end < rest.size() && end - i <= 4 && std::isdigit(static_cast<unsigned char>(rest[end]))) ++end;
      const std::string_view count = rest.substr(i + 1, end - i - 1);
      const char command = end < rest.size() ? rest[end] : '\0';
      if (command == 'D') {
        size_t back = count.empty() ? 1 : std::stoul(std::string(count));
        cursor = std::max(start, cursor - std::min(cursor, back));
        erases(cursor);
        goesFromCursor = true;
        i = end;
        continue;
      }
      if (command == 'K' && (count.empty() || count == "0" || count == "2")) {
        // The whole line cleared: what follows starts where the text did, as the listing's
        // own lines do, not indented by the text's length.
        if (count == "2") {
          erases(start);
          cursor = start;
        }
        screen.resize(std::max(start, std::min(cursor, screen.size())));
        i = end;
        continue;
      }
    }
    if (std::exchange(goesFromCursor, false)) screen.resize(std::min(cursor, screen.size()));
    if (cursor < screen.size())
      screen[cursor] = c;
    else
      screen += c;
    ++cursor;
  }
  if (goesFromCursor) screen.resize(std::min(cursor, screen.size()));
  if (erased.empty()) return std::nullopt;
  return ErasedLine{std::move(erased), std::move(screen)};
}

void PromptWatch::Learn(std::string_view fresh) { prompt_ = PromptShape(ShownLine(Tail(fresh))); }

// The prompt itself (in its shape: a clock or a counter in it changes), or the same stem with
// another mark and maybe a mode: the prompt changes with the privilege level and the
// configuration mode.
bool PromptWatch::IsPrompt(const std::string& shown) const {
  const std::string& prompt = *prompt_;
  if (prompt.empty()) return false;
  const std::string line = PromptShape(shown);
  if (line == prompt) return true;
  if (!EndsWithOneOf(prompt, kPromptMarks) || !EndsWithOneOf(line, kPromptMarks)) return false;
  std::string_view stem = Stem(prompt);
  if (stem.empty() || !line.starts_with(stem)) return false;
  std::string_view mode = std::string_view(line).substr(stem.size(), line.size() - stem.size() - 1);
  return mode.empty() ||
         (mode.front() == '(' && mode.back() == ')' && mode.find(')') == mode.size() - 1 && mode.size() > 2);
}

bool PromptWatch::IsLearnedPager(const std::string& shown) const { return !pager_.empty() && shown == pager_; }

bool PromptWatch::AtPager(std::string_view fresh) const {
  const std::string shown = ShownLine(Tail(fresh));
  return IsPagerPrompt(shown) || IsLearnedPager(shown);
}

void PromptWatch::LearnPager(std::string_view shown) {
  if (shown.size() <= kLongestPrompt && !(prompt_ && IsPrompt(std::string(shown)))) pager_ = shown;
}

bool PromptWatch::AtPrompt(std::string_view standing, bool exactly) const {
  if (!prompt_) return false;
  const std::string shown = ShownLine(Tail(standing));
  return exactly ? IsLearnedPrompt(shown) : IsPrompt(shown);
}

bool PromptWatch::IsDevicePrompt(std::string_view shown) const { return prompt_ && IsPrompt(std::string(shown)); }

bool PromptWatch::IsLearnedPrompt(std::string_view shown) const {
  return prompt_ && !prompt_->empty() && PromptShape(shown) == *prompt_;
}

bool PromptWatch::StartsLearnedPrompt(std::string_view shown) const {
  if (!prompt_ || shown.empty()) return false;
  const std::string shape = PromptShape(shown);
  return shape.size() < prompt_->size() && prompt_->starts_with(shape);
}

bool PromptWatch::Waits(std::string_view standing, std::string_view fresh) const {
  std::string freshShown = ShownLine(Tail(fresh));
  if (IsPagerPrompt(freshShown) || IsLearnedPager(freshShown)) return true;
  if (!prompt_) return EndsWithOneOf(freshShown, kQuestionMarks);
  return AtPrompt(standing);
}

}  // namespace mirvale

// The service's shell text rules: a device's output cut into lines as it arrives, split into
// chunks and into the answers of several reads anywhere, gives the lines of the rule as written
// applied to the whole output at once (ESC removed, cursor positioning a line break, trailing
// blanks cut, empty lines dropped, the unfinished line last) once their ESC characters go; the
// prompt watch, the screen's view of a line, the pager prompts and the stored form run on the
// same lines. The output ends at the device's prompt, and the answer to the line break sent
// there, split as well, tells whether the listing is whole: the prompt again (with or without
// the echo of the line break, or wrapped in bracketed-paste marks) says it is, the start of the
// prompt or more output says it is not; whole, the listing loses its prompt lines and nothing
// else. A
// pager's erasing of any line keeps what stood before the pager and never lengthens the line.
// Input: a seed byte pair for the splits (the second's top bits also choose the answer), the
// largest piece, a repeat count, then the output, repeated up to 384 KiB so that a cost that
// grows faster than the bytes shows as a time-out.
#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_trim.h"
#include "service/shell_session/shell_answer_rules.h"
#include "service/shell_session/shell_output_lines.h"
#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_text.h"

namespace {

constexpr size_t kLargestOutput = 384 * 1024;
constexpr std::string_view kPrompt = "Router#";

// The answers to the line break sent at the prompt, and whether each says the listing is whole.
struct Ending {
  std::string answer;
  bool whole;
};
Ending ChosenEnding(unsigned choice, size_t cut) {
  switch (choice % 5) {
    case 0: return {"\r\n" + std::string(kPrompt), true};
    case 1: return {std::string(kPrompt), true};  // a device that echoes nothing
    case 2: return {"\r\n" + std::string(kPrompt.substr(0, cut % (kPrompt.size() - 1) + 1)), false};
    case 3: return {"\x1b[?2004l\r\r\n\x1b[?2004h" + std::string(kPrompt) + " ", true};  // bash
    default: return {"\r\n! more of the listing\r\n" + std::string(kPrompt), false};
  }
}

// The rule as written, on the whole output in one piece.
std::vector<std::string> RuleLines(std::string_view output) {
  std::string text;
  for (char c : output)
    if (c != '\x1b') text += c;
  std::string broken;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '[') {
      size_t end = i + 1;
      while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == ';')) ++end;
      if (end < text.size() && text[end] == 'H') {
        broken += "\r\n";
        i = end + 1;
        continue;
      }
    }
    broken += text[i++];
  }
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at = broken.find_first_of("\r\n"); at != std::string::npos; at = broken.find_first_of("\r\n", start)) {
    std::string line = mirvale::TrimRight(std::string_view(broken).substr(start, at - start));
    if (!line.empty()) lines.push_back(line);
    start = at + 1;
  }
  lines.push_back(broken.substr(start));
  return lines;
}

std::vector<std::string> WithoutEscapes(const std::vector<std::string>& lines) {
  std::vector<std::string> without;
  for (const std::string& line : lines) {
    std::string text;
    for (char c : line)
      if (c != '\x1b') text += c;
    without.push_back(text);
  }
  return without;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 5) return 0;
  using namespace mirvale;
  std::minstd_rand splits(static_cast<unsigned>(data[0] | data[1] << 8) + 1u);
  const size_t largestPiece = data[2] % 128 + 1;
  const size_t repeat = data[3] + 1;
  const std::string_view pattern(reinterpret_cast<const char*>(data + 4), size - 4);
  std::string output;
  for (size_t i = 0; i < repeat && output.size() + pattern.size() <= kLargestOutput; ++i) output += pattern;
  output += "\r\n" + std::string(kPrompt);
  const Ending ending = ChosenEnding(data[1] >> 5, data[2]);

  OutputLines lines;
  PromptWatch watch;
  std::vector<std::string> collected;
  bool firstRead = true;
  auto read = [&] {
    if (firstRead) {
      collected = lines.Fresh();
      watch.Learn(lines.StandingFresh());
    } else if (lines.AnyFresh()) {
      AddAnswer(collected, lines.SinceSend());
    }
    (void)watch.Waits(lines.Standing(), lines.StandingFresh());
    firstRead = false;
    lines.NextAnswer();
  };
  for (size_t at = 0; at < output.size();) {
    size_t piece = std::min(output.size() - at, splits() % largestPiece + 1);
    lines.Append(std::string_view(output).substr(at, piece));
    at += piece;
    if (splits() % 16 == 0) read();
  }
  read();

  std::vector<std::string> rule = RuleLines(output);
  if (WithoutEscapes(collected) != rule) __builtin_trap();

  const std::string prompt = ShownLine(collected.back());
  for (size_t at = 0; at < ending.answer.size();) {
    size_t piece = std::min(ending.answer.size() - at, splits() % largestPiece + 1);
    lines.Append(std::string_view(ending.answer).substr(at, piece));
    at += piece;
  }
  if (PromptCameBack(lines.SinceSend(), prompt) != ending.whole) __builtin_trap();
  while (!collected.empty() && ShownLine(collected.back()) == prompt) {
    collected.pop_back();
    rule.pop_back();
  }
  if (WithoutEscapes(collected) != rule) __builtin_trap();
  // A pager's erasing keeps what stood before the pager and never adds to the line.
  for (const std::string& line : collected) {
    (void)CleanShellLine(line);
    // The screen never shows more than the line holds.
    if (ScreenLine(line).size() > line.size()) __builtin_trap();
    const size_t pagerStart = line.size() / 2;
    if (const auto erased = EraseOnScreen(line, pagerStart)) {
      const std::string& screen = erased->screen;
      if (screen.size() > line.size() || screen.compare(0, pagerStart, line, 0, pagerStart) != 0) __builtin_trap();
    }
  }
  return 0;
}

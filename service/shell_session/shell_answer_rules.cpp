#include "service/shell_session/shell_answer_rules.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

constexpr size_t kShownLength = 80;
// What a device may say while it closes after the prompt and the echo ("logout").
constexpr size_t kLinesAfterTheLastPrompt = 3;
constexpr std::array<std::string_view, 10> kRefusalStarts = {
    "access denied",     "invalid password",   "bad secret", "bad password",   "authentication failed",
    "permission denied", "password incorrect", "incorrect",  "wrong password", "error"};

std::string Shortened(const std::string& shown) {
  return shown.size() > kShownLength ? shown.substr(0, kShownLength) + "..." : shown;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

// The shown line is the device's prompt followed by the echo of `piece`, or the prompt alone
// when `piece` is empty.
bool IsPromptWith(const std::string& shown, std::string_view piece, const PromptWatch& prompt) {
  if (!shown.ends_with(piece)) return false;
  return prompt.IsDevicePrompt(Trim(std::string_view(shown).substr(0, shown.size() - piece.size())));
}

}  // namespace

bool IsRefusalLine(std::string_view shown) {
  if (IsDeviceErrorLine(shown)) return true;
  const std::string lower = Lower(shown.substr(0, 64));
  return std::any_of(kRefusalStarts.begin(), kRefusalStarts.end(),
                     [&](std::string_view start) { return lower.starts_with(start); });
}

std::string LoginStepRefusal(const OutputLines::Answer& answer, std::string_view sent, bool alive, bool privileged) {
  const std::vector<std::string>& lines = answer.lines;
  // lines[0] continues the line of the question: the echo of what was sent, nothing (a password),
  // the device's words on that line, or already the prompt.
  const std::string standing = lines.empty() ? std::string() : ShownLine(lines.back());
  std::string words;
  std::string refusal;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const std::string shown = ShownLine(lines[i]);
    // The echo, which for a password would show the secret.
    if (shown.empty() || (i == 0 && !sent.empty() && shown.find(sent) != std::string::npos)) continue;
    if (words.empty()) words = shown;
    if (refusal.empty() && IsRefusalLine(shown)) refusal = shown;
  }
  const bool atPrompt = alive && LooksLikePrompt(standing);
  if (atPrompt && !(privileged && !refusal.empty())) return {};
  std::string reason = !refusal.empty() ? refusal : !words.empty() ? words : atPrompt ? std::string() : standing;
  if (reason == sent) reason.clear();
  if (alive) return reason.empty() ? "no prompt came" : Shortened(reason);
  return reason.empty() ? "the connection ended" : Shortened(reason) + " (the connection ended)";
}

bool PromptCameBack(const OutputLines::Answer& answer, std::string_view prompt) {
  if (prompt.empty() || answer.lines.empty() || answer.dropsStanding) return false;
  const std::string shape = PromptShape(prompt);
  auto line = answer.lines.begin();
  const std::string same = ShownLine(*line);
  // The echo of the line break leaves the prompt's line as it was.
  if (!same.empty() && PromptShape(same) != shape) return false;
  size_t prompts = same.empty() ? 0 : 1;
  for (++line; line != answer.lines.end(); ++line) {
    const std::string shown = ShownLine(*line);
    // A line the screen shows nothing of: mode switches around the line break (bash's
    // bracketed paste ends with ESC[?2004l CR).
    if (shown.empty()) continue;
    if (PromptShape(shown) != shape) return false;
    ++prompts;
  }
  return prompts > 0;
}

size_t ShownLineCount(const OutputLines::Answer& answer) {
  return static_cast<size_t>(std::count_if(answer.lines.begin(), answer.lines.end(),
                                           [](const std::string& line) { return !ShownLine(line).empty(); }));
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

bool IsEmptyListing(const std::vector<std::string>& lines, const std::vector<std::string>& pieces,
                    const PromptWatch& prompt) {
  return std::all_of(lines.begin(), lines.end(), [&](const std::string& line) {
    const std::string shown = ShownLine(line);
    if (shown.empty() || prompt.IsDevicePrompt(shown)) return true;
    return std::any_of(pieces.begin(), pieces.end(), [&](const std::string& piece) {
      return !piece.empty() && (shown == piece || IsPromptWith(shown, piece, prompt));
    });
  });
}

size_t PromptBeforeClose(const std::vector<std::string>& lines, std::string_view lastPiece, const PromptWatch& prompt) {
  const std::string piece = Trim(lastPiece);
  size_t seen = 0;
  for (size_t i = lines.size(); i > 0 && seen <= kLinesAfterTheLastPrompt; --i) {
    const std::string shown = ShownLine(lines[i - 1]);
    if (shown.empty()) continue;
    if (!piece.empty() && IsPromptWith(shown, piece, prompt)) return i - 1;
    // Closed in the same write as the prompt, before echoing anything.
    if (seen == 0 && prompt.IsDevicePrompt(shown)) return i - 1;
    ++seen;
  }
  return lines.size();
}

}  // namespace mirvale

#include "service/shell_session/shell_output_lines.h"

#include <algorithm>
#include <cctype>

#include "common/text_trim.h"

namespace mirvale {
namespace {

constexpr char kEscape = '\x1b';
// Blanks over a pager prompt are as long as it is: longer ones are output.
constexpr size_t kLongestErase = 256;

bool IsPositionPart(char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == ';'; }

void CutTrailingBlanks(std::string& line) {
  size_t end = line.size();
  while (end > 0 && IsBlank(line[end - 1])) --end;
  line.resize(end);
}

}  // namespace

void OutputLines::Append(std::string_view chunk) {
  if (!chunk.empty()) freshSeen_ = true;
  for (char c : chunk) {
    std::string& line = lines_.back();
    if (c == kEscape) continue;  // ESC goes before positioning is looked for, so "[2" ESC "4H" is one
    if (c == '\r' || c == '\n') {
      cursorStart_ = std::string::npos;
      LineEnd(c == '\r');
      continue;
    }
    if (c == 'H' && cursorStart_ != std::string::npos) {
      line.resize(cursorStart_);
      cursorStart_ = std::string::npos;
      LineEnd(true);
      continue;
    }
    if (c == '[')
      cursorStart_ = line.size();
    else if (!IsPositionPart(c))
      cursorStart_ = std::string::npos;
    line += c;
    if (returnedLine_ != std::string::npos) AfterReturn();
  }
}

void OutputLines::LineEnd(bool returns) {
  const std::string& line = lines_.back();
  if (returnedLine_ != std::string::npos) {
    // Blanks over the returned line erased it; a line feed right after the return kept it.
    if (!line.empty() && line.find_first_not_of(" \t") == std::string::npos) {
      erased_.push_back(returnedLine_);
      returnedLine_ = std::string::npos;
    } else if (!line.empty() || !returns) {
      returnedLine_ = std::string::npos;
    }
  }
  const bool finishes = line.find_first_not_of(" \t") != std::string::npos;
  Break();
  if (finishes) returnedLine_ = returns ? lines_.size() - 2 : std::string::npos;
}

// The unfinished line holds only what came since the return: blanks, an erase to the end of
// the line, or a cursor positioning back to it; anything else (text written over it) ends the wait.
void OutputLines::AfterReturn() {
  const std::string& line = lines_.back();
  if (line == "[K" || line == "[0K" || line == "[2K") {
    erased_.push_back(returnedLine_);
    returnedLine_ = std::string::npos;
    return;
  }
  const size_t text = line.find_first_not_of(" \t");
  if (line.size() <= kLongestErase) {
    if (text == std::string::npos || line == "[" || line == "[0" || line == "[2") return;
    if (text == cursorStart_ && std::all_of(line.begin() + static_cast<long>(text) + 1, line.end(), IsPositionPart))
      return;
  }
  returnedLine_ = std::string::npos;
}

// The unfinished line ends: kept with its trailing blanks cut, or, when nothing else is left of
// it, reused as the next unfinished line.
void OutputLines::Break() {
  std::string& line = lines_.back();
  CutTrailingBlanks(line);
  if (!line.empty()) {
    lines_.emplace_back();
  } else if (lines_.size() == 1) {
    firstIsStanding_ = false;
  }
}

void OutputLines::NextAnswer() {
  lines_.erase(lines_.begin(), lines_.end() - 1);
  erased_.clear();
  returnedLine_ = std::string::npos;
  firstIsStanding_ = true;
  standingLength_ = lines_.front().size();
  freshSeen_ = false;
}

// What stood before the send is not copied: an answer costs what it brought, however long the
// line it continues.
OutputLines::Answer OutputLines::SinceSend() const {
  Answer answer;
  answer.dropsStanding = !firstIsStanding_;
  size_t kept = firstIsStanding_ ? std::min(standingLength_, lines_.front().size()) : 0;
  if (firstIsStanding_) answer.cut = standingLength_ - kept;
  answer.lines.reserve(lines_.size());
  answer.lines.push_back(lines_.front().substr(kept));
  answer.lines.insert(answer.lines.end(), lines_.begin() + 1, lines_.end());
  answer.erased = erased_;
  return answer;
}

// A finished first line that brought nothing new only ended the line that stood at the send.
bool OutputLines::EndedStandingOnly() const {
  return firstIsStanding_ && lines_.size() > 1 && lines_.front().size() <= standingLength_;
}

std::vector<std::string> OutputLines::Fresh() const {
  if (!freshSeen_) return {};
  Answer answer = SinceSend();
  if (EndedStandingOnly()) answer.lines.erase(answer.lines.begin());
  return answer.lines;
}

size_t OutputLines::FreshCount() const {
  if (!freshSeen_) return 0;
  return lines_.size() - (EndedStandingOnly() ? 1 : 0);
}

std::string_view OutputLines::StandingFresh() const {
  std::string_view line = lines_.back();
  if (lines_.size() == 1 && firstIsStanding_) line.remove_prefix(std::min(standingLength_, line.size()));
  return line;
}

void AddAnswer(std::vector<std::string>& collected, const OutputLines::Answer& answer) {
  auto rest = answer.lines.begin();
  if (!collected.empty()) {
    if (answer.dropsStanding) {
      collected.pop_back();
    } else {
      std::string& last = collected.back();
      last.resize(last.size() - std::min(answer.cut, last.size()));
      if (rest != answer.lines.end()) last += *rest++;
    }
  }
  collected.insert(collected.end(), rest, answer.lines.end());
}

}  // namespace mirvale

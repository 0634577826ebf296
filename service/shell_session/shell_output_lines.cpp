#include "service/shell_session/shell_output_lines.h"

#include <algorithm>
#include <cctype>

#include "common/text_trim.h"

namespace mirvale {
namespace {

constexpr char kEscape = '\x1b';

bool IsPositionPart(char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == ';'; }

// ESC characters count as nothing here: the line is cut as it is once they are gone.
void CutTrailingBlanks(std::string& line) {
  size_t end = line.size();
  while (end > 0 && (IsBlank(line[end - 1]) || line[end - 1] == kEscape)) --end;
  line.resize(end);
}

}  // namespace

void OutputLines::Append(std::string_view chunk) {
  if (!chunk.empty()) freshSeen_ = true;
  for (char c : chunk) {
    std::string& line = lines_.back();
    // ESC stays, so that the screen's view of a line (ScreenLine) sees whole control sequences;
    // positioning is looked for as if it were gone, so "[2" ESC "4H" is one.
    if (c == kEscape) {
      line += c;
      continue;
    }
    if (c == '\r' || c == '\n') {
      cursorStart_ = std::string::npos;
      Break();
      continue;
    }
    if (c == 'H' && cursorStart_ != std::string::npos) {
      line.resize(cursorStart_);
      cursorStart_ = std::string::npos;
      Break();
      continue;
    }
    if (c == '[') {
      cursorStart_ = line.size();
      while (cursorStart_ > 0 && line[cursorStart_ - 1] == kEscape) --cursorStart_;
    } else if (!IsPositionPart(c))
      cursorStart_ = std::string::npos;
    line += c;
  }
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

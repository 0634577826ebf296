#include "service/shell_session/shell_output_lines.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "common/text_trim.h"

namespace mirvale {
namespace {

constexpr char kEscape = '\x1b';
// Blanks over a pager prompt are as long as it is: longer ones are output.
constexpr size_t kLongestErase = 256;

bool IsPositionPart(char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == ';'; }

// ESC characters count as nothing here: the line is cut as it is once they are gone.
void CutTrailingBlanks(std::string& line) {
  size_t end = line.size();
  while (end > 0 && (IsBlank(line[end - 1]) || line[end - 1] == kEscape)) --end;
  line.resize(end);
}

}  // namespace

std::string_view OutputLines::Line(size_t index) const {
  if (index == ends_.size()) return unfinished_;
  const size_t start = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(finished_).substr(start, ends_[index] - start);
}

void OutputLines::Append(std::string_view chunk) {
  if (!chunk.empty()) freshSeen_ = true;
  for (char c : chunk) {
    std::string& line = unfinished_;
    // ESC stays, so that the screen's view of a line (ScreenLine) sees whole control sequences;
    // positioning is looked for as if it were gone, so "[2" ESC "4H" is one.
    if (c == kEscape) {
      line += c;
      continue;
    }
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
    if (c == '[') {
      cursorStart_ = line.size();
      while (cursorStart_ > 0 && line[cursorStart_ - 1] == kEscape) --cursorStart_;
    } else if (!IsPositionPart(c))
      cursorStart_ = std::string::npos;
    line += c;
    if (returnedLine_ != std::string::npos) AfterReturn();
  }
}

void OutputLines::LineEnd(bool returns) {
  const std::string& line = unfinished_;
  if (returnedLine_ != std::string::npos) {
    // Blanks over the returned line erased it; a line feed right after the return kept it.
    if (!line.empty() && line.find_first_not_of(" \t") == std::string::npos) {
      erased_.push_back(returnedLine_);
      returnedLine_ = std::string::npos;
    } else if (!line.empty() || !returns) {
      returnedLine_ = std::string::npos;
    }
  }
  const bool finishes = line.find_first_not_of(" \t\x1b") != std::string::npos;
  Break();
  if (finishes) returnedLine_ = returns ? ends_.size() - 1 : std::string::npos;
}

// The unfinished line holds only what came since the return: blanks, an erase to the end of
// the line, or a cursor positioning back to it; anything else (text written over it) ends the
// wait. ESC characters count as nothing here, as in the positioning.
void OutputLines::AfterReturn() {
  const std::string& line = unfinished_;
  if (line.size() > kLongestErase) {
    returnedLine_ = std::string::npos;
    return;
  }
  std::string shown;
  std::copy_if(line.begin(), line.end(), std::back_inserter(shown), [](char c) { return c != kEscape; });
  if (shown == "[K" || shown == "[0K" || shown == "[2K") {
    erased_.push_back(returnedLine_);
    returnedLine_ = std::string::npos;
    return;
  }
  const size_t text = shown.find_first_not_of(" \t");
  if (text == std::string::npos || shown == "[" || shown == "[0" || shown == "[2") return;
  if (cursorStart_ != std::string::npos && shown[text] == '[' &&
      std::all_of(shown.begin() + static_cast<long>(text) + 1, shown.end(), IsPositionPart))
    return;
  returnedLine_ = std::string::npos;
}

// The unfinished line ends: kept with its trailing blanks cut, or, when nothing else is left of
// it, reused as the next unfinished line.
void OutputLines::Break() {
  std::string& line = unfinished_;
  CutTrailingBlanks(line);
  if (!line.empty()) {
    finished_ += line;
    ends_.push_back(finished_.size());
    line.clear();
  } else if (ends_.empty()) {
    firstIsStanding_ = false;
  }
}

void OutputLines::NextAnswer() {
  // What the lines held is given back, not kept for the next answer.
  std::string().swap(finished_);
  std::vector<size_t>().swap(ends_);
  erased_.clear();
  returnedLine_ = std::string::npos;
  firstIsStanding_ = true;
  standingLength_ = unfinished_.size();
  freshSeen_ = false;
}

// What stood before the send is not copied: an answer costs what it brought, however long the
// line it continues.
OutputLines::Answer OutputLines::SinceSend() const {
  Answer answer;
  answer.dropsStanding = !firstIsStanding_;
  const std::string_view first = Line(0);
  size_t kept = firstIsStanding_ ? std::min(standingLength_, first.size()) : 0;
  if (firstIsStanding_) answer.cut = standingLength_ - kept;
  answer.lines.reserve(Count());
  answer.lines.emplace_back(first.substr(kept));
  for (size_t index = 1; index < Count(); ++index) answer.lines.emplace_back(Line(index));
  answer.erased = erased_;
  return answer;
}

// A finished first line that brought nothing new only ended the line that stood at the send.
bool OutputLines::EndedStandingOnly() const {
  return firstIsStanding_ && Count() > 1 && Line(0).size() <= standingLength_;
}

std::vector<std::string> OutputLines::Fresh() const {
  if (!freshSeen_) return {};
  Answer answer = SinceSend();
  if (EndedStandingOnly()) answer.lines.erase(answer.lines.begin());
  return answer.lines;
}

size_t OutputLines::FreshCount() const {
  if (!freshSeen_) return 0;
  return Count() - (EndedStandingOnly() ? 1 : 0);
}

std::string_view OutputLines::StandingFresh() const {
  std::string_view line = unfinished_;
  if (Count() == 1 && firstIsStanding_) line.remove_prefix(std::min(standingLength_, line.size()));
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

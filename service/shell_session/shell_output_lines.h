#pragma once
// Terminal output cut into lines as it arrives, in time linear in the bytes: cursor positioning
// ("[" row ";" column "H", ESC characters not counted) becomes a line break, lines are kept with
// trailing blanks cut, empty lines are dropped, and the last line is the unfinished one. ESC
// characters stay in the lines, so that what the screen shows can be told (ScreenLine); the
// stored form drops them (CleanShellLine). The state runs on
// across chunks and across the texts sent, so however the output is split into chunks and reads,
// the lines are the same: a line the device had not finished when a read ended is continued by
// the next read, never lost, cut or joined to another. The finished lines are held as one text
// with their ends, so what a conversation holds costs little more than the bytes it read.
#include <string>
#include <string_view>
#include <vector>

namespace mirvale {

class OutputLines {
 public:
  void Append(std::string_view chunk);
  // A text was sent: the finished lines go; the line the output stands on stays first.
  void NextAnswer();

  // What the output since the last text sent adds to the lines collected before.
  struct Answer {
    // The line the output stood on at the send ended blank, so it went; else it loses its last
    // `cut` characters (trailing blanks cut when it ended, or a cursor positioning inside it)
    // and lines[0] continues it.
    bool dropsStanding = false;
    size_t cut = 0;
    std::vector<std::string> lines;
    // The finished lines (indices into lines) the device went back to the start of and blanked:
    // a carriage return or cursor positioning not followed by a line feed, then blanks or an
    // erase to the end of the line ("[K", "[2K"). A pager erases itself so; a listing's lines
    // stay on the screen.
    std::vector<size_t> erased;
  };
  Answer SinceSend() const;
  // The same as they arrived since the text was sent: the first without what stood before it,
  // and none when nothing arrived.
  std::vector<std::string> Fresh() const;
  size_t FreshCount() const;
  bool AnyFresh() const { return freshSeen_; }
  // The line the output stands on now, whole, and the part of it that arrived since the send.
  const std::string& Standing() const { return unfinished_; }
  std::string_view StandingFresh() const;

 private:
  void Break();
  // The unfinished line ends; `returns`: the cursor went back to its start, without a line feed.
  void LineEnd(bool returns);
  // What came since a line was finished by a return: blanks, or the start of an erase.
  void AfterReturn();
  bool EndedStandingOnly() const;
  size_t Count() const { return ends_.size() + 1; }
  std::string_view Line(size_t index) const;  // the finished ones, then the unfinished one
  // The finished lines one after the other, where each of them ends, and the last line, which is
  // never finished yet.
  std::string finished_;
  std::vector<size_t> ends_;
  std::string unfinished_;
  size_t standingLength_ = 0;  // of the first line, when it is the line that stood at the send
  bool firstIsStanding_ = false;
  bool freshSeen_ = false;
  size_t cursorStart_ = std::string::npos;  // a "[" of the unfinished line that may start positioning
  size_t returnedLine_ = std::string::npos;  // the line a return went back to, until what follows tells
  std::vector<size_t> erased_;               // finished lines the device blanked after a return
};

// Adds an answer to the lines collected before, whose last one is the line the output stood on
// when the text was sent (or its part since the text before).
void AddAnswer(std::vector<std::string>& collected, const OutputLines::Answer& answer);

}  // namespace mirvale

#include "service/shell_session/shell_session_text.h"

#include <algorithm>

namespace mirvale {
namespace {

constexpr std::string_view kScriptSeparator = "\\r";
constexpr std::string_view kControlPrefix = "CNTL/";
constexpr char kEscape = '\x1b';
constexpr char kBell = '\x07';
// A count in a control sequence beyond this moves no further than the line is long anyway.
constexpr size_t kLargestCount = 1u << 20;

bool InRange(char c, char low, char high) { return c >= low && c <= high; }

// One line of the device's screen: overwritten where the cursor stands, with cursor moves and
// erasing that never cost more than the characters they remove.
class Screen {
 public:
  void Put(char c) {
    if (cursor_ < text_.size())
      text_[cursor_] = c;
    else
      text_ += c;
    ++cursor_;
  }
  void Backspace() {
    if (cursor_ == 0) return;
    if (cursor_ == text_.size()) text_.pop_back();
    --cursor_;
  }
  void Left(size_t count) { cursor_ -= std::min(count, cursor_); }
  void Right(size_t count) { cursor_ = std::min(text_.size(), cursor_ + count); }
  void Column(size_t column) { cursor_ = std::min(text_.size(), column == 0 ? 0 : column - 1); }
  void EraseToEnd() { text_.resize(cursor_); }
  // What stood on the line goes; as the text is trimmed when judged, the cursor may go home.
  void EraseLine() {
    text_.clear();
    cursor_ = 0;
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
  size_t cursor_ = 0;
};

// Applies or skips the control sequence at line[start] (an ESC); returns the index of its last
// character. A sequence cut off by the line's end goes whole.
size_t ApplyEscape(std::string_view line, size_t start, Screen& screen) {
  size_t i = start + 1;
  if (i >= line.size()) return line.size();
  const char kind = line[i];
  if (kind == '[') {
    size_t count = 0;
    bool counted = false;
    bool first = true;  // only the first parameter counts
    for (++i; i < line.size() && InRange(line[i], 0x30, 0x3f); ++i) {
      if (line[i] == ';') first = false;
      if (first && InRange(line[i], '0', '9')) {
        count = std::min(kLargestCount, count * 10 + static_cast<size_t>(line[i] - '0'));
        counted = true;
      }
      if (line[i] == '?' || line[i] == '>' || line[i] == '<' || line[i] == '=') first = false;
    }
    while (i < line.size() && InRange(line[i], 0x20, 0x2f)) ++i;
    if (i >= line.size()) return line.size();
    if (!InRange(line[i], 0x40, 0x7e)) return i - 1;  // broken off: the next character is text again
    const size_t moves = counted && count > 0 ? count : 1;
    switch (line[i]) {
      case 'D': screen.Left(moves); break;
      case 'C': screen.Right(moves); break;
      case 'G': screen.Column(moves); break;
      case 'K':
        if (!counted || count == 0)
          screen.EraseToEnd();
        else if (count == 2)
          screen.EraseLine();
        break;
      default: break;  // colours, modes, scrolling: nothing on the line changes
    }
    return i;
  }
  if (kind == ']' || kind == 'P' || kind == 'X' || kind == '^' || kind == '_') {
    // A string: up to BEL (OSC) or the string terminator ESC backslash.
    for (++i; i < line.size(); ++i) {
      if (line[i] == kBell && kind == ']') return i;
      if (line[i] == kEscape && i + 1 < line.size() && line[i + 1] == '\\') return i + 1;
    }
    return line.size();
  }
  // Charset and mode switches: intermediates, then one final character.
  while (i < line.size() && InRange(line[i], 0x20, 0x2f)) ++i;
  if (i >= line.size()) return line.size();
  return InRange(line[i], 0x30, 0x7e) ? i : i - 1;
}

std::string ExpandControls(std::string_view piece) {
  std::string out;
  for (size_t i = 0; i < piece.size();) {
    if (piece.substr(i, kControlPrefix.size()) == kControlPrefix && i + kControlPrefix.size() < piece.size()) {
      char c = piece[i + kControlPrefix.size()];
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 1);
      else if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 1);
      out += c;
      i += kControlPrefix.size() + 1;
    } else {
      out += piece[i++];
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> ScriptPieces(std::string_view script) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t sep = script.find(kScriptSeparator); sep != std::string_view::npos;
       sep = script.find(kScriptSeparator, start)) {
    pieces.push_back(ExpandControls(Trim(script.substr(start, sep - start))));
    start = sep + kScriptSeparator.size();
  }
  if (start < script.size()) pieces.push_back(ExpandControls(Trim(script.substr(start))));
  return pieces;
}

std::string OneLineScript(std::string_view command) {
  std::string script(command);
  if (!command.ends_with(kScriptSeparator)) script += kScriptSeparator;
  return script;
}

bool IsDeviceErrorLine(std::string_view line) {
  const std::string text = TrimLeft(line);
  return text.starts_with("% ") || text.starts_with("Error");
}

std::string CleanShellLine(std::string_view line) {
  std::string built;
  for (char c : line) {
    if (c == kEscape) continue;
    if (c == '\b') {
      if (!built.empty()) built.pop_back();
    } else {
      built += c;
    }
  }
  return TrimRight(built);
}

std::string ScreenLine(std::string_view line) {
  Screen screen;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == kEscape)
      i = ApplyEscape(line, i, screen);
    else if (c == '\b')
      screen.Backspace();
    else if (c == '\t' || !(static_cast<unsigned char>(c) < 0x20 || c == 0x7f))
      screen.Put(c);
  }
  return screen.Take();
}

}  // namespace mirvale

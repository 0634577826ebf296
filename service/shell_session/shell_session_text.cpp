#include "service/shell_session/shell_session_text.h"

#include <cctype>

namespace mirvale {
namespace {

constexpr std::string_view kScriptSeparator = "\\r";
constexpr std::string_view kControlPrefix = "CNTL/";

void RemoveEscapes(std::string& text) { std::erase(text, '\x1b'); }

// "[24;1H" and its like start a new line.
void CursorPositionsToBreaks(std::string& text) {
  size_t from = 0;
  while ((from = text.find('[', from)) != std::string::npos) {
    size_t end = from + 1;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == ';')) ++end;
    if (end < text.size() && text[end] == 'H') {
      text.replace(from, end - from + 1, "\r\n");
      from += 2;
    } else {
      ++from;
    }
  }
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

void AppendOutputChunk(std::vector<std::string>& lines, std::string_view chunk) {
  bool hadLines = !lines.empty();
  std::string text = hadLines ? lines.back() : std::string();
  text.append(chunk);
  RemoveEscapes(text);
  CursorPositionsToBreaks(text);

  bool storedOne = false;
  auto store = [&](std::string line) {
    if (!storedOne && hadLines)
      lines.back() = std::move(line);
    else
      lines.push_back(std::move(line));
    storedOne = true;
  };
  size_t start = 0;
  for (size_t brk = text.find_first_of("\r\n"); brk != std::string::npos; brk = text.find_first_of("\r\n", start)) {
    std::string line = TrimRight(std::string_view(text).substr(start, brk - start));
    start = brk + 1;
    if (!line.empty()) store(std::move(line));
  }
  store(text.substr(start));
}

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
    if (c == '\b') {
      if (!built.empty()) built.pop_back();
    } else {
      built += c;
    }
  }
  return TrimRight(built);
}

}  // namespace mirvale

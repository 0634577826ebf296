#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

constexpr std::string_view kScriptSeparator = "\\r";
constexpr std::string_view kControlPrefix = "CNTL/";

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
    if (c == '\b') {
      if (!built.empty()) built.pop_back();
    } else {
      built += c;
    }
  }
  return TrimRight(built);
}

}  // namespace mirvale

#include "service/exports/database_export_connection_text.h"

#include <cctype>
#include <utility>

namespace mirvale {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A value travels in braces, with "}" doubled, when it holds what would end or open a pair.
std::string Pair(std::string_view keyword, const std::string& value) {
  bool plain = value.find_first_of(";{}=") == std::string::npos &&
               (value.empty() || (value.front() != ' ' && value.back() != ' '));
  if (plain) return std::string(keyword) + "=" + value + ";";
  std::string quoted;
  for (char c : value) quoted += c == '}' ? std::string("}}") : std::string(1, c);
  return std::string(keyword) + "={" + quoted + "};";
}

// A pair's value from position on: in braces (with "}}" for "}") up to the closing brace, else
// up to the next ";". The value, and where its pair ends.
std::pair<std::string, size_t> ReadValue(std::string_view text, size_t position) {
  if (position < text.size() && text[position] == '{') {
    std::string value;
    for (size_t at = position + 1; at < text.size(); ++at) {
      if (text[at] != '}') {
        value += text[at];
      } else if (at + 1 < text.size() && text[at + 1] == '}') {
        value += '}';
        ++at;
      } else {
        size_t end = text.find(';', at);
        return {value, end == std::string_view::npos ? text.size() : end};
      }
    }
  }
  size_t end = text.find(';', position);
  if (end == std::string_view::npos) end = text.size();
  return {std::string(text.substr(position, end - position)), end};
}

// "host,port" as the server pieces of the PostgreSQL driver.
std::string ServerPairs(const std::string& value) {
  size_t comma = value.find(',');
  if (comma == std::string::npos) return Pair("Server", value);
  return Pair("Server", value.substr(0, comma)) + Pair("Port", value.substr(comma + 1));
}

}  // namespace

std::optional<std::string> ConnectionValue(std::string_view text, std::string_view keyword) {
  std::string upper = Upper(text);
  size_t position = 0;
  while (position <= text.size()) {
    size_t start = position;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
    if (upper.compare(start, keyword.size(), keyword) == 0) return ReadValue(text, start + keyword.size()).first;
    // Skip this pair, a braced value included.
    size_t equals = text.find('=', start);
    size_t semicolon = text.find(';', start);
    if (equals != std::string_view::npos && (semicolon == std::string_view::npos || equals < semicolon))
      position = ReadValue(text, equals + 1).second + 1;
    else
      position = semicolon == std::string_view::npos ? text.size() + 1 : semicolon + 1;
  }
  return std::nullopt;
}

bool IsFileExport(std::string_view userText) { return Upper(userText).find(".MDB") != std::string::npos; }

std::optional<std::string> ExportFilePath(std::string_view userText, std::string& refusal) {
  if (!IsFileExport(userText)) return std::nullopt;
  auto value = ConnectionValue(userText, "DBQ=");
  if (!value) return std::nullopt;
  // The path goes to the driver as one attribute: nothing in it may read as another.
  std::string upper = Upper(userText);
  size_t typed = upper.find("DBQ=");
  bool braced = typed != std::string::npos && typed + 4 < userText.size() && userText[typed + 4] == '{';
  if (braced || value->find_first_of("{};=") != std::string::npos) {
    refusal = "the DBQ= value is not a plain file path (it holds braces, \";\" or \"=\")";
    return std::nullopt;
  }
  return value;
}

std::string BuildExportConnectionText(std::string_view userText) {
  if (IsFileExport(userText)) {
    std::string text = std::string("Driver={") + kFileDriverName + "};";
    std::string refusal;
    if (auto path = ExportFilePath(userText, refusal)) text += Pair("Database", *path);
    return text;
  }
  std::string text = std::string("Driver={") + kServerDriverName + "};";
  if (auto server = ConnectionValue(userText, "SERVER=")) text += ServerPairs(*server);
  if (auto address = ConnectionValue(userText, "ADDRESS=")) text += ServerPairs(*address);
  if (auto database = ConnectionValue(userText, "DATABASE=")) text += Pair("Database", *database);
  if (auto user = ConnectionValue(userText, "UID=")) text += Pair("UID", *user);
  if (auto password = ConnectionValue(userText, "PWD=")) text += Pair("PWD", *password);
  return text;
}

}  // namespace mirvale

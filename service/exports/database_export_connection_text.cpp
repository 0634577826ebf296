#include "service/exports/database_export_connection_text.h"

#include <cctype>

namespace mirvale {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A value that holds ";" or starts with "{" must travel in braces.
std::string Pair(std::string_view keyword, const std::string& value) {
  bool braced = value.size() >= 2 && value.front() == '{' && value.back() == '}';
  if (!braced && (value.find(';') != std::string::npos || (!value.empty() && value.front() == '{'))) {
    return std::string(keyword) + "={" + value + "};";
  }
  return std::string(keyword) + "=" + value + ";";
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
    size_t end;
    if (upper.compare(start, keyword.size(), keyword) == 0) {
      size_t valueStart = start + keyword.size();
      if (valueStart < text.size() && text[valueStart] == '{') {
        size_t close = text.find('}', valueStart);
        if (close != std::string_view::npos) return std::string(text.substr(valueStart, close - valueStart + 1));
      }
      end = text.find(';', valueStart);
      return std::string(text.substr(valueStart, end == std::string_view::npos ? std::string_view::npos : end - valueStart));
    }
    // Skip this pair, braces included.
    end = start;
    bool inBraces = false;
    while (end < text.size() && (inBraces || text[end] != ';')) {
      if (text[end] == '{') inBraces = true;
      if (text[end] == '}') inBraces = false;
      ++end;
    }
    position = end + 1;
  }
  return std::nullopt;
}

std::string BuildExportConnectionText(std::string_view userText) {
  if (Upper(userText).find(".MDB") != std::string::npos) {
    std::string text = std::string("Driver={") + kFileDriverName + "};";
    if (auto path = ConnectionValue(userText, "DBQ=")) text += Pair("Database", *path);
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

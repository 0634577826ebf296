#include "desktop/pools/list_export.h"

#include <algorithm>
#include <cctype>

namespace mirvale {
namespace {

std::string Cell(std::string text, ExportKind kind) {
  if (!text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos) text.insert(0, "'");
  if (kind == ExportKind::Text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
  }
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void AppendLine(std::string& out, const std::vector<std::string>& cells, ExportKind kind) {
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) out += kind == ExportKind::Csv ? ',' : '\t';
    out += Cell(cells[i], kind);
  }
  out += "\r\n";
}

}  // namespace

ExportKind ExportKindOfPath(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".csv") == 0 ? ExportKind::Csv : ExportKind::Text;
}

std::string ListExportText(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows,
                           ExportKind kind) {
  std::string out;
  AppendLine(out, titles, kind);
  for (const auto& row : rows) AppendLine(out, row, kind);
  return out;
}

}  // namespace mirvale

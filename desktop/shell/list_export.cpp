#include "desktop/shell/list_export.h"

#include <cctype>
#include <fstream>

#include <sys/stat.h>

namespace mirvale {
namespace {

std::string GuardFormula(const std::string& cell) {
  if (!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@')) return "'" + cell;
  return cell;
}

std::string CsvCell(const std::string& cell) {
  std::string guarded = GuardFormula(cell);
  if (guarded.find_first_of(",\"\r\n") == std::string::npos) return guarded;
  std::string quoted = "\"";
  for (char c : guarded) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A tab-separated cell cannot hold the separator or a line end: each becomes a blank.
std::string TextCell(const std::string& cell) {
  std::string flat = GuardFormula(cell);
  for (char& c : flat)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return flat;
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
  return true;
}

}  // namespace

std::string ExportPathFor(const std::string& path, const std::string& selectedFilter) {
  if (EndsWithNoCase(path, ".csv") || EndsWithNoCase(path, ".txt")) return path;
  return path + (selectedFilter.find("*.txt") != std::string::npos ? ".txt" : ".csv");
}

bool ExportPathReplacesUnasked(const std::string& typed, const std::string& file) {
  struct stat info {};
  return file != typed && stat(file.c_str(), &info) == 0;
}

std::string ReplaceQuestionFor(const std::string& file) {
  return file.substr(file.find_last_of('/') + 1) + " already exists.\nDo you want to replace it?";
}

ListExportType ExportTypeFor(const std::string& path) {
  return EndsWithNoCase(path, ".txt") ? ListExportType::Text : ListExportType::Csv;
}

std::string FormatExportLine(const std::vector<std::string>& cells, ListExportType type) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) line += type == ListExportType::Csv ? ',' : '\t';
    line += type == ListExportType::Csv ? CsvCell(cells[i]) : TextCell(cells[i]);
  }
  return line + "\r\n";
}

bool ExportListToFile(const std::string& path, ListExportType type, const std::vector<std::string>& headings,
                      const std::vector<std::vector<std::string>>& rows) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file << FormatExportLine(headings, type);
  for (const auto& row : rows) file << FormatExportLine(row, type);
  file.close();
  return !file.fail();
}

}  // namespace mirvale

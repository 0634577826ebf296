#pragma once
// ExportListToFile: a list's headings and rows written as CSV (comma separated, RFC 4180
// quoting) or as text (tab separated), each line ended by CR LF. The Scan pane and the results
// views export through it. Cells that a spreadsheet would take for a formula (starting with =,
// +, - or @) get a leading apostrophe.
#include <string>
#include <vector>

namespace mirvale {

enum class ListExportType { Csv, Text };

// The path a save dialog's choice stands for: a name that ends in neither ".csv" nor ".txt" gets
// the chosen filter's extension (".csv" unless the text filter was chosen).
std::string ExportPathFor(const std::string& path, const std::string& selectedFilter);
// Whether the file the extension was added for already exists: the save dialog asked about the
// typed name only, so replacing that file needs its own question.
bool ExportPathReplacesUnasked(const std::string& typed, const std::string& file);
// The question for it, naming the file.
std::string ReplaceQuestionFor(const std::string& file);
// The file type the path's extension stands for: text for ".txt", else CSV.
ListExportType ExportTypeFor(const std::string& path);

std::string FormatExportLine(const std::vector<std::string>& cells, ListExportType type);

// Creates or truncates path and writes the headings and the rows; false when the file cannot be
// created or written whole.
bool ExportListToFile(const std::string& path, ListExportType type, const std::vector<std::string>& headings,
                      const std::vector<std::vector<std::string>>& rows);

// What the views show when an export fails.
inline constexpr char kExportFailedText[] = "Export failed, please check your access permissions.";

}  // namespace mirvale

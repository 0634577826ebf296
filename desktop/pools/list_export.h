#pragma once
// A list written to a file as the administrator's export: the column titles, then one line per
// row, each line ending in CR LF. CSV quotes a cell holding a comma, quote, CR or LF (quotes
// doubled); the tab form turns tabs and line breaks inside a cell into blanks, so each row
// stays one line. A cell starting with = + - or @ gets a leading quote in either form, so a
// spreadsheet does not run it as a formula.
#include <string>
#include <vector>

namespace mirvale {

enum class ExportKind { Csv, Text };

// Csv for a name ending in ".csv" (any case), else Text.
ExportKind ExportKindOfPath(const std::string& path);

std::string ListExportText(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows,
                           ExportKind kind);

}  // namespace mirvale

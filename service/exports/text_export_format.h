#pragma once
// The text exports' layout: a header line and one line per stored value, CR LF ended, fields
// joined by TAB (Mirvale.txt) or "," (Mirvale.csv). A value without a previous date has seven
// fields, the others nine.
#include <string>
#include <string_view>
#include <vector>

#include "service/exports/database_export_rows.h"

namespace mirvale {

enum class TextExportForm { Tab, Comma };

// The file's whole content.
std::string FormatTextExport(const std::vector<ExportValueRow>& rows, TextExportForm form);

// A CSV field: quoted, with quotes doubled, when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view field);

// A value for the tab form: tabs and line breaks become blanks.
std::string TabField(std::string_view field);

}  // namespace mirvale

#include "service/exports/text_export_format.h"

namespace mirvale {

namespace {

constexpr char kTabHeader[] =
    "Device Ip\tDevice Name\tDevice Pool\tQuery Name\tQuery Oid\tQuery Value\tQuery Date\t"
    "Previous Value\tPrevious Date\r\n";
constexpr char kCommaHeader[] =
    "Device Ip,Device Name,Device Pool,Query Name,Query Oid,Query Value,Query Date,"
    "Previous Value,Previous Date\r\n";

}  // namespace

std::string CsvField(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string TabField(std::string_view field) {
  // The tab form has no quoting: a tab or line break inside a value would split its row, so
  // each becomes a blank and every record stays one line of nine (or seven) columns.
  std::string plain(field);
  for (char& c : plain)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return plain;
}

std::string FormatTextExport(const std::vector<ExportValueRow>& rows, TextExportForm form) {
  bool comma = form == TextExportForm::Comma;
  std::string out = comma ? kCommaHeader : kTabHeader;
  auto field = [&](const std::string& text) { return comma ? CsvField(text) : TabField(text); };
  char separator = comma ? ',' : '\t';
  for (const ExportValueRow& row : rows) {
    std::vector<std::string> fields = {row.address, row.deviceName, row.pool, row.queryName, row.key,
                                       row.value, ExportDateText(row.time)};
    if (!row.prevTime.empty()) {
      fields.push_back(row.prevValue);
      fields.push_back(ExportDateText(row.prevTime));
    }
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += separator;
      out += field(fields[i]);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace mirvale

#include "service/store/audit_lines.h"

#include "service/host/local_time_text.h"

namespace mirvale {

namespace {

std::string TabField(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  return out;
}

std::string CommaField(std::string_view value) {
  std::string out;
  bool needsQuotes = false;
  for (char c : value) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ',' || c == '"') needsQuotes = true;
    if (c == '"') out += '"';
    out += c;
  }
  return needsQuotes ? "\"" + out + "\"" : out;
}

std::string JoinLine(const std::vector<std::string_view>& fields, bool tabs) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += tabs ? '\t' : ',';
    line += tabs ? TabField(fields[i]) : CommaField(fields[i]);
  }
  return line + "\r\n";
}

std::vector<std::string> LinesInForms(AuditForms forms, const std::vector<std::string_view>& fields) {
  std::vector<std::string> lines;
  if (forms.tabs) lines.push_back(JoinLine(fields, true));
  if (forms.commas) lines.push_back(JoinLine(fields, false));
  return lines;
}

}  // namespace

std::vector<std::string> ScanAuditLines(AuditForms forms, std::time_t when, std::string_view user,
                                        std::string_view pool, std::string_view address, std::string_view name,
                                        std::string_view status) {
  std::string date = FormatLocalDateTime(when);
  return LinesInForms(forms, {date, user, "Scan", pool, address, name, status});
}

std::vector<std::string> SetAuditLines(AuditForms forms, std::time_t when, std::string_view user,
                                       std::string_view oid, std::string_view value, std::string_view pool,
                                       std::string_view address, std::string_view name, std::string_view result) {
  std::string date = FormatLocalDateTime(when);
  std::string operation = "Set " + std::string(oid) + " to " + std::string(value);
  return LinesInForms(forms, {date, user, operation, pool, address, name, result});
}

}  // namespace mirvale

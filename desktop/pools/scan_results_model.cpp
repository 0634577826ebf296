#include "desktop/pools/scan_results_model.h"

#include <climits>

namespace mirvale {
namespace {

size_t Indent(const std::string& line) {
  size_t spaces = line.find_first_not_of(' ');
  return spaces == std::string::npos ? line.size() : spaces;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::vector<QueryResultRow> QueryResultRows(const CDbItem& device) {
  std::vector<QueryResultRow> rows;
  for (const auto& [key, value] : device.m_pQueries) {
    rows.push_back({value->m_strName.empty() ? value->m_strQueryOid : value->m_strName, key, value->m_strValue,
                    value->m_strTime, value->m_strPrevValue, value->m_strPrevTime});
    if (rows.back().label.empty()) rows.back().label = key;
  }
  return rows;
}

ConfigurationPanes ConfigurationOf(const CDbItem& device) {
  ConfigurationPanes panes;
  const std::string& scanTime = device.m_strScanTime;
  for (long number = 1; number < LONG_MAX; ++number) {
    const CDbQuery* line = device.m_pQueries.Find(std::to_string(number));
    if (!line) break;
    const bool current = !line->m_strValue.empty() && line->m_strTime == scanTime;
    if (current) panes.current.push_back(line->m_strValue);
    if (!line->m_strPrevValue.empty() && line->m_strPrevTime != scanTime) {
      panes.previous.push_back(line->m_strPrevValue);
      panes.previousTime = line->m_strPrevTime;
    } else if (current) {
      panes.previous.push_back(line->m_strValue);
    }
  }
  // A device none of whose lines has an earlier value has no previous configuration at all.
  if (panes.previousTime.empty()) panes.previous.clear();
  if (!panes.current.empty()) panes.currentTime = scanTime;
  return panes;
}

CommandPath CommandPathOf(const std::vector<std::string>& lines, size_t row) {
  CommandPath path;
  if (row >= lines.size()) return path;
  path.parameters = Trim(lines[row]);
  size_t smallest = Indent(lines[row]);
  std::string enclosing;
  for (size_t at = row; at-- > 0 && smallest > 0;) {
    const size_t indent = Indent(lines[at]);
    if (indent < smallest && !Trim(lines[at]).empty()) {
      smallest = indent;
      enclosing = enclosing.empty() ? lines[at] : lines[at] + "\\r" + enclosing;
    }
  }
  path.command = enclosing.empty() ? lines[row] : enclosing;
  return path;
}

bool ScanReachedDevice(const std::string& status) { return status.rfind("Finished", 0) == 0; }

}  // namespace mirvale

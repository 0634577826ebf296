#include "desktop/pools/scan_results_model.h"

#include "common/configuration_lines.h"
#include "common/status_texts.h"

namespace mirvale {

QueryResultRow QueryResultRowOf(const std::string& key, const CDbQuery& value) {
  QueryResultRow row{value.m_strName.empty() ? value.m_strQueryOid : value.m_strName, key, value.m_strValue,
                     value.m_strTime, value.m_strPrevValue, value.m_strPrevTime};
  if (row.label.empty()) row.label = key;
  return row;
}

std::vector<QueryResultRow> QueryResultRows(const CDbItem& device) {
  std::vector<QueryResultRow> rows;
  for (const auto& [key, value] : device.m_pQueries) rows.push_back(QueryResultRowOf(key, *value));
  return rows;
}

ConfigurationPanes ConfigurationOf(const CDbItem& device) {
  ConfigurationPanes panes;
  const std::string& scanTime = device.m_strScanTime;
  for (const CDbQuery* line : ConfigurationLines(device)) {
    const bool current = IsCurrentLine(*line, device);
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

bool ScanReachedDevice(const std::string& status) { return status == kStatusChanged || status == kStatusUnchanged; }

}  // namespace mirvale

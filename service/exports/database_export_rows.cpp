#include "service/exports/database_export_rows.h"

#include <cstdlib>
#include <ctime>

#include "service/host/local_time_text.h"

namespace mirvale {

std::vector<ExportValueRow> CollectExportRows(const DeviceDatabaseMap& database) {
  std::vector<ExportValueRow> rows;
  for (const auto& [deviceKey, device] : database) {
    for (const auto& [valueKey, value] : device->m_pQueries) {
      rows.push_back({device->m_strAddress, device->m_strName, device->m_strPool, value->m_strName,
                      value->m_strKey, value->m_strValue, value->m_strTime, value->m_strPrevValue,
                      value->m_strPrevTime});
    }
  }
  return rows;
}

std::string ExportDateText(const std::string& decimalSeconds) {
  if (decimalSeconds.empty()) return {};
  return FormatLocalDateTime(static_cast<std::time_t>(std::strtoll(decimalSeconds.c_str(), nullptr, 10)));
}

}  // namespace mirvale

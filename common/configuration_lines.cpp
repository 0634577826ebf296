#include "common/configuration_lines.h"

namespace mirvale {

std::string ConfigurationLineKey(size_t position) { return std::to_string(position + 1); }

std::vector<const CDbQuery*> ConfigurationLines(const CDbItem& device) {
  std::vector<const CDbQuery*> lines;
  for (size_t position = 0;; ++position) {
    const CDbQuery* line = device.m_pQueries.Find(ConfigurationLineKey(position));
    if (!line) break;
    lines.push_back(line);
  }
  return lines;
}

bool IsCurrentLine(const CDbQuery& line, const CDbItem& device) {
  return !line.m_strValue.empty() && line.m_strTime == device.m_strScanTime;
}

}  // namespace mirvale

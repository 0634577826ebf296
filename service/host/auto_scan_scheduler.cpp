#include "service/host/auto_scan_scheduler.h"

namespace mirvale {

int LocalWeekday(const std::tm& local) { return local.tm_wday == 0 ? 7 : local.tm_wday; }

std::vector<std::string> AutoScanScheduler::DuePools(const CMirvaleDoc& settings, std::time_t now) {
  std::vector<std::string> due;
  if (!settings.m_bAutoScan) return due;
  std::tm local{};
  localtime_r(&now, &local);
  long hour = (static_cast<long>(local.tm_year) * 400 + local.tm_yday) * 24 + local.tm_hour;
  if (lastCheckedHour_ == hour) return due;
  lastCheckedHour_ = hour;
  for (const auto& [key, entry] : settings.m_mapAutoScan) {
    if (!entry->m_bEnabled || entry->m_nHour != static_cast<uint32_t>(local.tm_hour)) continue;
    if (entry->m_nDay != 0 && entry->m_nDay != static_cast<uint32_t>(LocalWeekday(local))) continue;
    due.push_back(entry->m_strPool);
  }
  return due;
}

}  // namespace mirvale

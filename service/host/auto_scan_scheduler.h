#pragma once
// When automatic scans fall due. The main loop asks on every tick; entries are checked on the
// first tick of each distinct local (date, hour), so no hour is skipped by drifting ticks and
// no hour is checked twice, not even the repeated hour when clocks go back.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "common/mirvale_doc.h"

namespace mirvale {

class AutoScanScheduler {
 public:
  // Pools to scan now, in the map's order. With m_bAutoScan off nothing is due and the hour
  // stays unchecked, so switching it on makes the next tick check.
  std::vector<std::string> DuePools(const CMirvaleDoc& settings, std::time_t now);

 private:
  std::optional<long> lastCheckedHour_;
};

// Local weekday numbered Monday = 1 ... Sunday = 7.
int LocalWeekday(const std::tm& local);

}  // namespace mirvale

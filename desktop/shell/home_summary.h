#pragma once
// What the Home pane tells about the last scan and the settings, without widgets: the four
// device counts, the headline, which review links are live, the overall state (the colour of
// the band) and the four status texts.
#include <QString>

#include "common/database_files.h"
#include "common/mirvale_doc.h"

namespace mirvale {

enum class HomeState { NoScan = 0, NothingChanged = 1, Changed = 2, AllFailed = 3 };

enum class DeviceGroup { Changed = 0, Unchanged = 1, Unreachable = 2, Failed = 3 };

struct HomeSummary {
  bool hasScan = false;
  long counts[4] = {0, 0, 0, 0};  // by DeviceGroup
  bool linkLive[4] = {false, false, false, false};
  QString headline;
  HomeState state = HomeState::NoScan;
  QString schedule, actions, exportState, service;

  long Count(DeviceGroup group) const { return counts[static_cast<int>(group)]; }
  bool LinkLive(DeviceGroup group) const { return linkLive[static_cast<int>(group)]; }
};

// The group a device's status puts it in, tested in the order changed, unchanged, unreachable,
// failed; -1 for a status in none of them (for example a scan still collecting).
int GroupOfStatus(const std::string& status);

// scanLoaded: the store's last scan-database load succeeded; followingOwnScan: this desktop
// follows the manual scan it asked for (see ManualScanUnderWay).
HomeSummary SummariseHome(bool scanLoaded, const ScanDatabaseHeader& header, const ScanDatabaseMap& scan,
                          const CMirvaleDoc& doc, bool serviceRunning, bool followingOwnScan);

// The service's state as the status block shows it.
QString ServiceStateText(bool running);

// The scan's start time (decimal seconds since 1970) as the user's locale writes date and time.
QString ScanStartText(const std::string& secondsSince1970);

}  // namespace mirvale

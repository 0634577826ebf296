#include "desktop/shell/manual_scan_state.h"

#include "common/status_texts.h"

namespace mirvale {

bool ManualScanUnderWay(const CMirvaleDoc& doc, const ScanDatabaseHeader& header, bool followingOwnScan) {
  if (followingOwnScan) return true;
  return !doc.m_strScanPool.empty() && header.m_strScanStatus == kScanRunning;
}

}  // namespace mirvale

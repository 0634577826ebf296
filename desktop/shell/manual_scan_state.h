#pragma once
// Whether a manual scan is replacing the stored results, as the Home and Scan panes judge it.
#include "common/database_files.h"
#include "common/mirvale_doc.h"

namespace mirvale {

// This desktop's own request counts from the moment it is made (followingOwnScan); another
// member's, read from the settings, only while the scan database says a scan runs: a request
// whose desktop went away before its scan ended is never cleared, and must not leave every other
// desktop waiting for it.
bool ManualScanUnderWay(const CMirvaleDoc& doc, const ScanDatabaseHeader& header, bool followingOwnScan);

}  // namespace mirvale

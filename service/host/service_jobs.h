#pragma once
// The work the main worker starts on threads of their own: pool scans, device scans, set and
// restore requests, exports and the three actions. Each is a hook, so that the thread bodies
// live in their own files and tests can put recorders in their place; an empty hook drops the
// job. DefaultServiceJobs wires the service's real thread bodies.
#include <functional>
#include <memory>
#include <string>

#include "common/mirvale_doc.h"
#include "service/actions/action_requests.h"
#include "service/host/manual_event.h"

namespace mirvale {

class CMirvaleFrm;

struct ScanRequest {
  bool automatic = false;
  std::string pool;
  std::string user;  // "System" for automatic scans
  // The scan's own stop event, set by code 137 (which stops every scan asked for and not yet
  // ended, manual or automatic). Shared with the scan's device threads.
  std::shared_ptr<ManualEvent> stopScan;
};

// One address of a running pool scan.
struct DeviceScanJob {
  std::string address;
  std::string pool;
  std::string user;
  std::string scanStart;  // the scan header's start time, decimal seconds
  std::shared_ptr<const CPoolItem> poolSettings;  // shared read-only by the scan's devices
  std::shared_ptr<const CMirvaleDoc> settings;
  std::shared_ptr<ManualEvent> stopScan;
};

struct ServiceJobs {
  std::function<void(CMirvaleFrm&, const ScanRequest&)> poolScan;
  std::function<void(CMirvaleFrm&, const DeviceScanJob&)> deviceScan;
  std::function<void(CMirvaleFrm&)> restore;
  std::function<void(CMirvaleFrm&)> textExport;
  std::function<void(CMirvaleFrm&)> databaseExport;
  ActionHooks actions;
};

ServiceJobs DefaultServiceJobs();

}  // namespace mirvale

#pragma once
// The pool scan thread: under the scan lock (one pool scan at a time) it marks the scan
// "Running", expands the pool into addresses, runs one device scan per address with at most 64
// at once, then marks it "Finished", saves both databases, tells the desktop program and starts
// the enabled exports. A stop request (code 137, or the service stopping) starts no further
// devices and ends the walks of those already started at their next step; a scan stopped while
// it waited for the scan lock starts none.
#include "service/host/mirvale_frm.h"

namespace mirvale {

inline constexpr int kMaxDeviceThreads = 64;

class CMirvaleScan {
 public:
  CMirvaleScan(CMirvaleFrm& owner, ScanRequest request) : owner_(owner), request_(std::move(request)) {}
  void Run();

 private:
  void ScanDevices(const std::shared_ptr<const CMirvaleDoc>& settings, const std::shared_ptr<const CPoolItem>& pool);
  bool StopRequested() const;

  CMirvaleFrm& owner_;
  ScanRequest request_;
};

}  // namespace mirvale

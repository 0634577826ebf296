#include "service/mirvale_scan.h"

#include <condition_variable>

#include "service/pool_address_list.h"
#include "service/update_notice.h"

namespace mirvale {

bool CMirvaleScan::StopRequested() const {
  return (request_.stopScan && request_.stopScan->IsSet()) || owner_.ServiceStop().IsSet();
}

void CMirvaleScan::Run() {
  std::lock_guard scanLock(owner_.ScanLock());
  ServiceDataStore& data = owner_.Data();
  data.BeginScanStatus(owner_.Now());
  auto settings = owner_.Settings();
  if (const CPoolItem* found = settings->m_mapPools.Find(request_.pool)) {
    // A copy the device threads share read-only, whatever a reload does to the settings.
    auto pool = std::make_shared<const CPoolItem>(*found);
    data.SetScanPoolAndTotal(request_.pool, static_cast<long>(CountPoolAddresses(*pool)));
    ScanDevices(settings, pool);
  }
  data.FinishScanStatus();
  SendUpdateNotice();
  owner_.StartExports(settings->m_bExportText || settings->m_bExportCsv,
                      settings->m_bExportSql || settings->m_bExportAccess);
  data.EndScanRunning();
}

void CMirvaleScan::ScanDevices(const std::shared_ptr<const CMirvaleDoc>& settings,
                               const std::shared_ptr<const CPoolItem>& pool) {
  const auto& deviceScan = owner_.Jobs().deviceScan;
  std::string scanStart = owner_.Data().ScanHeader().m_strScanStart;
  // Shared with the device threads, which may report after this function has returned.
  struct Slots {
    std::mutex mutex;
    std::condition_variable freed;
    int running = 0;
  };
  auto slots = std::make_shared<Slots>();

  ForEachPoolAddress(*pool, [&](const std::string& address) {
    {
      std::unique_lock lock(slots->mutex);
      slots->freed.wait(lock, [&] { return slots->running < kMaxDeviceThreads; });
      ++slots->running;
    }
    DeviceScanJob job{address, request_.pool, request_.user, scanStart, pool, settings, request_.stopScan};
    auto finished = [slots] {
      std::lock_guard lock(slots->mutex);
      --slots->running;
      slots->freed.notify_all();
    };
    CMirvaleFrm& owner = owner_;
    bool started = deviceScan && owner_.Threads().Start("CConfigurationDevice", [&owner, job, finished, &deviceScan] {
      deviceScan(owner, job);
      finished();
    });
    if (!started) finished();
    if (request_.stopScan) request_.stopScan->WaitFor(std::chrono::milliseconds(1));
    return !StopRequested();
  });

  std::unique_lock lock(slots->mutex);
  slots->freed.wait(lock, [&] { return slots->running == 0; });
}

}  // namespace mirvale

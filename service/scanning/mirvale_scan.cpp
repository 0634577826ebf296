#include "service/scanning/mirvale_scan.h"

#include <condition_variable>

#include "service/host/update_notice.h"
#include "service/scanning/pool_address_list.h"

namespace mirvale {

namespace {

// How often a running scan writes Mirvale.sdb at most; the desktop program reads it once a
// second while it follows the scan.
constexpr std::chrono::milliseconds kScanSaveInterval{250};

// The device threads of one scan; shared with them, as they may end after the scan has
// stopped waiting for them.
class DeviceSlots {
 public:
  // Takes a slot, waiting while every slot is in use; idle runs at least by each deadline it
  // returns (the scan's saves are due then).
  template <typename Idle>
  void Take(Idle&& idle) {
    std::unique_lock lock = WaitUntil([this] { return running_ < kMaxDeviceThreads; }, idle);
    ++running_;
  }
  template <typename Idle>
  void WaitUntilAllFree(Idle&& idle) {
    WaitUntil([this] { return running_ == 0; }, idle);
  }
  void Give() {
    std::lock_guard lock(mutex_);
    --running_;
    freed_.notify_all();
  }

 private:
  // Returns with the lock held and ready() true.
  template <typename Ready, typename Idle>
  std::unique_lock<std::mutex> WaitUntil(Ready ready, Idle& idle) {
    auto due = idle();
    std::unique_lock lock(mutex_);
    while (!ready()) {
      if (freed_.wait_until(lock, due, ready)) break;
      lock.unlock();
      due = idle();
      lock.lock();
    }
    return lock;
  }

  std::mutex mutex_;
  std::condition_variable freed_;
  int running_ = 0;
};

// Gives a device thread's slot back however the thread ends.
class SlotRelease {
 public:
  explicit SlotRelease(std::shared_ptr<DeviceSlots> slots) : slots_(std::move(slots)) {}
  ~SlotRelease() { slots_->Give(); }
  SlotRelease(const SlotRelease&) = delete;
  SlotRelease& operator=(const SlotRelease&) = delete;

 private:
  std::shared_ptr<DeviceSlots> slots_;
};

}  // namespace

bool CMirvaleScan::StopRequested() const {
  return (request_.stopScan && request_.stopScan->IsSet()) || owner_.ServiceStop().IsSet();
}

void CMirvaleScan::Run() {
  std::lock_guard scanLock(owner_.ScanLock());
  ServiceDataStore& data = owner_.Data();
  auto settings = owner_.Settings();
  const CPoolItem* found = settings->m_mapPools.Find(request_.pool);
  // A copy the device threads share read-only, whatever a reload does to the settings.
  auto pool = found ? std::make_shared<const CPoolItem>(*found) : nullptr;
  if (pool) LogScatteredMasks(request_.pool, *pool, "scan");
  data.BeginScanStatus(owner_.Now(), request_.pool, pool ? static_cast<long>(CountPoolAddresses(*pool)) : 0);
  if (pool) ScanDevices(settings, pool);
  data.FinishScanStatus();
  SendUpdateNotice();
  // A long scan may outlive the switches it started with: the exports follow the current ones.
  owner_.StartEnabledExports();
  data.EndScanRunning();
}

void CMirvaleScan::ScanDevices(const std::shared_ptr<const CMirvaleDoc>& settings,
                               const std::shared_ptr<const CPoolItem>& pool) {
  const auto& deviceScan = owner_.Jobs().deviceScan;
  ServiceDataStore& data = owner_.Data();
  std::string scanStart = data.ScanHeader().m_strScanStart;
  auto slots = std::make_shared<DeviceSlots>();
  auto saveWhenDue = [&data] { return data.SaveScanChangesWhenDue(kScanSaveInterval); };

  ForEachPoolAddress(*pool, [&](const std::string& address) {
    // A scan stopped while it waited for the scan lock, or for a slot, starts nothing more.
    slots->Take(saveWhenDue);
    if (StopRequested()) {
      slots->Give();
      return false;
    }
    DeviceScanJob job{address, request_.pool, request_.user, scanStart, pool, settings, request_.stopScan};
    CMirvaleFrm& owner = owner_;
    bool started = deviceScan && owner_.Threads().Start("CConfigurationDevice", [&owner, job, slots, &deviceScan] {
      SlotRelease release(slots);
      deviceScan(owner, job);
    });
    if (!started) slots->Give();
    // The stop event is tested without waiting, so that starting devices costs no more than
    // the threads themselves.
    return !StopRequested();
  });
  slots->WaitUntilAllFree(saveWhenDue);
}

}  // namespace mirvale

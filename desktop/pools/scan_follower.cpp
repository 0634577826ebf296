#include "desktop/pools/scan_follower.h"

#include <charconv>

#include "common/desktop_database_store.h"
#include "common/status_texts.h"
#include "desktop/shell/post_to_gui_thread.h"

namespace mirvale {

namespace {

constexpr int kMaxUnreadableWaits = 60;
// A request the service dropped (its pool is gone, the service stopped) never begins: once no
// scan has run for this many passes, the following ends. A scan running before it is waited
// for, however long it takes.
constexpr int kMaxIdleWaits = 60;

long long Seconds(const std::string& text) {
  long long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

bool RequestedScan::IsOwnScan(const ScanDatabaseHeader& header) const {
  const long long start = Seconds(header.m_strScanStart);
  return header.m_strScanPool == pool && start >= requestedAt && start > knownStart;
}

ScanFollower::ScanFollower(DesktopDatabaseStore& store, RequestedScan requested, std::chrono::milliseconds interval,
                           QObject* parent)
    : QObject(parent), store_(store), requested_(std::move(requested)), interval_(interval) {}

ScanFollower::~ScanFollower() {
  {
    std::lock_guard lock(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ScanFollower::Start() {
  std::lock_guard lock(lock_);
  if (running_) return;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

bool ScanFollower::Running() const {
  std::lock_guard lock(lock_);
  return running_;
}

bool ScanFollower::WaitOrStop() {
  std::unique_lock lock(lock_);
  return !wake_.wait_for(lock, interval_, [this] { return stop_; });
}

void ScanFollower::Run() {
  // Before its scan has begun the service may not have written the scan database yet: an
  // unreadable one ends the following only after a minute of such waits.
  int unreadableWaits = 0;
  int idleWaits = 0;
  bool ownSeen = false;
  for (;;) {
    if (!store_.LoadScanDatabase()) {
      if (ownSeen || ++unreadableWaits > kMaxUnreadableWaits || !WaitOrStop()) break;
      continue;
    }
    auto snapshot = std::make_shared<ScanSnapshot>();
    snapshot->header = store_.ScanHeader();
    if (!requested_.IsOwnScan(snapshot->header)) {
      idleWaits = snapshot->header.m_strScanStatus == kScanRunning ? 0 : idleWaits + 1;
      if (idleWaits > kMaxIdleWaits || !WaitOrStop()) break;
      continue;
    }
    ownSeen = true;
    store_.CopyScanMap(snapshot->map);
    const bool finished = snapshot->header.m_strScanStatus == kScanFinished;
    std::shared_ptr<const ScanSnapshot> posted = std::move(snapshot);
    // Queued to this object's thread; dropped when the follower is gone by then.
    PostToGuiThread(this, [this, posted] { emit snapshotRead(posted); });
    if (finished || !WaitOrStop()) break;
  }
  {
    std::lock_guard lock(lock_);
    if (stop_) return;
  }
  store_.LoadDatabase();
  PostToGuiThread(this, [this] {
    {
      std::lock_guard lock(lock_);
      running_ = false;
    }
    emit scanEnded();
  });
}

}  // namespace mirvale

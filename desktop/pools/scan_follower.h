#pragma once
// Follows one manual pool scan: on a thread of its own it reloads the scan database once a
// second and posts what it read to the GUI thread as a snapshot; when the scan database says
// "Finished" (or can no longer be read) it reloads the device database and posts the end. It
// never touches a widget, and the GUI thread never waits for it.
//
// The service answers the start request before its scan thread has written anything (and a
// scan already running keeps it waiting), so what the scan database holds at first is an
// earlier scan's. A database whose header is not the requested scan's is read past, unposted,
// until a minute passed with no scan running at all: the service dropped the request.
#include <QObject>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "common/database_files.h"

namespace mirvale {

class DesktopDatabaseStore;

// Which scan database header belongs to the scan the pane asked for: the requested pool,
// started no earlier than the request's second and later than the scan known before it (the
// service never gives two scans the same start second).
struct RequestedScan {
  std::string pool;
  long long requestedAt = 0;  // seconds since 1970
  long long knownStart = 0;   // start of the scan database read before the request

  bool IsOwnScan(const ScanDatabaseHeader& header) const;
};

struct ScanSnapshot {
  ScanDatabaseHeader header;
  ScanDatabaseMap map;
};

class ScanFollower : public QObject {
  Q_OBJECT
 public:
  ScanFollower(DesktopDatabaseStore& store, RequestedScan requested,
               std::chrono::milliseconds interval = std::chrono::milliseconds(1000), QObject* parent = nullptr);
  ~ScanFollower() override;  // stops following and waits for the thread

  void Start();
  bool Running() const;

 signals:
  // On the GUI thread, in the order the passes were made.
  void snapshotRead(std::shared_ptr<const mirvale::ScanSnapshot> snapshot);
  void scanEnded();  // the device database has been reloaded

 private:
  void Run();
  bool WaitOrStop();  // false when asked to stop

  DesktopDatabaseStore& store_;
  const RequestedScan requested_;
  const std::chrono::milliseconds interval_;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool running_ = false;
  std::thread thread_;
};

}  // namespace mirvale

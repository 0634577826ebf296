#pragma once
// The service's in-memory device and scan databases with their data-store lock, and the
// operations through which scan, device, action and request threads read and change them.
// Every operation holds the lock for its whole run; the lock is re-entrant so that an operation
// may save inside its own hold, and the prune and the pool scan may hold it around several.
#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/database_files.h"
#include "platform/retry.h"
#include "service/store/device_bytes_bound.h"
#include "service/store/ordered_file_writer.h"

namespace mirvale {

// Shell lines stored by a device's last scan: line text (as stored) -> line number.
using PreviousLines = std::map<std::string, std::string>;

class ServiceDataStore {
 public:
  explicit ServiceDataStore(std::string programFolder);

  // Reads Mirvale.db with the policy's attempts; the map keeps what it held when all fail.
  void LoadDatabase(const platform::RetryPolicy& policy = {});
  // One attempt each; a failure is dropped (the next save repairs it). The content is taken
  // under the lock and written after it, so stores go on while the disk works.
  void SaveDatabase();
  void SaveScanDatabase();
  // Saves again each file whose last save failed (a full disk), so what it holds reaches disk
  // once there is room.
  void SaveFailedFilesAgain();

  // Status changes of a running scan: the device threads note them, the pool scan writes them
  // once the last save of Mirvale.sdb is interval old, so a scan of many addresses does not
  // rewrite the file for each of them. Returns when to ask again.
  void NoteScanChange();
  std::chrono::steady_clock::time_point SaveScanChangesWhenDue(std::chrono::milliseconds interval);

  // A pool scan starts: running flag on, status "Running", its start time, pool and address
  // count, an empty scan map, saved in one write. The start time is later than the previous
  // scan's (one second on when both fall in the same second): a follower tells its own scan
  // from the one before by the start time and pool, so no two scans may share them.
  void BeginScanStatus(std::time_t now, const std::string& pool, long total);
  // The scan ends: status "Finished", then the device and the scan database are saved.
  void FinishScanStatus();
  void EndScanRunning() { scanRunning_ = false; }
  bool ScanRunning() const { return scanRunning_; }
  ScanDatabaseHeader ScanHeader() const;

  void SetScanRecord(const std::string& pool, const std::string& address, const std::string& name,
                     const std::string& status);
  bool AddDevice(const std::string& pool, const std::string& address, const std::string& name,
                 const std::string& interfaces, const std::string& addresses);
  // Sets the device's scan time and status; an empty one keeps what is there.
  void UpdateDevice(const std::string& pool, const std::string& address, const std::string& scanTime,
                    const std::string& status);
  // Keeps the device's stored bytes within their bound once its scan at scanTime has stored
  // its values (see KeepWithinBound).
  DeviceTrim KeepDeviceWithinBound(const std::string& pool, const std::string& address, const std::string& scanTime);
  // True when the value changed; false for a first value and for a device that does not exist.
  bool StoreQueryValue(const std::string& pool, const std::string& address, const std::string& time,
                       const std::string& key, const std::string& queryOid, const std::string& name,
                       const std::string& value);
  bool StoreSetValue(const std::string& pool, const std::string& address, const std::string& time,
                     const std::string& key, const std::string& value);
  // Copies every field but m_strQueryOid into record; false when device or value is absent.
  bool FindQueryValue(const std::string& deviceKey, const std::string& valueKey, CDbQuery& record) const;
  PreviousLines CollectPreviousLines(const std::string& pool, const std::string& address) const;
  // Stores a shell device's configuration under the line keys, each line first shown to check
  // beside the lines of the device's last scan; true when a line changed.
  bool StoreConfigurationLines(const std::string& pool, const std::string& address, const std::string& time,
                               const std::vector<std::string>& lines,
                               const std::function<void(const std::string& line, const PreviousLines& previous)>& check);

  // For the prune, the exports and tests: runs fn with both maps under the lock.
  void WithDatabases(const std::function<void(DeviceDatabaseMap& devices, ScanDatabaseMap& scans)>& fn);
  std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(m_csData); }

  std::string DeviceDatabasePath() const;
  std::string ScanDatabasePath() const;

 private:
  bool StoreValue(const std::string& pool, const std::string& address, const std::string& time, const std::string& key,
                  const std::function<void(CDbQuery&)>& describe, const std::string& value);

  std::string programFolder_;
  mutable std::recursive_mutex m_csData;
  DeviceDatabaseMap m_mapDatabase;
  ScanDatabaseMap m_mapScan;
  ScanDatabaseHeader header_;
  std::atomic<bool> scanRunning_{false};
  bool scanChanged_ = false;
  std::chrono::steady_clock::time_point lastScanSave_{};
  OrderedFileWriter deviceFile_;
  OrderedFileWriter scanFile_;
};

}  // namespace mirvale

#pragma once
// The desktop program's in-memory copy of the two database files. One lock guards the scan
// header and both maps; views take deep copies, look up one device, or remove records. A load
// reads the file (with its retries and pauses) outside that lock and only swaps the result in
// under it, so a view never waits on a file; loads are serialised by a lock of their own. A
// failed load leaves what was in memory.
#include <mutex>
#include <string>

#include "common/database_files.h"
#include "platform/retry.h"

namespace mirvale {

class DesktopDatabaseStore {
 public:
  explicit DesktopDatabaseStore(std::string programFolder, platform::RetryPolicy policy = {});

  // Read <programFolder>/Mirvale.db or Mirvale.sdb with the policy's attempts.
  bool LoadDatabase();
  bool LoadScanDatabase();  // also sets ScanLoaded()

  // Deep copies into the caller's map; a key it already holds is overwritten.
  void CopyScanMap(ScanDatabaseMap& destination) const;
  void CopyDatabaseMap(DeviceDatabaseMap& destination) const;

  // Copies the device under key into record; false (record unchanged) when absent.
  bool GetDbItem(const std::string& key, CDbItem& record) const;
  bool RemoveDbItem(const std::string& key);
  bool RemoveDbQuery(const std::string& deviceKey, const std::string& queryKey);

  ScanDatabaseHeader ScanHeader() const;
  bool ScanLoaded() const;  // whether the last LoadScanDatabase succeeded
  const std::string& ProgramFolder() const { return m_strProgramFolder; }

 private:
  const std::string m_strProgramFolder;
  const platform::RetryPolicy policy_;
  std::mutex m_csLoad;  // one load at a time, so an older read never replaces a newer one
  mutable std::mutex m_csData;
  ScanDatabaseHeader header_;
  bool m_bScanLoaded = false;
  ScanDatabaseMap m_mapScan;
  DeviceDatabaseMap m_mapDatabase;
};

}  // namespace mirvale

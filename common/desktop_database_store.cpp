#include "common/desktop_database_store.h"

#include "platform/folders.h"

namespace mirvale {

namespace {

// Every failed attempt is followed by its pause, the last one as well: a load that fails has
// waited five times one second.
platform::RetryPolicy WithPauseAfterLast(platform::RetryPolicy policy) {
  policy.pauseAfterLast = true;
  return policy;
}

}  // namespace

DesktopDatabaseStore::DesktopDatabaseStore(std::string programFolder, platform::RetryPolicy policy)
    : m_strProgramFolder(std::move(programFolder)), policy_(WithPauseAfterLast(std::move(policy))) {}

bool DesktopDatabaseStore::LoadDatabase() {
  const std::string path = platform::JoinPath(m_strProgramFolder, kDeviceDatabaseFileName);
  std::lock_guard loading(m_csLoad);
  return platform::Retry(
      [&] {
        auto fresh = ReadDeviceDatabaseFile(path);
        if (!fresh) return false;
        std::lock_guard lock(m_csData);
        m_mapDatabase.swap(*fresh);
        return true;
      },
      policy_);
}

bool DesktopDatabaseStore::LoadScanDatabase() {
  const std::string path = platform::JoinPath(m_strProgramFolder, kScanDatabaseFileName);
  std::lock_guard loading(m_csLoad);
  const bool loaded = platform::Retry(
      [&] {
        auto fresh = ReadScanDatabaseFile(path);
        if (!fresh) return false;
        std::lock_guard lock(m_csData);
        header_ = std::move(fresh->header);
        m_mapScan.swap(fresh->map);
        return true;
      },
      policy_);
  std::lock_guard lock(m_csData);
  m_bScanLoaded = loaded;
  return loaded;
}

void DesktopDatabaseStore::CopyScanMap(ScanDatabaseMap& destination) const {
  std::lock_guard lock(m_csData);
  for (const auto& [key, record] : m_mapScan) destination.Set(key, *record);
}

void DesktopDatabaseStore::CopyDatabaseMap(DeviceDatabaseMap& destination) const {
  std::lock_guard lock(m_csData);
  for (const auto& [key, record] : m_mapDatabase) destination.Set(key, *record);
}

bool DesktopDatabaseStore::GetDbItem(const std::string& key, CDbItem& record) const {
  std::lock_guard lock(m_csData);
  const CDbItem* found = m_mapDatabase.Find(key);
  if (!found) return false;
  record = *found;
  return true;
}

bool DesktopDatabaseStore::RemoveDbItem(const std::string& key) {
  std::lock_guard lock(m_csData);
  return m_mapDatabase.Remove(key);
}

bool DesktopDatabaseStore::RemoveDbQuery(const std::string& deviceKey, const std::string& queryKey) {
  std::lock_guard lock(m_csData);
  CDbItem* device = m_mapDatabase.Find(deviceKey);
  return device && device->m_pQueries.Remove(queryKey);
}

ScanDatabaseHeader DesktopDatabaseStore::ScanHeader() const {
  std::lock_guard lock(m_csData);
  return header_;
}

bool DesktopDatabaseStore::ScanLoaded() const {
  std::lock_guard lock(m_csData);
  return m_bScanLoaded;
}

}  // namespace mirvale

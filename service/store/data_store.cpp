#include "service/store/data_store.h"

#include <algorithm>
#include <charconv>

#include "common/configuration_lines.h"
#include "common/status_texts.h"
#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "service/host/local_time_text.h"

namespace mirvale {

ServiceDataStore::ServiceDataStore(std::string programFolder)
    : programFolder_(std::move(programFolder)),
      deviceFile_(platform::JoinPath(programFolder_, kDeviceDatabaseFileName)),
      scanFile_(platform::JoinPath(programFolder_, kScanDatabaseFileName)) {}

std::string ServiceDataStore::DeviceDatabasePath() const {
  return platform::JoinPath(programFolder_, kDeviceDatabaseFileName);
}

std::string ServiceDataStore::ScanDatabasePath() const {
  return platform::JoinPath(programFolder_, kScanDatabaseFileName);
}

void ServiceDataStore::LoadDatabase(const platform::RetryPolicy& policy) {
  std::lock_guard lock(m_csData);
  // Only this service writes the file: when it is not there, waiting does not bring it.
  if (!platform::FileExists(DeviceDatabasePath())) return;
  ServiceLoadDeviceDatabase(DeviceDatabasePath(), m_mapDatabase, policy);
}

void ServiceDataStore::SaveDatabase() {
  OrderedFileWriter::Snapshot snapshot;
  {
    std::lock_guard lock(m_csData);
    snapshot = deviceFile_.Take(EncodeDeviceDatabase(m_mapDatabase));
  }
  deviceFile_.Write(std::move(snapshot));
}

void ServiceDataStore::SaveScanDatabase() {
  OrderedFileWriter::Snapshot snapshot;
  {
    std::lock_guard lock(m_csData);
    snapshot = scanFile_.Take(EncodeScanDatabase(header_, m_mapScan));
    scanChanged_ = false;
    lastScanSave_ = std::chrono::steady_clock::now();
  }
  scanFile_.Write(std::move(snapshot));
}

void ServiceDataStore::SaveFailedFilesAgain() {
  if (deviceFile_.Failing()) SaveDatabase();
  if (scanFile_.Failing()) SaveScanDatabase();
}

void ServiceDataStore::NoteScanChange() {
  std::lock_guard lock(m_csData);
  scanChanged_ = true;
}

std::chrono::steady_clock::time_point ServiceDataStore::SaveScanChangesWhenDue(std::chrono::milliseconds interval) {
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(m_csData);
    // Nothing to write: a change noted from now on is seen by the next call, an interval on.
    if (!scanChanged_) return now + interval;
    if (now < lastScanSave_ + interval) return lastScanSave_ + interval;
  }
  SaveScanDatabase();
  return now + interval;
}

void ServiceDataStore::BeginScanStatus(std::time_t now, const std::string& pool, long total) {
  std::lock_guard lock(m_csData);
  scanRunning_ = true;
  header_.m_strScanStatus = kScanRunning;
  std::time_t previous = 0;
  std::from_chars(header_.m_strScanStart.data(), header_.m_strScanStart.data() + header_.m_strScanStart.size(),
                  previous);
  header_.m_strScanStart = SecondsText(std::max(now, previous + 1));
  header_.m_strScanPool = pool;
  header_.m_strScanTotal = std::to_string(total);
  m_mapScan.clear();
  SaveScanDatabase();
}

void ServiceDataStore::FinishScanStatus() {
  std::lock_guard lock(m_csData);
  header_.m_strScanStatus = kScanFinished;
  SaveDatabase();
  SaveScanDatabase();
}

ScanDatabaseHeader ServiceDataStore::ScanHeader() const {
  std::lock_guard lock(m_csData);
  return header_;
}

void ServiceDataStore::SetScanRecord(const std::string& pool, const std::string& address, const std::string& name,
                                     const std::string& status) {
  std::lock_guard lock(m_csData);
  CScanDbItem& item = m_mapScan.FindOrAdd(DeviceKey(pool, address));
  item.m_strPool = pool;
  item.m_strAddress = address;
  item.m_strName = name;
  item.m_strStatus = status;
}

bool ServiceDataStore::AddDevice(const std::string& pool, const std::string& address, const std::string& name,
                                 const std::string& interfaces, const std::string& addresses) {
  std::lock_guard lock(m_csData);
  CDbItem& item = m_mapDatabase.FindOrAdd(DeviceKey(pool, address));
  item.m_strAddress = address;
  item.m_strName = name;
  item.m_strPool = pool;
  // An empty answer keeps what an earlier scan found.
  if (!interfaces.empty()) item.m_strInterfaces = interfaces;
  if (!addresses.empty()) item.m_strAddresses = addresses;
  return true;
}

void ServiceDataStore::UpdateDevice(const std::string& pool, const std::string& address, const std::string& scanTime,
                                    const std::string& status) {
  std::lock_guard lock(m_csData);
  CDbItem* item = m_mapDatabase.Find(DeviceKey(pool, address));
  if (!item) return;
  if (!scanTime.empty()) item->m_strScanTime = scanTime;
  if (!status.empty()) item->m_strStatus = status;
}

DeviceTrim ServiceDataStore::KeepDeviceWithinBound(const std::string& pool, const std::string& address,
                                                   const std::string& scanTime) {
  std::lock_guard lock(m_csData);
  CDbItem* device = m_mapDatabase.Find(DeviceKey(pool, address));
  return device ? KeepWithinBound(*device, scanTime) : DeviceTrim{};
}

bool ServiceDataStore::StoreValue(const std::string& pool, const std::string& address, const std::string& time,
                                  const std::string& key, const std::function<void(CDbQuery&)>& describe,
                                  const std::string& value) {
  std::lock_guard lock(m_csData);
  CDbItem* device = m_mapDatabase.Find(DeviceKey(pool, address));
  if (!device) return false;
  bool changed = false;
  std::string previousTime;
  std::string previousValue;
  if (const CDbQuery* stored = device->m_pQueries.Find(key); stored && stored->m_strValue != value) {
    changed = true;
    previousTime = stored->m_strTime;
    previousValue = stored->m_strValue;
  }
  CDbQuery& record = device->m_pQueries.FindOrAdd(key);
  record.m_strKey = key;
  record.m_strTime = time;
  record.m_strValue = value;
  describe(record);
  // A change from an empty value keeps the previous pair as it was.
  if (!previousValue.empty()) {
    record.m_strPrevTime = previousTime;
    record.m_strPrevValue = previousValue;
  }
  return changed;
}

bool ServiceDataStore::StoreQueryValue(const std::string& pool, const std::string& address, const std::string& time,
                                       const std::string& key, const std::string& queryOid, const std::string& name,
                                       const std::string& value) {
  return StoreValue(
      pool, address, time, key,
      [&](CDbQuery& record) {
        record.m_strName = name;
        record.m_strQueryOid = queryOid;
      },
      value);
}

bool ServiceDataStore::StoreSetValue(const std::string& pool, const std::string& address, const std::string& time,
                                     const std::string& key, const std::string& value) {
  return StoreValue(
      pool, address, time, key, [](CDbQuery&) {}, value);
}

bool ServiceDataStore::StoreConfigurationLines(
    const std::string& pool, const std::string& address, const std::string& time, const std::vector<std::string>& lines,
    const std::function<void(const std::string& line, const PreviousLines& previous)>& check) {
  const PreviousLines previous = CollectPreviousLines(pool, address);
  bool changed = false;
  for (size_t position = 0; position < lines.size(); ++position) {
    check(lines[position], previous);
    if (StoreQueryValue(pool, address, time, ConfigurationLineKey(position), "", "", lines[position])) changed = true;
  }
  return changed;
}

bool ServiceDataStore::FindQueryValue(const std::string& deviceKey, const std::string& valueKey,
                                      CDbQuery& record) const {
  std::lock_guard lock(m_csData);
  const CDbItem* device = m_mapDatabase.Find(deviceKey);
  const CDbQuery* stored = device ? device->m_pQueries.Find(valueKey) : nullptr;
  if (!stored) return false;
  record.m_strKey = stored->m_strKey;
  record.m_strName = stored->m_strName;
  record.m_strTime = stored->m_strTime;
  record.m_strValue = stored->m_strValue;
  record.m_strPrevTime = stored->m_strPrevTime;
  record.m_strPrevValue = stored->m_strPrevValue;
  return true;
}

PreviousLines ServiceDataStore::CollectPreviousLines(const std::string& pool, const std::string& address) const {
  std::lock_guard lock(m_csData);
  PreviousLines lines;
  const CDbItem* device = m_mapDatabase.Find(DeviceKey(pool, address));
  if (!device) return lines;
  const std::vector<const CDbQuery*> stored = ConfigurationLines(*device);
  for (size_t position = 0; position < stored.size(); ++position)
    if (IsCurrentLine(*stored[position], *device)) lines[stored[position]->m_strValue] = ConfigurationLineKey(position);
  return lines;
}

void ServiceDataStore::WithDatabases(
    const std::function<void(DeviceDatabaseMap& devices, ScanDatabaseMap& scans)>& fn) {
  std::lock_guard lock(m_csData);
  fn(m_mapDatabase, m_mapScan);
}

}  // namespace mirvale

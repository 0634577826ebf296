#pragma once
// The two database files that the service writes and the desktop program reads: Mirvale.db (the
// device database, one bare map of CDbItem) and Mirvale.sdb (the scan database: the
// ScanDatabaseHeader's four texts, then one bare map of CScanDbItem). The layout is always
// chosen by the caller, never guessed from a file name.
#include <optional>
#include <string>
#include <string_view>

#include "common/device_records.h"
#include "common/record_map.h"
#include "platform/retry.h"

namespace mirvale {

inline constexpr char kDeviceDatabaseFileName[] = "Mirvale.db";
inline constexpr char kScanDatabaseFileName[] = "Mirvale.sdb";

enum class DatabaseLayout { Device, Scan };

using DeviceDatabaseMap = RecordMap<CDbItem>;
using ScanDatabaseMap = RecordMap<CScanDbItem>;

struct ScanDatabaseHeader {
  std::string m_strScanStart;   // decimal seconds since 1970
  std::string m_strScanPool;    // pool being scanned or last scanned
  std::string m_strScanStatus;  // "Running", then "Finished"
  std::string m_strScanTotal;   // number of addresses the scan covers, decimal

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& h) {
    v.Field("m_strScanStart", h.m_strScanStart);
    v.Field("m_strScanPool", h.m_strScanPool);
    v.Field("m_strScanStatus", h.m_strScanStatus);
    v.Field("m_strScanTotal", h.m_strScanTotal);
  }
  bool operator==(const ScanDatabaseHeader&) const = default;
};

struct ScanDatabase {
  ScanDatabaseHeader header;
  ScanDatabaseMap map;

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& s) {
    ScanDatabaseHeader::VisitFields(v, s.header);
    v.BareMap("m_mapScan", s.map);
  }
  bool operator==(const ScanDatabase&) const = default;
};

const char* DatabaseFileName(DatabaseLayout layout);

std::string EncodeDeviceDatabase(const DeviceDatabaseMap& map);
std::string EncodeScanDatabase(const ScanDatabaseHeader& header, const ScanDatabaseMap& map);
// Both throw ArchiveError when the bytes do not hold the layout.
DeviceDatabaseMap DecodeDeviceDatabase(std::string_view bytes);
ScanDatabase DecodeScanDatabase(std::string_view bytes);

// One attempt each, replacing the file whole; false when it could not be written.
bool SaveDeviceDatabaseFile(const std::string& path, const DeviceDatabaseMap& map);
bool SaveScanDatabaseFile(const std::string& path, const ScanDatabaseHeader& header,
                          const ScanDatabaseMap& map);

struct ReadFailure {
  bool malformed = false;  // the file was read but does not hold the layout
  std::string reason;
  bool missing = false;  // there is no file
};

// One attempt each; nullopt when the file cannot be read or parsed. Only a regular file is read
// (never through a symbolic link), up to a bound that holds a /16 of devices.
std::optional<DeviceDatabaseMap> ReadDeviceDatabaseFile(const std::string& path, ReadFailure* failure = nullptr);
std::optional<ScanDatabase> ReadScanDatabaseFile(const std::string& path, ReadFailure* failure = nullptr);

// The service's start: reads the device database with the policy's attempts into map. A file
// that exists but still cannot be read or parsed is moved aside to "<path>.bad-<time>" and logged, so the
// next save does not silently replace it; map then keeps what it held. True when read.
bool ServiceLoadDeviceDatabase(const std::string& path, DeviceDatabaseMap& map,
                               const platform::RetryPolicy& policy = {});

// Renames an unreadable stored file to "<path>.bad-<time>", never over an earlier copy, and
// logs it; false when the rename failed.
bool MoveUnreadableFileAside(const std::string& path, std::string_view reason);

}  // namespace mirvale

#include "common/database_files.h"

#include <cstdio>

#include "common/archive_reader.h"
#include "common/archive_writer.h"
#include "platform/atomic_file.h"
#include "platform/event_log.h"
#include "platform/service_control_codes.h"
#include "platform/stored_file.h"

namespace mirvale {

namespace {

// A /16 of devices (65,534) at 16 KiB each: some 100 values of 80 bytes with their previous
// values and the device's own texts, with room to spare.
constexpr uint64_t kMaxDatabaseFileBytes = uint64_t{1} << 30;

template <typename Result, typename Decode>
std::optional<Result> ReadFile(const std::string& path, ReadFailure* failure, Decode decode) {
  platform::StoredFileRead read = platform::ReadStoredFile(path, kMaxDatabaseFileBytes);
  if (!read.bytes) {
    if (failure) *failure = {false, read.refusal, read.missing};
    return std::nullopt;
  }
  try {
    return decode(*read.bytes);
  } catch (const ArchiveError& error) {
    if (failure) *failure = {true, error.what()};
    return std::nullopt;
  }
}

}  // namespace

const char* DatabaseFileName(DatabaseLayout layout) {
  return layout == DatabaseLayout::Scan ? kScanDatabaseFileName : kDeviceDatabaseFileName;
}

std::string EncodeDeviceDatabase(const DeviceDatabaseMap& map) {
  ArchiveSizeBound bound;
  bound.Map(map);
  ArchiveWriter writer;
  writer.Reserve(bound.Bytes());
  writer.WriteMap(map);
  return writer.TakeBytes();
}

std::string EncodeScanDatabase(const ScanDatabaseHeader& header, const ScanDatabaseMap& map) {
  ArchiveWriter writer;
  ScanDatabaseHeader::VisitFields(writer, header);
  writer.WriteMap(map);
  return writer.TakeBytes();
}

DeviceDatabaseMap DecodeDeviceDatabase(std::string_view bytes) {
  ArchiveReader reader(bytes);
  DeviceDatabaseMap map;
  reader.ReadMap(map);
  return map;
}

ScanDatabase DecodeScanDatabase(std::string_view bytes) {
  ArchiveReader reader(bytes);
  ScanDatabase database;
  ScanDatabase::VisitFields(reader, database);
  return database;
}

bool SaveDeviceDatabaseFile(const std::string& path, const DeviceDatabaseMap& map) {
  return platform::WriteFileAtomically(path, EncodeDeviceDatabase(map));
}

bool SaveScanDatabaseFile(const std::string& path, const ScanDatabaseHeader& header,
                          const ScanDatabaseMap& map) {
  return platform::WriteFileAtomically(path, EncodeScanDatabase(header, map));
}

std::optional<DeviceDatabaseMap> ReadDeviceDatabaseFile(const std::string& path, ReadFailure* failure) {
  return ReadFile<DeviceDatabaseMap>(path, failure, DecodeDeviceDatabase);
}

std::optional<ScanDatabase> ReadScanDatabaseFile(const std::string& path, ReadFailure* failure) {
  return ReadFile<ScanDatabase>(path, failure, DecodeScanDatabase);
}

bool ServiceLoadDeviceDatabase(const std::string& path, DeviceDatabaseMap& map,
                               const platform::RetryPolicy& policy) {
  ReadFailure failure;
  bool read = platform::Retry(
      [&] {
        auto fresh = ReadDeviceDatabaseFile(path, &failure);
        if (!fresh) return false;
        map.swap(*fresh);
        return true;
      },
      policy);
  if (!read && !failure.missing) MoveUnreadableFileAside(path, failure.reason);
  return read;
}

bool MoveUnreadableFileAside(const std::string& path, std::string_view reason) {
  std::optional<std::string> aside = platform::MoveAsideKeepingEarlier(path);
  std::string text = "The file " + path + " cannot be read (" + std::string(reason) + "); ";
  text += aside ? "it was moved to " + *aside + "." : "it could not be moved aside and is left in place.";
  platform::ReportEvent(platform::kMirvaleServiceName, platform::EventType::Error, text);
  return aside.has_value();
}

}  // namespace mirvale

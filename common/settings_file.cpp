#include "common/settings_file.h"

#include <cstdio>
#include <optional>
#include <utility>

#include <sys/stat.h>

#include "common/archive_reader.h"
#include "common/archive_writer.h"
#include "common/database_files.h"
#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/handover_file.h"
#include "platform/stored_file.h"

namespace mirvale {

namespace {

// The file holds the SMTP, SNMP and shell passwords: the service's operators read it, nobody else.
constexpr unsigned kSettingsFileMode = 0640;
// Pools with a /16 of single devices and restore requests carrying whole configurations fit
// many times over.
constexpr uint64_t kMaxSettingsFileBytes = uint64_t{64} << 20;

// Records a settings file may hold in all, counted before any is built: in memory a record
// costs its fields plus about 90 bytes of map entry (an empty restore request some 360 bytes,
// against 14 in the file), so the caps, not the file's bound, keep a file's memory small (all
// of them together under 300 MB). Each is far beyond what an organisation keeps: a pool for
// every device of a /16, four /16s of single devices, four pending requests for every device
// of a /16.
struct SettingsRecordCap {
  ClassId id;
  uint32_t most;
};
constexpr SettingsRecordCap kSettingsRecordCaps[] = {
    {ClassId::PoolItem, 65536},    {ClassId::DeviceItem, 262144},  {ClassId::QueryItem, 262144},
    {ClassId::RestoreItem, 262144}, {ClassId::ActionItem, 65536},  {ClassId::AutoScanItem, 65536},
};

void CapSettingsRecords(ArchiveReader& reader) {
  for (const auto& cap : kSettingsRecordCaps) reader.CapRecords(cap.id, cap.most);
}

platform::StoredFileRead ReadSettingsFile(const std::string& path, std::optional<uid_t> owner = std::nullopt) {
  return platform::ReadStoredFile(path, kMaxSettingsFileBytes, false, owner);
}

// What a name stands for, to tell whether it still names the file that was read.
std::optional<std::pair<dev_t, ino_t>> FileIdentity(const std::string& path) {
  struct stat found {};
  if (lstat(path.c_str(), &found) != 0) return std::nullopt;
  return std::pair{found.st_dev, found.st_ino};
}

}  // namespace

std::string EncodeSettings(const CMirvaleDoc& doc) {
  ArchiveWriter writer;
  CMirvaleDoc::VisitFields(writer, doc);
  return writer.TakeBytes();
}

CMirvaleDoc DecodeSettings(std::string_view bytes) {
  ArchiveReader reader(bytes);
  CapSettingsRecords(reader);
  CMirvaleDoc doc;
  CMirvaleDoc::VisitFields(reader, doc);
  return doc;
}

void CheckSettings(std::string_view bytes) {
  ArchiveReader reader(bytes);
  CapSettingsRecords(reader);
  reader.CheckOnly();
  CMirvaleDoc doc;
  CMirvaleDoc::VisitFields(reader, doc);
}

void ApplyServiceDefaults(CMirvaleDoc& doc) {
  doc.m_strDocName = kServiceVersionText;
  doc.m_bAutoScan = 0;
  doc.m_bScanLog = 0;
  doc.m_bChangesLog = 0;
  doc.m_bLogCsv = 0;
  doc.m_bLogText = 0;
  doc.m_nLogKeep = 0;
  doc.m_nLogKeepUnit = 0;
  doc.m_bExportSql = 0;
  doc.m_bExportAccess = 0;
  doc.m_bExportCsv = 0;
  doc.m_bExportText = 0;
  doc.m_strSmtpPort = "25";
  doc.m_strSmtpTimeout = "1";
  doc.m_strMailSubject = "Oskavel Mirvale message from $device";
  doc.m_strMailBody = "Pool: $pool\r\nAction: $action\r\nDevice: $device\r\nName: $name\r\nDate: $date\r\n";
}

bool DesktopLoadSettings(CMirvaleDoc& doc, const std::string& programFolder,
                         const platform::RetryPolicy& policy) {
  const std::string path = platform::JoinPath(programFolder, kSettingsFileName);
  return platform::Retry(
      [&] {
        auto read = ReadSettingsFile(path);
        if (!read.bytes) return false;
        try {
          doc = DecodeSettings(*read.bytes);
          return true;
        } catch (const ArchiveError&) {
          return false;
        }
      },
      policy);
}

bool DesktopSaveSettings(const CMirvaleDoc& doc, const std::string& dataFolder,
                         const std::function<bool()>& signalService,
                         const platform::RetryPolicy& policy) {
  const std::string bytes = EncodeSettings(doc);
  std::optional<platform::HandedOverFile> handedOver;
  const bool saved = platform::Retry(
      [&] {
        platform::CreateFolderLevels(dataFolder);
        handedOver = platform::HandOverFile(dataFolder, kSettingsFileName, bytes, kSettingsFileMode,
                                            platform::FileGroup::Operators);
        return handedOver && signalService && signalService();
      },
      policy);
  // A save reported as failed must not be carried out later behind the user's back: the file
  // the service did not take goes.
  if (!saved && handedOver) platform::WithdrawHandedOverFile(*handedOver);
  return saved;
}

SettingsLoad ServiceLoadSettings(CMirvaleDoc& doc, const std::string& programFolder) {
  const std::string path = platform::JoinPath(programFolder, kSettingsFileName);
  // Settings the administrator made are never overwritten unseen: a file that is there but
  // cannot be read or parsed is moved aside first.
  auto read = ReadSettingsFile(path);
  if (read.bytes) {
    try {
      doc = DecodeSettings(*read.bytes);
      // The file this service wrote when it had to start on defaults still holds only them, so
      // a restart keeps what defaults mean (nothing is pruned) until real settings arrive.
      CMirvaleDoc defaults;
      ApplyServiceDefaults(defaults);
      return *read.bytes == EncodeSettings(defaults) ? SettingsLoad::Defaults : SettingsLoad::Read;
    } catch (const ArchiveError& error) {
      if (!MoveUnreadableFileAside(path, error.what())) return SettingsLoad::Failed;
    }
  } else if (!read.missing && !MoveUnreadableFileAside(path, read.refusal)) {
    return SettingsLoad::Failed;
  }
  ApplyServiceDefaults(doc);
  return platform::WriteFileAtomically(path, EncodeSettings(doc), kSettingsFileMode, platform::FileGroup::Operators)
             ? SettingsLoad::Defaults
             : SettingsLoad::Failed;
}

bool ServiceSaveSettings(const CMirvaleDoc& doc, const std::string& programFolder,
                         const platform::RetryPolicy& policy) {
  const std::string path = platform::JoinPath(programFolder, kSettingsFileName);
  const std::string bytes = EncodeSettings(doc);
  return platform::Retry(
      [&] { return platform::WriteFileAtomically(path, bytes, kSettingsFileMode, platform::FileGroup::Operators); },
      policy);
}

std::optional<std::string> ServiceTakeOverSettings(const std::string& programFolder, const std::string& source,
                                                   std::optional<uid_t> account) {
  const std::string target = platform::JoinPath(programFolder, kSettingsFileName);

  // Only the account a name says may hand over under it.
  auto read = ReadSettingsFile(source, account);
  if (!read.bytes) {
    // Anything but a plain file (a link, a FIFO, a device) is refused, and the service goes on.
    if (!read.missing) MoveUnreadableFileAside(source, read.refusal);
    return std::nullopt;
  }
  const std::pair readIdentity{read.device, read.inode};
  try {
    CheckSettings(*read.bytes);
  } catch (const ArchiveError& error) {
    // A broken new file must not replace working settings; the service keeps its own.
    MoveUnreadableFileAside(source, error.what());
    return std::nullopt;
  }
  // A file its desktop withdrew meanwhile (it gave up and said so) is not carried out.
  if (FileIdentity(source) != readIdentity) return std::nullopt;
  if (!platform::WriteFileAtomically(target, *read.bytes, kSettingsFileMode, platform::FileGroup::Operators))
    return std::nullopt;
  // A file put in place meanwhile is left for its own request (or the next tick).
  if (FileIdentity(source) == readIdentity) std::remove(source.c_str());
  return std::move(read.bytes);
}

}  // namespace mirvale

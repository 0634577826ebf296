#pragma once
// Mirvale.ini: the settings document in the archive format, and how each program loads and
// saves it. A file is always replaced whole (temporary file, then rename), and a load reads into
// a temporary document that replaces the caller's only when the whole file was read.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "common/mirvale_doc.h"
#include "platform/retry.h"

namespace mirvale {

inline constexpr char kSettingsFileName[] = "Mirvale.ini";
// The service's version text, the title of a settings file it creates.
inline constexpr char kServiceVersionText[] = "2.1";

std::string EncodeSettings(const CMirvaleDoc& doc);
// Throws ArchiveError when the bytes are not a settings document.
CMirvaleDoc DecodeSettings(std::string_view bytes);

// The service's defaults for a new file, applied over what the document holds.
void ApplyServiceDefaults(CMirvaleDoc& doc);

// Desktop start: reads <programFolder>/Mirvale.ini with the policy's attempts. On failure the
// document keeps what it held. Returns whether the file was read.
bool DesktopLoadSettings(CMirvaleDoc& doc, const std::string& programFolder,
                         const platform::RetryPolicy& policy = {});

// Desktop commit: hands the document over in dataFolder (creating it) under the account's own
// name, Mirvale.ini.<uid> (see platform/handover_file.h), and calls signalService (control code
// 134); each failed attempt writes the file again. True once the service accepted the signal;
// when every attempt failed, the file the service did not take is removed.
bool DesktopSaveSettings(const CMirvaleDoc& doc, const std::string& dataFolder,
                         const std::function<bool()>& signalService,
                         const platform::RetryPolicy& policy = {});

// Service load: reads <programFolder>/Mirvale.ini once. When it is missing or unreadable, the
// defaults are applied over the document and the file is written anew; a file that exists but
// cannot be read or parsed (also a link, a FIFO or an oversized file) is first moved aside to
// Mirvale.ini.bad-<time> and logged. A file that holds exactly the defaults (the one written
// here) loads as Defaults too. Failed only when the file can be neither read nor written.
enum class SettingsLoad { Read, Defaults, Failed };
SettingsLoad ServiceLoadSettings(CMirvaleDoc& doc, const std::string& programFolder);

// Service save: rewrites <programFolder>/Mirvale.ini with the policy's attempts.
bool ServiceSaveSettings(const CMirvaleDoc& doc, const std::string& programFolder,
                         const platform::RetryPolicy& policy = {});

// Service take (control code 134, the start and every tick): takes a file handed over at source
// (Mirvale.ini or an account's Mirvale.ini.<uid>...) over as the program folder's file, deletes
// it, loads the document, and tells which exports were switched on. A file that is not the
// account's its name says (account), or cannot be read or parsed, is moved aside; one that no
// longer stands at source once it was read (withdrawn) changes nothing.
struct SettingsReload {
  bool reloaded = false;             // false: the copy failed and nothing changed
  bool startTextExport = false;      // m_bExportText or m_bExportCsv went from 0 to 1
  bool startDatabaseExport = false;  // m_bExportSql or m_bExportAccess went from 0 to 1
};
SettingsReload ServiceTakeSettings(CMirvaleDoc& doc, const std::string& programFolder, const std::string& source,
                                   std::optional<uid_t> account);

}  // namespace mirvale

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
// Throws what DecodeSettings would, keeping none of the records (at most one of each level is
// built at a time).
void CheckSettings(std::string_view bytes);

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

// Service take-over (control code 134, the start and every tick): checks a file handed over at
// source (Mirvale.ini or an account's Mirvale.ini.<uid>...) whole without keeping any of its
// records, makes it the program folder's file and deletes it. Returns its bytes, which
// DecodeSettings then reads (the caller may first drop the settings in use, so that the old and
// the new ones are never in memory together). None when there is no file, or it was refused: not
// the account's its name says (account), unreadable or unparsable (set aside and logged), or no
// longer standing at source once it was read (withdrawn by its desktop); the settings stay as
// they are.
std::optional<std::string> ServiceTakeOverSettings(const std::string& programFolder, const std::string& source,
                                                   std::optional<uid_t> account);

}  // namespace mirvale

#pragma once
// Mirvale.ini: the settings document in the archive format, and how each program loads and
// saves it. A file is always replaced whole (temporary file, then rename), and a load reads into
// a temporary document that replaces the caller's only when the whole file was read.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// Desktop commit: writes <dataFolder>/Mirvale.ini (creating the folder) and calls
// signalService (control code 134); each failed attempt writes the file again. True once the
// service accepted the signal.
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

// Service take-over on control code 134: checks <dataFolder>/Mirvale.ini whole without keeping
// any of its records, makes it the program folder's file and deletes it. Returns its bytes, which
// DecodeSettings then reads (the caller may first drop the settings in use, so that the old and
// the new ones are never in memory together); none when there is no file or it was refused (set
// aside and logged), and the settings stay as they are.
std::optional<std::string> ServiceTakeOverSettings(const std::string& programFolder, const std::string& dataFolder);

}  // namespace mirvale

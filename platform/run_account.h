#pragma once
// The service's unprivileged account: run actions without credentials run as it, and files at
// paths the settings choose (audit log, text exports) are opened, created and replaced only with
// its rights, so that an operator who edits the settings gains nothing root could do. It has no
// login shell, no home and no privileged group; registration creates it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unix_socket.h"

namespace platform {

inline constexpr const char* kRunAccountName = "mirvale-run";

// kRunAccountName, or MIRVALE_RUN_ACCOUNT when set (tests and private installations).
std::string RunAccountName();

// Creates the account as a system account when it is missing; true when it exists afterwards.
bool EnsureRunAccount();

// Files at paths that the settings choose, opened, read, created and replaced with the run
// account's rights (the calling thread takes them for each step only): never through a symbolic
// link at the last step, never anything but a regular file. A file that one of these creates
// gets the mode and the operators' group; an existing file's owner and mode are never changed.
// When the process does not run as root, its own rights apply, which are no more than the
// operators have. On failure the reason is set (for the log) and errno tells the cause.

// Opens for appending, creating the file when it is missing; created tells which happened.
UniqueFd OpenForAppendAsRunAccount(const std::string& path, unsigned mode, bool& created, std::string& reason);

// Reads the whole file up to maxBytes; missing is set when there is no file.
std::optional<std::string> ReadAsRunAccount(const std::string& path, uint64_t maxBytes, bool& missing,
                                            std::string& reason);

// Replaces the file whole (temporary file in the same folder, then rename).
bool ReplaceAsRunAccount(const std::string& path, std::string_view content, unsigned mode, std::string& reason);

// Brings an existing file that the run account owns (one the service created) to the mode in the
// operators' group; any other file is left as it is.
bool RestrictRunAccountFile(const std::string& path, unsigned mode);

}  // namespace platform

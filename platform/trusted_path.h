#pragma once
// What the service takes as its own configuration (the registry store with the remote-shell
// client's settings) must be changeable by root alone: every file and folder of it, and every
// folder leading to it, owned by root (or by this process's own account, for a private
// installation that does not run as root) and writable by nobody else. A world-writable folder
// with the sticky bit (/tmp) is allowed on the way when the entry below it is trusted, since no
// other account may rename that entry.
#include <cstdint>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace platform {

// Whether files of this owner are trusted: root's, or this process's own.
bool IsTrustedOwner(uid_t owner);

// Why an entry described by its lstat information is not trusted; nullopt when it is.
std::optional<std::string> UntrustedEntry(const struct stat& info);

// Checks the folders leading to path (resolved) and path itself; nullopt when only trusted
// accounts can change them, else the reason naming the offending entry.
std::optional<std::string> UntrustedPath(const std::string& path);

// Reads a file that only trusted accounts may change: opened without following a link, without
// waiting on a FIFO and never as a terminal, taken when it is a trusted regular file with no other
// name of at most maxBytes. nullopt when missing (refusal empty) or refused (refusal tells why).
std::optional<std::string> ReadTrustedFile(const std::string& path, uint64_t maxBytes, std::string& refusal);

// Checks a folder and everything below it (no links, only folders and regular files, all
// trusted), without looking at the folders leading to it; nullopt when trusted.
std::optional<std::string> UntrustedTree(const std::string& folder);

}  // namespace platform

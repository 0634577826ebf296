#pragma once
// The programs' own stored files (settings, databases) live in folders that the operators'
// group may write, so a file found there is not trusted: it is opened without following a
// symbolic link and without waiting on a FIFO, taken only when it is a regular file with no
// other name, and read up to a bound.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace platform {

struct StoredFileRead {
  std::optional<std::string> bytes;  // set when the file was read whole
  bool missing = false;              // no file at the path
  std::string refusal;               // why it was not read, for the log
  // What was opened (also when it was refused once open): its owner and identity.
  uid_t owner = 0;
  dev_t device = 0;
  ino_t inode = 0;
};

// trustedOwnerOnly also refuses a file that a trusted account (see trusted_path.h) does not own
// or that others may write; owner, one that the account does not own (before reading it).
StoredFileRead ReadStoredFile(const std::string& path, uint64_t maxBytes, bool trustedOwnerOnly = false,
                              std::optional<uid_t> owner = std::nullopt);

// Brings a file that this process's account owns (the service's own stored files) to the given
// mode in the operators' group. Anything else at the path (a link, a FIFO, someone else's file)
// is left as it is; false then.
bool RestrictOwnFile(const std::string& path, unsigned mode);

// The mode of the file described by info without the bits outside mode: what a file the
// service did not create may keep (it is only ever narrowed, never widened).
mode_t NarrowedMode(const struct stat& info, unsigned mode);

// Clears the bits outside mode of the open file described by info; true when none is left.
bool NarrowFileMode(int fd, const struct stat& info, unsigned mode);

// Removes the temporary files that an interrupted atomic save of one of the named files left
// in the folder ("<name>.tmp-" and six characters), when they are this account's own regular
// files. Returns how many were removed.
int RemoveSaveLeftovers(const std::string& folder, const std::vector<std::string>& names);

// Renames the file to "<path>.bad-<UTC time>" (with "-2", "-3"... when that name is taken),
// never over an earlier copy; the new name, or nullopt when the rename failed.
std::optional<std::string> MoveAsideKeepingEarlier(const std::string& path);

}  // namespace platform

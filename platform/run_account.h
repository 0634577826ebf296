#pragma once
// The service's unprivileged account: run actions without credentials run as it, and files at
// paths the settings choose (audit log, text exports) are opened, created and replaced only with
// its rights, so that an operator who edits the settings gains nothing root could do. It has no
// login shell, no home and no privileged group; registration creates it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "platform/unix_socket.h"

namespace platform {

inline constexpr const char* kRunAccountName = "mirvale-run";

// kRunAccountName, or MIRVALE_RUN_ACCOUNT when set (tests and private installations).
std::string RunAccountName();

// Creates the account as a system account when it is missing; true when it exists afterwards.
bool EnsureRunAccount();

// For this thread only, file access takes the run account's file-system user and group ids and
// groups until the object ends (root's file capabilities lapse with the user id meanwhile), for
// work whose files a library opens at a path from the settings. A process that does not run as
// root keeps its own rights. ok() is false, with the reason, when the rights could not be taken.
class ScopedRunAccountRights {
 public:
  explicit ScopedRunAccountRights(std::string& reason);
  ~ScopedRunAccountRights();
  ScopedRunAccountRights(const ScopedRunAccountRights&) = delete;
  ScopedRunAccountRights& operator=(const ScopedRunAccountRights&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
  bool switched_ = false;
  std::vector<gid_t> groups_;  // the thread's own, restored at the end
};

// Files at paths that the settings choose, opened, read, created and replaced with the run
// account's rights (the calling thread takes them for each step only): never through a symbolic
// link at the last step, never anything but a regular file. A file that one of these creates
// gets the mode and the operators' group; an existing file's owner and mode are never changed,
// and its replacement takes its group and no bit of the mode that it lacked.
// When the process does not run as root, its own rights apply, which are no more than the
// operators have. On failure the reason is set (for the log) and errno tells the cause.

// Opens for appending, creating the file when it is missing; created tells which happened.
UniqueFd OpenForAppendAsRunAccount(const std::string& path, unsigned mode, bool& created, std::string& reason);

// Opens an existing file for reading; missing is set when there is none.
UniqueFd OpenForReadingAsRunAccount(const std::string& path, bool& missing, std::string& reason);

// Opens for writing: a missing file is created, an existing one appended to or truncated.
UniqueFd OpenForWritingAsRunAccount(const std::string& path, bool truncate, unsigned mode, std::string& reason);

// Replaces the file whole (temporary file in the same folder, then rename).
bool ReplaceAsRunAccount(const std::string& path, std::string_view content, unsigned mode, std::string& reason);

// A replacement written piece by piece, for content too large to hold: the temporary file is
// made at once, Commit renames it over the file, and one not committed is removed.
class RunAccountReplacement {
 public:
  RunAccountReplacement(std::string path, unsigned mode, std::string& reason);
  ~RunAccountReplacement();
  RunAccountReplacement(const RunAccountReplacement&) = delete;
  RunAccountReplacement& operator=(const RunAccountReplacement&) = delete;
  bool ok() const { return fd_ >= 0; }
  bool Write(std::string_view data);
  bool Commit();

 private:
  void Discard();
  std::string path_;
  std::string temporary_;
  unsigned mode_;
  int fd_ = -1;
  std::string& reason_;
};

// Clears the bits outside mode of an existing file that the run account owns (an audit log that an
// earlier version left wider); its group is kept and no bit is added, since the settings may
// name any file of that account. Any other file is left as it is.
bool RestrictRunAccountFile(const std::string& path, unsigned mode);

}  // namespace platform

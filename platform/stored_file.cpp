#include "platform/stored_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/trusted_path.h"
#include "platform/unix_socket.h"

namespace platform {

namespace {

// Opens without following a link at the last step and without blocking on a FIFO, then
// checks what was opened; -1 with the reason otherwise.
int OpenRegular(const std::string& path, int flags, std::string& reason, struct stat& info) {
  int fd = open(path.c_str(), flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    reason = error == ELOOP ? "it is a symbolic link" : std::strerror(error);
    errno = error;
    return -1;
  }
  if (fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    reason = "it is not a regular file";
  } else if (info.st_nlink != 1) {
    reason = "it has other names (hard links)";
  } else {
    return fd;
  }
  close(fd);
  errno = EINVAL;
  return -1;
}

}  // namespace

StoredFileRead ReadStoredFile(const std::string& path, uint64_t maxBytes, bool trustedOwnerOnly,
                              std::optional<uid_t> owner) {
  StoredFileRead result;
  struct stat info {};
  UniqueFd fd(OpenRegular(path, O_RDONLY, result.refusal, info));
  if (!fd) {
    result.missing = errno == ENOENT;
    return result;
  }
  result.owner = info.st_uid;
  result.device = info.st_dev;
  result.inode = info.st_ino;
  if (owner && info.st_uid != *owner) {
    result.refusal = "it belongs to uid " + std::to_string(info.st_uid) + ", not to uid " + std::to_string(*owner);
    return result;
  }
  if (static_cast<uint64_t>(info.st_size) > maxBytes) {
    result.refusal = "it is larger than " + std::to_string(maxBytes) + " bytes";
    return result;
  }
  if (auto untrusted = trustedOwnerOnly ? UntrustedEntry(info) : std::nullopt) {
    result.refusal = "it " + *untrusted;
    return result;
  }
  std::string content;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.refusal = std::strerror(errno);
      return result;
    }
    if (got == 0) break;
    // The file may grow while it is read.
    if (content.size() + static_cast<size_t>(got) > maxBytes) {
      result.refusal = "it is larger than " + std::to_string(maxBytes) + " bytes";
      return result;
    }
    content.append(buffer, static_cast<size_t>(got));
  }
  result.bytes = std::move(content);
  return result;
}

bool RestrictOwnFile(const std::string& path, unsigned mode) {
  std::string reason;
  struct stat info {};
  UniqueFd fd(OpenRegular(path, O_RDONLY, reason, info));
  if (!fd || info.st_uid != geteuid()) return false;
  SetFileGroup(fd.get(), FileGroup::Operators);
  return fchmod(fd.get(), mode) == 0;
}

mode_t NarrowedMode(const struct stat& info, unsigned mode) { return info.st_mode & 07777 & mode; }

bool NarrowFileMode(int fd, const struct stat& info, unsigned mode) {
  const mode_t narrowed = NarrowedMode(info, mode);
  return narrowed == (info.st_mode & 07777) || fchmod(fd, narrowed) == 0;
}

int RemoveSaveLeftovers(const std::string& folder, const std::vector<std::string>& names) {
  constexpr std::string_view kTemporaryMark = ".tmp-";
  constexpr size_t kTemporaryTail = 6;  // what mkstemp fills in
  DIR* listing = opendir(folder.c_str());
  if (!listing) return 0;
  int removed = 0;
  while (dirent* entry = readdir(listing)) {
    std::string_view name = entry->d_name;
    for (const std::string& stored : names) {
      if (name.size() != stored.size() + kTemporaryMark.size() + kTemporaryTail ||
          name.substr(0, stored.size()) != stored ||
          name.substr(stored.size(), kTemporaryMark.size()) != kTemporaryMark)
        continue;
      struct stat info {};
      if (fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
          info.st_uid == geteuid() && unlinkat(dirfd(listing), entry->d_name, 0) == 0)
        ++removed;
    }
  }
  closedir(listing);
  return removed;
}

std::optional<std::string> MoveAsideKeepingEarlier(const std::string& path) {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  const std::string base = path + ".bad-" + stamp;
  for (int attempt = 1; attempt < 1000; ++attempt) {
    std::string aside = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return aside;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace platform

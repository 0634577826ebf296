#include "platform/trusted_path.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/stored_file.h"

namespace platform {

namespace {

// A store is a few dozen keys; a tree far larger than this is not one the service made.
constexpr int kMaxTreeEntries = 100000;
constexpr int kMaxTreeDepth = 64;

std::string Describe(const std::string& path, const std::string& what) { return path + " " + what; }

std::optional<std::string> UntrustedEntryAt(const std::string& path, const struct stat& info) {
  if (auto reason = UntrustedEntry(info)) return Describe(path, *reason);
  return std::nullopt;
}

std::optional<std::string> CheckTree(const std::string& folder, int depth, int& entries) {
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0)
    return Describe(folder, std::string("cannot be read: ") + std::strerror(errno));
  if (S_ISLNK(info.st_mode)) return Describe(folder, "is a symbolic link");
  if (auto reason = UntrustedEntryAt(folder, info)) return reason;
  if (!S_ISDIR(info.st_mode)) {
    if (!S_ISREG(info.st_mode)) return Describe(folder, "is neither a folder nor a regular file");
    return std::nullopt;
  }
  if (depth > kMaxTreeDepth) return Describe(folder, "is nested too deeply");
  std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(folder.c_str()), closedir);
  if (!listing) return Describe(folder, std::string("cannot be listed: ") + std::strerror(errno));
  while (dirent* entry = readdir(listing.get())) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (++entries > kMaxTreeEntries) return Describe(folder, "holds too many entries");
    if (auto reason = CheckTree(JoinPath(folder, name), depth + 1, entries)) return reason;
  }
  return std::nullopt;
}

}  // namespace

bool IsTrustedOwner(uid_t owner) { return owner == 0 || owner == geteuid(); }

std::optional<std::string> UntrustedEntry(const struct stat& info) {
  if (!IsTrustedOwner(info.st_uid)) return "belongs to uid " + std::to_string(info.st_uid);
  if (!S_ISLNK(info.st_mode) && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "is writable by group or others";
  return std::nullopt;
}

std::optional<std::string> UntrustedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr)
    return Describe(path, std::string("cannot be resolved: ") + std::strerror(errno));
  const std::string full = resolved;
  size_t end = 0;
  while (true) {
    std::string level = end == 0 ? "/" : full.substr(0, end);
    struct stat info {};
    if (lstat(level.c_str(), &info) != 0)
      return Describe(level, std::string("cannot be read: ") + std::strerror(errno));
    if (!IsTrustedOwner(info.st_uid)) return Describe(level, "belongs to uid " + std::to_string(info.st_uid));
    bool writableByOthers = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    bool last = end >= full.size();
    // Below a sticky folder only the owners may move an entry, and the next level's is checked.
    if (writableByOthers && (last || !S_ISDIR(info.st_mode) || (info.st_mode & S_ISVTX) == 0))
      return Describe(level, "is writable by group or others");
    if (last) return std::nullopt;
    end = full.find('/', end + 1);
    if (end == std::string::npos) end = full.size();
  }
}

std::optional<std::string> ReadTrustedFile(const std::string& path, uint64_t maxBytes, std::string& refusal) {
  StoredFileRead read = ReadStoredFile(path, maxBytes, /*trustedOwnerOnly=*/true);
  if (!read.bytes && !read.missing) refusal = read.refusal;
  return std::move(read.bytes);
}

std::optional<std::string> UntrustedTree(const std::string& folder) {
  int entries = 0;
  return CheckTree(folder, 0, entries);
}

}  // namespace platform

#include "platform/run_account.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/logon_process.h"
#include "platform/stored_file.h"

namespace platform {

namespace {

// The C library changes groups for every thread of the process; the system call itself changes
// only the calling thread's.
bool SetThreadGroups(const std::vector<gid_t>& groups) {
  return syscall(SYS_setgroups, groups.size(), groups.data()) == 0;
}

UniqueFd OpenAsAccount(const std::string& path, int flags, unsigned mode, std::string& reason) {
  int fd = -1;
  {
    ScopedRunAccountRights rights(reason);
    if (!rights.ok()) return UniqueFd();
    fd = open(path.c_str(), flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, mode);
  }
  if (fd < 0) {
    reason = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
    return UniqueFd();
  }
  UniqueFd opened(fd);
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    reason = "it is not a regular file";
    errno = EINVAL;
    return UniqueFd();
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return opened;
}

// A file this process has just created exclusively is its own to give the mode and the group.
void ShareCreatedFile(int fd, unsigned mode) {
  SetFileGroup(fd, FileGroup::Operators);
  fchmod(fd, mode);
}

// A replacement is no more open than the file it replaces, which may be any file of the run
// account (a private one too): that file's group, and no bit of mode the file lacked.
void MatchReplacedFile(int fd, const struct stat& replaced, unsigned mode) {
  mode_t narrowed = NarrowedMode(replaced, mode);
  // Short of that group, no group at all may read it, rather than the writer's.
  if (fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0) narrowed &= ~070u;
  fchmod(fd, narrowed);
}

}  // namespace

ScopedRunAccountRights::ScopedRunAccountRights(std::string& reason) {
  if (geteuid() != 0) {
    ok_ = true;
    return;
  }
  auto account = LookUpAccount(RunAccountName());
  if (!account) {
    reason = "the account " + RunAccountName() + " does not exist";
    return;
  }
  int count = getgroups(0, nullptr);
  groups_.resize(static_cast<size_t>(count > 0 ? count : 0));
  if (count > 0 && getgroups(count, groups_.data()) < 0) groups_.clear();
  switched_ = true;
  // setfsuid answers the previous id, so each change is read back.
  ok_ = SetThreadGroups(account->groups);
  setfsgid(account->gid);
  setfsuid(account->uid);
  ok_ = ok_ && static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == account->uid &&
        static_cast<gid_t>(setfsgid(static_cast<gid_t>(-1))) == account->gid;
  if (!ok_) reason = "the rights of " + RunAccountName() + " could not be taken";
}

ScopedRunAccountRights::~ScopedRunAccountRights() {
  if (!switched_) return;
  int error = errno;
  setfsuid(geteuid());
  setfsgid(getegid());
  SetThreadGroups(groups_);
  errno = error;
}

bool RestrictRunAccountFile(const std::string& path, unsigned mode) {
  std::string reason;
  UniqueFd fd = OpenAsAccount(path, O_RDONLY, 0, reason);
  auto account = geteuid() == 0 ? LookUpAccount(RunAccountName()) : std::nullopt;
  struct stat info {};
  if (!fd || fstat(fd.get(), &info) != 0 || info.st_uid != (account ? account->uid : geteuid())) return false;
  return NarrowFileMode(fd.get(), info, mode);
}

std::string RunAccountName() { return GetEnv("MIRVALE_RUN_ACCOUNT").value_or(kRunAccountName); }

bool EnsureRunAccount() {
  const std::string name = RunAccountName();
  if (LookUpAccount(name)) return true;
  pid_t child = fork();
  if (child == 0) {
    execl("/usr/sbin/useradd", "useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent", "--shell",
          "/usr/sbin/nologin", "--user-group", name.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return LookUpAccount(name).has_value();
}

UniqueFd OpenForAppendAsRunAccount(const std::string& path, unsigned mode, bool& created, std::string& reason) {
  // Creating exclusively tells a new file from an existing one without a race.
  created = true;
  UniqueFd fd = OpenAsAccount(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, mode, reason);
  if (fd) {
    ShareCreatedFile(fd.get(), mode);
    return fd;
  }
  if (errno != EEXIST) return fd;
  created = false;
  return OpenAsAccount(path, O_WRONLY | O_APPEND, 0, reason);
}

UniqueFd OpenForReadingAsRunAccount(const std::string& path, bool& missing, std::string& reason) {
  UniqueFd fd = OpenAsAccount(path, O_RDONLY, 0, reason);
  missing = !fd && errno == ENOENT;
  return fd;
}

UniqueFd OpenForWritingAsRunAccount(const std::string& path, bool truncate, unsigned mode, std::string& reason) {
  UniqueFd fd = OpenAsAccount(path, O_WRONLY | O_CREAT | O_EXCL, mode, reason);
  if (fd) {
    ShareCreatedFile(fd.get(), mode);
    return fd;
  }
  if (errno != EEXIST) return fd;
  return OpenAsAccount(path, O_WRONLY | (truncate ? O_TRUNC : O_APPEND), 0, reason);
}

RunAccountReplacement::RunAccountReplacement(std::string path, unsigned mode, std::string& reason)
    : path_(std::move(path)), temporary_(path_ + ".tmp-XXXXXX"), mode_(mode), reason_(reason) {
  int fd = -1;
  {
    ScopedRunAccountRights rights(reason_);
    if (!rights.ok()) return;
    // Private (0600) until Commit knows what it replaces.
    fd = mkostemp(temporary_.data(), O_CLOEXEC);
  }
  if (fd < 0) {
    reason_ = std::strerror(errno);
    return;
  }
  fd_ = fd;
}

RunAccountReplacement::~RunAccountReplacement() {
  if (fd_ >= 0) Discard();
}

void RunAccountReplacement::Discard() {
  int error = errno;
  if (fd_ >= 0) close(std::exchange(fd_, -1));
  std::string ignored;
  ScopedRunAccountRights rights(ignored);
  unlink(temporary_.c_str());
  errno = error;
}

bool RunAccountReplacement::Write(std::string_view data) {
  if (fd_ < 0) return false;
  if (WriteAll(fd_, data)) return true;
  reason_ = std::strerror(errno);
  Discard();
  return false;
}

bool RunAccountReplacement::Commit() {
  if (fd_ < 0) return false;
  struct stat ours {};
  struct stat existing {};
  bool replacing = false;
  bool ok = fstat(fd_, &ours) == 0;
  int error = errno;
  if (ok) {
    ScopedRunAccountRights rights(reason_);
    ok = rights.ok();
    replacing = ok && lstat(path_.c_str(), &existing) == 0;
  }
  // A file of another account would become ours through the rename: it is left as it is.
  if (replacing && existing.st_uid != ours.st_uid) {
    reason_ = "it belongs to another account, and only files the service created are replaced";
    ok = false;
    error = EPERM;
  }
  if (ok) {
    if (replacing) {
      MatchReplacedFile(fd_, existing, mode_);
    } else {
      ShareCreatedFile(fd_, mode_);
    }
    ok = fsync(fd_) == 0;
    error = errno;
  }
  if (close(std::exchange(fd_, -1)) != 0 && ok) ok = false, error = errno;
  if (ok) {
    ScopedRunAccountRights rights(reason_);
    ok = rights.ok() && rename(temporary_.c_str(), path_.c_str()) == 0;
    error = errno;
  }
  if (!ok) {
    Discard();
    if (reason_.empty()) reason_ = std::strerror(error);
    errno = error;
  }
  return ok;
}

bool ReplaceAsRunAccount(const std::string& path, std::string_view content, unsigned mode, std::string& reason) {
  RunAccountReplacement replacement(path, mode, reason);
  return replacement.Write(content) && replacement.Commit();
}

}  // namespace platform

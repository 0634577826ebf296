#include "platform/operator_group.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/trusted_path.h"
#include "platform/unix_socket.h"

namespace platform {

std::string OperatorGroupName() { return GetEnv("MIRVALE_OPERATOR_GROUP").value_or(kOperatorGroupName); }

std::optional<gid_t> OperatorGroupId() {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrnam_r(OperatorGroupName().c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return std::nullopt;
  return found->gr_gid;
}

bool EnsureOperatorGroup() {
  if (OperatorGroupId()) return true;
  const std::string name = OperatorGroupName();
  pid_t child = fork();
  if (child == 0) {
    execl("/usr/sbin/groupadd", "groupadd", "--system", name.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return OperatorGroupId().has_value();
}

bool IsOperator(uid_t uid, gid_t gid) {
  if (uid == 0) return true;
  auto operators = OperatorGroupId();
  if (!operators) return false;
  if (gid == *operators) return true;
  std::vector<char> buffer(16384);
  passwd account{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &account, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
  std::vector<gid_t> groups(64);
  int count = static_cast<int>(groups.size());
  if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<size_t>(count));
  for (gid_t member : groups)
    if (member == *operators) return true;
  return false;
}

bool ProcessIsOperator() {
  if (geteuid() == 0) return true;
  auto operators = OperatorGroupId();
  if (!operators) return false;
  if (getegid() == *operators) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  groups.resize(static_cast<size_t>(std::max(getgroups(count, groups.data()), 0)));
  return std::find(groups.begin(), groups.end(), *operators) != groups.end();
}

bool ShareWithOperators(const std::string& path, unsigned mode) {
  bool ok = true;
  if (auto operators = OperatorGroupId()) ok = chown(path.c_str(), static_cast<uid_t>(-1), *operators) == 0;
  // chmod after chown: changing the owner clears the set-group-id bit.
  return chmod(path.c_str(), mode) == 0 && ok;
}

std::string OctalMode(unsigned mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
}

namespace {

// Shares one folder; empty when it has the group and mode afterwards, else what went wrong. With
// ownOnly, a folder another account owns is refused and left as it is.
std::string ShareFolder(const std::string& path, unsigned mode, bool ownOnly) {
  const std::string failed =
      "Couldn't share " + path + " with the operators' group " + OperatorGroupName() + " (" + OctalMode(mode) + "): ";
  if (!CreateFolderLevels(path, 0700)) return failed + std::strerror(errno);
  // Through a descriptor of the folder itself: a link put in its place is not followed.
  UniqueFd folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!folder || fstat(folder.get(), &info) != 0) return failed + std::strerror(errno);
  if (ownOnly && !IsTrustedOwner(info.st_uid)) return failed + "it belongs to uid " + std::to_string(info.st_uid);
  auto group = OperatorGroupId();
  if (!group) return failed + "the group does not exist";
  if (info.st_gid != *group && fchown(folder.get(), static_cast<uid_t>(-1), *group) != 0)
    return failed + std::strerror(errno);
  // chmod after chown: changing the owner clears the set-group-id bit.
  if (info.st_gid == *group && (info.st_mode & 07777) == mode) return {};
  if (fchmod(folder.get(), mode) != 0) {
    const int error = errno;
    // A sandbox that refuses set-group-id modes still lets the group in, sticky, when the folder
    // has no such bit to lose.
    if ((mode & S_ISGID) && !(info.st_mode & S_ISGID)) fchmod(folder.get(), mode & ~S_ISGID);
    return failed + std::strerror(error);
  }
  // Without CAP_FSETID the kernel drops the set-group-id bit silently.
  if (fstat(folder.get(), &info) != 0 || (info.st_mode & 07777) != mode)
    return failed + "the mode became " + OctalMode(info.st_mode & 07777);
  return {};
}

// The folder above the data folder is this system's own: members must pass through it.
std::string MakeReachable(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != 0) return {};
  if ((info.st_mode & 0755) == 0755 || chmod(path.c_str(), (info.st_mode & 07777) | 0755) == 0) return {};
  return "Couldn't make " + path + " reachable (0755): " + std::strerror(errno);
}

}  // namespace

std::vector<std::string> ShareOperatorFolders() {
  std::vector<std::string> problems;
  const std::string data = DataFolder();
  for (std::string problem :
       {ShareFolder(data, kSharedDataFolderMode, false), MakeReachable(data.substr(0, data.rfind('/'))),
        ShareFolder(RunFolder(), kSharedRunFolderMode, true)})
    if (!problem.empty()) problems.push_back(std::move(problem));
  return problems;
}

}  // namespace platform

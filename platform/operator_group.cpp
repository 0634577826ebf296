#include "platform/operator_group.h"

#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/folders.h"

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

bool ShareWithOperators(const std::string& path, unsigned mode) {
  bool ok = true;
  if (auto operators = OperatorGroupId()) ok = chown(path.c_str(), static_cast<uid_t>(-1), *operators) == 0;
  // chmod after chown: changing the owner clears the set-group-id bit.
  return chmod(path.c_str(), mode) == 0 && ok;
}

}  // namespace platform

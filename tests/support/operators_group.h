#pragma once
// An operators' group made for one test with its members, an outsider and the run account, all
// removed with the object; and work run in a child process as one of the accounts.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/service_process.h"
#include "tests/support/temporary_account.h"

namespace testing_support {

class OperatorsGroup {
 public:
  explicit OperatorsGroup(int members = 1)
      : group_("mvops" + std::to_string(getpid())), outsider_("mvout"), run_("mvrun") {
    madeGroup_ = Quiet("groupadd " + group_);
    joined_ = madeGroup_;
    for (int i = 0; i < members; ++i) {
      members_.push_back(std::make_unique<TemporaryAccount>(i == 0 ? "mvmem" : "mvmem" + std::to_string(i + 1) + "x"));
      joined_ = joined_ && members_.back()->Made() && Quiet("usermod -a -G " + group_ + " " + members_.back()->Name());
    }
  }
  ~OperatorsGroup() {
    if (madeGroup_) Quiet("groupdel " + group_);
  }
  OperatorsGroup(const OperatorsGroup&) = delete;
  OperatorsGroup& operator=(const OperatorsGroup&) = delete;

  bool Made() const { return joined_ && outsider_.Made() && run_.Made(); }
  const std::string& Group() const { return group_; }
  gid_t GroupId() const { return getgrnam(group_.c_str())->gr_gid; }
  const TemporaryAccount& Member(size_t index = 0) const { return *members_.at(index); }
  const TemporaryAccount& Outsider() const { return outsider_; }
  const TemporaryAccount& RunAccount() const { return run_; }

  // The service as root with these accounts, its folders reachable by them as after an install.
  void Prepare(ServiceProcess& service) const {
    service.SetEnv("MIRVALE_OPERATOR_GROUP", group_);
    service.SetEnv("MIRVALE_RUN_ACCOUNT", run_.Name());
    chmod(service.Root().c_str(), 0755);
  }

 private:
  static bool Quiet(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

  std::string group_;
  bool madeGroup_ = false;
  bool joined_ = false;
  std::vector<std::unique_ptr<TemporaryAccount>> members_;
  TemporaryAccount outsider_;
  TemporaryAccount run_;
};

// Makes this process the account (with its groups); false when it could not.
inline bool Become(const TemporaryAccount& account) {
  const passwd* entry = getpwnam(account.Name().c_str());
  return entry && initgroups(entry->pw_name, entry->pw_gid) == 0 && setgid(entry->pw_gid) == 0 &&
         setuid(entry->pw_uid) == 0;
}

// Runs work in a child process as the account (with its groups); the child's exit code, or -1.
template <typename Work>
int As(const TemporaryAccount& account, Work work) {
  pid_t child = fork();
  if (child == 0) {
    if (!Become(account)) _exit(255);
    _exit(work());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support

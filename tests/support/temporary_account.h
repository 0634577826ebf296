#pragma once
// A system account made for one test (no home, no login shell) and removed with the object,
// with the group of the same name that useradd makes for it.
#include <cstdlib>
#include <string>

#include <pwd.h>
#include <unistd.h>

namespace testing_support {

class TemporaryAccount {
 public:
  explicit TemporaryAccount(const std::string& prefix) : name_(prefix + std::to_string(getpid())) {
    std::string add =
        "useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "
        "--user-group " +
        name_ + " >/dev/null 2>&1";
    made_ = std::system(add.c_str()) == 0;
  }
  ~TemporaryAccount() {
    if (!made_) return;
    // userdel also removes the account's own group.
    std::string remove = "userdel " + name_ + " >/dev/null 2>&1";
    int ignored = std::system(remove.c_str());
    (void)ignored;
  }
  TemporaryAccount(const TemporaryAccount&) = delete;
  TemporaryAccount& operator=(const TemporaryAccount&) = delete;

  bool Made() const { return made_; }
  const std::string& Name() const { return name_; }
  uid_t Uid() const {
    const passwd* entry = getpwnam(name_.c_str());
    return entry ? entry->pw_uid : 0;
  }

 private:
  std::string name_;
  bool made_ = false;
};

}  // namespace testing_support

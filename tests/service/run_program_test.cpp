// The run-program action as root: a real account made for the test, a real PAM logon, and a
// program that records who ran it and with which arguments.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "service/actions/run_program_thread.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;
using testing_support::TempFolder;

namespace {

constexpr char kPassword[] = "Corr3ct-horse:battery";

// Gives this test process a private view of /etc/pam.d holding the service's PAM file, so that
// the machine's PAM files are never touched: a copy of the folder plus the file, bound over it
// inside a mount namespace of the process's own (one test per process under CTest).
bool UsePrivatePamFile(const std::string& copy) {
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  std::error_code error;
  std::filesystem::copy("/etc/pam.d", copy, std::filesystem::copy_options::recursive, error);
  return !error &&
         platform::WriteFileAtomically(copy + "/mirvale", "auth required pam_unix.so\naccount required pam_unix.so\n",
                                       0644) &&
         mount(copy.c_str(), "/etc/pam.d", nullptr, MS_BIND, nullptr) == 0;
}

class TestAccount {
 public:
  TestAccount() : name_("mvrun" + std::to_string(getpid())) {
    std::string add = "useradd -M -d /nonexistent -s /usr/sbin/nologin " + name_ + " >/dev/null 2>&1";
    created_ = std::system(add.c_str()) == 0;
    if (!created_) return;
    FILE* chpasswd = popen("chpasswd", "w");
    std::fprintf(chpasswd, "%s:%s\n", name_.c_str(), kPassword);
    created_ = pclose(chpasswd) == 0;
    passwd* entry = getpwnam(name_.c_str());
    uid_ = entry ? entry->pw_uid : 0;
  }
  ~TestAccount() {
    std::string remove = "userdel " + name_ + " >/dev/null 2>&1";
    int ignored = std::system(remove.c_str());
    (void)ignored;
  }
  TestAccount(const TestAccount&) = delete;
  TestAccount& operator=(const TestAccount&) = delete;

  bool created() const { return created_; }
  const std::string& name() const { return name_; }
  uid_t uid() const { return uid_; }

 private:
  std::string name_;
  bool created_ = false;
  uid_t uid_ = 0;
};

class RunProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to log on and switch accounts";
    ASSERT_TRUE(UsePrivatePamFile(folder_ / "pam.d"));
    ASSERT_TRUE(account_.created());
    // The account must be able to reach the program and write its record.
    chmod(folder_.path().c_str(), 0755);
    std::filesystem::create_directory(folder_ / "out");
    chmod((folder_ / "out").c_str(), 0777);
    program_ = folder_ / "record.sh";
    platform::WriteFileAtomically(program_,
                                  "#!/bin/sh\nsleep 0.2\n{ id -u; echo \"home=$HOME\"; pwd; for a in \"$@\"; do "
                                  "printf '[%s]\\n' \"$a\"; done; } > " + Record() + "\n",
                                  0755);
  }

  std::string Record() const { return folder_ / "out/record"; }

  TempFolder folder_;
  TestAccount account_;
  std::string program_;
};

}  // namespace

TEST_F(RunProgram, RunsAsTheLoggedOnAccountWithLiteralArgumentsAndWaits) {
  std::string marker = folder_ / "out/injected";
  CConfigurationRunThread action(program_, {"plain", "two words", "$(touch " + marker + ")", "`touch " + marker + "`;x", "\"q\""},
                                 account_.name(), "WORKGROUP", kPassword);
  ASSERT_EQ(action.Run(), RunOutcome::Ran);
  // Run returned after the program's pause, so its record is already complete.
  EXPECT_EQ(platform::ReadWholeFile(Record()).value_or(""),
            std::to_string(account_.uid()) + "\nhome=/nonexistent\n/\n[plain]\n[two words]\n[$(touch " + marker +
                ")]\n[`touch " + marker + "`;x]\n[\"q\"]\n");
  EXPECT_FALSE(platform::FileExists(marker));
}

TEST_F(RunProgram, AFailedLogonRunsNothing) {
  EXPECT_EQ(CConfigurationRunThread(program_, {}, account_.name(), "", "wrong").Run(), RunOutcome::LogonFailed);
  EXPECT_EQ(CConfigurationRunThread(program_, {}, account_.name(), "", "").Run(), RunOutcome::LogonFailed);
  EXPECT_EQ(CConfigurationRunThread(program_, {}, "", "", kPassword).Run(), RunOutcome::LogonFailed);
  EXPECT_EQ(CConfigurationRunThread(program_, {}, "no-such-account-x", "", kPassword).Run(),
            RunOutcome::LogonFailed);
  EXPECT_FALSE(platform::FileExists(Record()));
}

TEST_F(RunProgram, WithoutCredentialsTheUnprivilegedAccountRunsItNeverRoot) {
  {
    testing_support::ScopedEnv missing("MIRVALE_RUN_ACCOUNT", "no-such-account-x");
    EXPECT_EQ(CConfigurationRunThread(program_, {"a"}, "", "DOMAIN", "").Run(), RunOutcome::NotStarted);
    EXPECT_FALSE(platform::FileExists(Record()));
  }
  testing_support::ScopedEnv runAccount("MIRVALE_RUN_ACCOUNT", account_.name());
  ASSERT_EQ(CConfigurationRunThread(program_, {"a"}, "", "DOMAIN", "").Run(), RunOutcome::Ran);
  std::string record = platform::ReadWholeFile(Record()).value_or("");
  EXPECT_EQ(record, std::to_string(account_.uid()) + "\nhome=/nonexistent\n/\n[a]\n");
}

TEST_F(RunProgram, AProgramThatCannotStartIsSkipped) {
  EXPECT_EQ(CConfigurationRunThread(folder_ / "absent", {}, account_.name(), "", kPassword).Run(),
            RunOutcome::NotStarted);
  platform::WriteFileAtomically(folder_ / "not-executable", "#!/bin/sh\n", 0644);
  EXPECT_EQ(CConfigurationRunThread(folder_ / "not-executable", {}, account_.name(), "", kPassword).Run(),
            RunOutcome::NotStarted);
  // A bare name is found on the account's search path.
  EXPECT_EQ(CConfigurationRunThread("true", {}, account_.name(), "", kPassword).Run(), RunOutcome::Ran);
}

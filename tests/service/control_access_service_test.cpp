// Who may drive the real MirvaleSrv: an account outside the group "mirvale" neither reaches
// the control socket nor reads the stored files; a member may start a scan but not stop the
// service. The test makes the account (and the group when the machine has none) and removes
// what it made.
#include <gtest/gtest.h>

#include <cstdlib>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/database_files.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "tests/support/service_process.h"

using namespace std::chrono_literals;
using testing_support::ServiceProcess;

namespace {

constexpr const char* kAccount = "mirvale-e2e";

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The account and, when it was missing, the group; both go with the object.
class TestAccount {
 public:
  TestAccount() {
    madeGroup_ = getgrnam("mirvale") == nullptr && Run("groupadd mirvale");
    made_ = Run(std::string("useradd --system --no-create-home --gid nogroup --shell /usr/sbin/nologin ") + kAccount);
  }
  ~TestAccount() {
    if (made_) Run(std::string("userdel ") + kAccount);
    if (madeGroup_) Run("groupdel mirvale");
  }
  bool Made() const { return made_ && getgrnam("mirvale"); }
  uid_t Uid() const { return getpwnam(kAccount)->pw_uid; }
  bool JoinGroup() const { return Run(std::string("usermod -a -G mirvale ") + kAccount); }

  // Runs check in a child process under the account's identity; its result, or -1.
  template <typename Check>
  int As(Check check) const {
    pid_t child = fork();
    if (child == 0) {
      const passwd* account = getpwnam(kAccount);
      if (!account || initgroups(kAccount, account->pw_gid) != 0 || setgid(account->pw_gid) != 0 ||
          setuid(account->pw_uid) != 0)
        _exit(255);
      _exit(check());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  bool madeGroup_ = false;
  bool made_ = false;
};

// The status the service answered (0 done, 5 refused), 100 when nothing answered.
int ControlAs(const TestAccount& account, const ServiceProcess& service, uint32_t code) {
  std::string socket = service.ControlSocket();
  return account.As([&] { return static_cast<int>(platform::SendServiceControl(code, socket, 5s).value_or(100)); });
}

bool ReadableBy(const TestAccount& account, const std::string& path) {
  return account.As([&] {
    int fd = open(path.c_str(), O_RDONLY);
    return fd >= 0 ? 1 : 0;
  }) == 1;
}

void ExpectOperatorsOnly(const std::string& path, unsigned mode) {
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
  EXPECT_EQ(info.st_mode & 07777, mode) << path;
  EXPECT_EQ(info.st_gid, getgrnam("mirvale")->gr_gid) << path;
}

bool WaitForFinishedScan(const ServiceProcess& service) {
  for (int i = 0; i < 400; ++i) {
    auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb"));
    if (bytes && mirvale::DecodeScanDatabase(*bytes).header.m_strScanStatus == "Finished") return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

TEST(ControlAccess, OnlyTheOperatorsGroupDrivesTheServiceAndReadsItsFiles) {
  ASSERT_EQ(geteuid(), 0u) << "makes an account";
  TestAccount account;
  ASSERT_TRUE(account.Made());
  ServiceProcess service;
  service.SetEnv("MIRVALE_OPERATOR_GROUP", "mirvale");
  ASSERT_EQ(chmod(service.Root().c_str(), 0755), 0);
  ASSERT_TRUE(service.Register());
  ASSERT_TRUE(service.Start());
  ExpectOperatorsOnly(service.DataFolder(), 03770);
  ExpectOperatorsOnly(service.RunFolder(), 0750);
  ExpectOperatorsOnly(service.ControlSocket(), 0660);

  // Outside the group: the socket is out of reach.
  EXPECT_EQ(ControlAs(account, service, 136), 100);
  EXPECT_EQ(ControlAs(account, service, 1), 100);
  // With the socket opened to everyone the service itself refuses and logs the caller.
  ASSERT_EQ(chmod(service.RunFolder().c_str(), 0777), 0);
  ASSERT_EQ(chmod(service.ControlSocket().c_str(), 0666), 0);
  EXPECT_EQ(ControlAs(account, service, 136), 5);
  EXPECT_EQ(ControlAs(account, service, 1), 5);
  EXPECT_EQ(ControlAs(account, service, 4), 5) << "the state is the operators' too";
  const std::string uid = std::to_string(account.Uid());
  EXPECT_TRUE(service.WaitForEventLine("Refused service request 136 from uid " + uid));
  EXPECT_TRUE(service.WaitForEventLine("Refused service request 1 from uid " + uid));
  ASSERT_EQ(chmod(service.RunFolder().c_str(), 0750), 0);
  ASSERT_EQ(chmod(service.ControlSocket().c_str(), 0660), 0);

  ASSERT_EQ(service.Control(136), 0u);
  ASSERT_TRUE(WaitForFinishedScan(service));
  for (const char* file : {"Mirvale.ini", "Mirvale.db", "Mirvale.sdb"}) {
    ExpectOperatorsOnly(service.ProgramFile(file), 0640);
    EXPECT_FALSE(ReadableBy(account, service.ProgramFile(file))) << file;
  }

  // A member starts scans but may not stop the service.
  ASSERT_TRUE(account.JoinGroup());
  EXPECT_EQ(ControlAs(account, service, 136), 0);
  EXPECT_EQ(ControlAs(account, service, 1), 5);
  EXPECT_EQ(ControlAs(account, service, 4), 4);
  EXPECT_EQ(platform::QueryServiceState(service.ControlSocket()), platform::ServiceState::Running);
  EXPECT_TRUE(service.Stop());
}

}  // namespace

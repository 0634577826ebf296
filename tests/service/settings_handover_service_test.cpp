// The real MirvaleSrv as root with two members of a temporary operators' group handing settings
// over in the shared, sticky data folder: a file one member left waiting, and a file of more
// records than the service keeps. The group and the accounts are removed after each test.
#include <algorithm>
#include <cstdlib>

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "tests/common/empty_restore_requests.h"
#include "tests/support/aside_copies.h"
#include "tests/support/service_process.h"
#include "tests/support/temporary_account.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::ServiceProcess;
using testing_support::TemporaryAccount;

constexpr uint32_t kReload = 134;

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// An operators' group of two members, A and B, and the run account.
class Members {
 public:
  Members() : group_("mvhand" + std::to_string(getpid())), a_("mvmema"), b_("mvmemb"), run_("mvrun") {
    madeGroup_ = Run("groupadd " + group_);
    joined_ = madeGroup_ && a_.Made() && b_.Made() && Run("usermod -a -G " + group_ + " " + a_.Name()) &&
              Run("usermod -a -G " + group_ + " " + b_.Name());
  }
  ~Members() {
    if (madeGroup_) Run("groupdel " + group_);
  }
  bool Made() const { return joined_ && run_.Made(); }
  const TemporaryAccount& A() const { return a_; }
  const TemporaryAccount& B() const { return b_; }

  void Prepare(ServiceProcess& service) const {
    service.SetEnv("MIRVALE_OPERATOR_GROUP", group_);
    service.SetEnv("MIRVALE_RUN_ACCOUNT", run_.Name());
    chmod(service.Root().c_str(), 0755);
  }

 private:
  std::string group_;
  bool madeGroup_ = false;
  bool joined_ = false;
  TemporaryAccount a_;
  TemporaryAccount b_;
  TemporaryAccount run_;
};

// Runs work in a child process as the account (with its groups and umask 027, as a desktop
// session); the child's exit code, or -1.
template <typename Work>
int As(const TemporaryAccount& account, Work work) {
  pid_t child = fork();
  if (child == 0) {
    const passwd* entry = getpwnam(account.Name().c_str());
    if (!entry || initgroups(entry->pw_name, entry->pw_gid) != 0 || setgid(entry->pw_gid) != 0 ||
        setuid(entry->pw_uid) != 0)
      _exit(255);
    umask(027);
    _exit(work());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CMirvaleDoc SettingsNaming(const std::string& server) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  doc.m_strSmtpServer = server;
  return doc;
}

// The desktop's Save: the file written into the data folder, then code 134; one attempt.
bool Save(const ServiceProcess& service, const CMirvaleDoc& doc) {
  platform::RetryPolicy once;
  once.attempts = 1;
  return DesktopSaveSettings(
      doc, service.DataFolder(),
      [&] { return platform::SendServiceControl(kReload, service.ControlSocket()) == 0u; }, once);
}

// The SMTP server of the settings the service keeps in its program folder.
std::string RunningServer(const ServiceProcess& service) {
  auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.ini"));
  return bytes ? DecodeSettings(*bytes).m_strSmtpServer : "";
}

bool Logged(const ServiceProcess& service, const std::string& text) {
  auto lines = service.EventLines();
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

class SettingsHandoverService : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(geteuid(), 0u) << "makes accounts";
    ASSERT_TRUE(members.Made());
    members.Prepare(service);
    ASSERT_TRUE(service.Register());  // its messages go to the event log
    // A first run shares the data folder with the group, as an installed service's has been.
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.Stop());
  }
  Members members;
  ServiceProcess service;
};

}  // namespace

TEST_F(SettingsHandoverService, AMembersWaitingFileIsTakenSoAnotherMembersSaveSucceeds) {
  const std::string waiting = service.DataFile("Mirvale.ini");
  // Member A saves while the service is stopped: her file waits, hers alone to replace.
  ASSERT_EQ(As(members.A(),
               [&] { return platform::WriteFileAtomically(waiting, EncodeSettings(SettingsNaming("a.example")), 0640) ? 0 : 1; }),
            0);
  ASSERT_TRUE(service.Start());
  EXPECT_TRUE(service.WaitForEventLine("Took over the settings that waited in " + waiting));
  EXPECT_EQ(RunningServer(service), "a.example");
  EXPECT_EQ(As(members.B(), [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  EXPECT_EQ(RunningServer(service), "b.example");

  // A file whose request never came is taken by the main loop's next tick.
  ASSERT_EQ(As(members.A(),
               [&] { return platform::WriteFileAtomically(waiting, EncodeSettings(SettingsNaming("a2.example")), 0640) ? 0 : 1; }),
            0);
  EXPECT_TRUE(testing_support::WaitFor([&] { return RunningServer(service) == "a2.example"; }, 30s, 100ms));
  EXPECT_EQ(As(members.B(), [&] { return Save(service, SettingsNaming("b2.example")) ? 0 : 1; }), 0);
  EXPECT_EQ(RunningServer(service), "b2.example");
  ASSERT_TRUE(service.Stop());
}

TEST_F(SettingsHandoverService, AFileOfMoreRestoreRequestsThanTheServiceKeepsIsSetAside) {
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(As(members.B(), [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  const std::string hostile = archive_test::SettingsWithEmptyRestoreRequests(262145);
  ASSERT_EQ(As(members.A(),
               [&] { return platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), hostile, 0640) ? 0 : 1; }),
            0);
  EXPECT_EQ(service.Control(kReload), 0u);
  EXPECT_EQ(RunningServer(service), "b.example");
  EXPECT_EQ(testing_support::AsideCopies(service.DataFolder(), "Mirvale.ini").size(), 1u);
  EXPECT_TRUE(Logged(service, "more than 262144 records of class CRestoreItem"));
  ASSERT_TRUE(service.Stop());
}

}  // namespace mirvale

// The whole desktop program run by a member of the operators' group who is not root, against a
// real MirvaleSrv that root registered and started: every pane opens, the Options pane too,
// whose start mode lives in a store only root may read. The test runs itself again as the
// member (a temporary account whose own group is the operators' group) to do the walk.
#include <QTest>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "desktop/shell/command_ids.h"
#include "platform/atomic_file.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/support/temporary_account.h"

extern char** environ;

namespace mirvale {
namespace {

static auto* const qt = testing_support::UseQtApplication();

constexpr const char* kWalkVariable = "MIRVALE_TEST_MEMBER_WALK";

// The member's side: the program in this process, every pane in turn.
void WalkEveryPane() {
  testing_support::RecordingPrompter prompter;
  const PaneRegistry panes = testing_support::AllPanes();
  DesktopSession session(panes, testing_support::QuickAppOptions());
  ASSERT_TRUE(session.IsFirst());
  session.Frame().show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Frame().StartupFinished(); }, 60000));
  for (int command :
       {kCommandHome, kCommandScan, kCommandReports, kCommandTools, kCommandOptions, kCommandActions, kCommandExport}) {
    session.Frame().dispatchCommand(command);
    QTest::qWait(50);
  }
  for (PaneSlot slot : {PaneSlot::Options, PaneSlot::Actions, PaneSlot::Export})
    EXPECT_NE(session.Frame().View().Pane(slot), nullptr) << PaneSlotName(slot);
}

TEST(MemberDesktop, AMemberWhoIsNotRootOpensEveryPane) {
  if (std::getenv(kWalkVariable)) return WalkEveryPane();
  ASSERT_EQ(geteuid(), 0u) << "makes an account";
  testing_support::TemporaryAccount member("mvdsk");
  ASSERT_TRUE(member.Made());
  testing_support::ServiceProcess service;
  service.SetEnv("MIRVALE_OPERATOR_GROUP", member.Name());
  ASSERT_EQ(chmod(service.Root().c_str(), 0755), 0);
  ASSERT_TRUE(service.Register());
  ASSERT_TRUE(service.Start());
  const std::string home = service.Root() + "/home";
  platform::CreateFolderLevels(home, 0700);
  const passwd* entry = getpwnam(member.Name().c_str());
  ASSERT_TRUE(entry);
  ASSERT_EQ(chown(home.c_str(), entry->pw_uid, entry->pw_gid), 0);

  const std::string outputPath = service.Root() + "/member.out";
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(255);
    for (const auto& [name, value] : service.Environment()) setenv(name.c_str(), value.c_str(), 1);
    setenv(kWalkVariable, "1", 1);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    if (setgroups(0, nullptr) != 0 || setgid(entry->pw_gid) != 0 || setuid(entry->pw_uid) != 0) _exit(255);
    std::string self = "/proc/self/exe";
    std::string filter = "--gtest_filter=MemberDesktop.AMemberWhoIsNotRootOpensEveryPane";
    char* argv[] = {self.data(), filter.data(), nullptr};
    execve(argv[0], argv, environ);
    _exit(127);
  }
  // Bounded: a walk stuck in a modal loop is killed, and the account still goes with the test.
  int status = 0;
  for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
    if (waited == 1200) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    QTest::qWait(100);
  }
  const std::string output = platform::ReadWholeFile(outputPath).value_or("");
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  EXPECT_TRUE(service.Stop());
}

}  // namespace
}  // namespace mirvale

// The whole desktop program run by accounts that are not root, against a real MirvaleSrv that
// root registered and started: a member of the operators' group opens every pane, the Options
// pane too, whose start mode lives in a store only root may read; an outsider is told at start
// how to join; a member's failed Save names another member's settings file still waiting. The
// test runs itself again as each temporary account to do its part.
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <map>

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

// The program in this process, once its start-up is done, and the prompts it showed.
template <typename Then>
void WithStartedProgram(Then then) {
  testing_support::RecordingPrompter prompter;
  const PaneRegistry panes = testing_support::AllPanes();
  DesktopSession session(panes, testing_support::QuickAppOptions());
  ASSERT_TRUE(session.IsFirst());
  session.Frame().show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Frame().StartupFinished(); }, 60000));
  then(session, prompter);
}

// The member's side: every pane in turn.
void WalkEveryPane() {
  WithStartedProgram([](DesktopSession& session, const testing_support::RecordingPrompter&) {
    for (int command : {kCommandHome, kCommandScan, kCommandReports, kCommandTools, kCommandOptions, kCommandActions,
                        kCommandExport}) {
      session.Frame().dispatchCommand(command);
      QTest::qWait(50);
    }
    for (PaneSlot slot : {PaneSlot::Options, PaneSlot::Actions, PaneSlot::Export})
      EXPECT_NE(session.Frame().View().Pane(slot), nullptr) << PaneSlotName(slot);
  });
}

// An account outside the operators' group: told so at start, not that a start failed, and
// again when a Save fails.
void OpenAsOutsider() {
  WithStartedProgram([](DesktopSession& session, const testing_support::RecordingPrompter& prompter) {
    const std::string account = std::getenv("MIRVALE_TEST_ACCOUNT");
    const std::string group = std::getenv("MIRVALE_OPERATOR_GROUP");
    const std::string notMember = "The account " + account + " is not in the operators' group " + group +
                                  ", so it cannot use the service. To add it: sudo usermod -a -G " + group + " " +
                                  account + ", then log in again.";
    EXPECT_EQ(prompter.Texts().join('\n').toStdString(), notMember);
    EXPECT_FALSE(session.App().CommitSettings(&session.Frame()));
    EXPECT_EQ(prompter.Texts().last().toStdString(),
              "Settings failed, please check your access permissions. " + notMember);
  });
}

// A member's Save while another member's settings file waits in the data folder.
void SaveOverAWaitingFile() {
  testing_support::RecordingPrompter prompter;
  CMirvaleApp app(testing_support::QuickAppOptions());
  EXPECT_FALSE(app.CommitSettings(nullptr));
  EXPECT_EQ(prompter.Texts().join('\n').toStdString(),
            "Settings failed, please check your access permissions. " + app.DataFolder() +
                "/Mirvale.ini holds the settings " + std::getenv("MIRVALE_TEST_WAITING_OWNER") +
                " handed over, still waiting: the service takes it when it runs.");
}

// Runs the named test of this program again as the account (with its groups as login gives
// them), in the service's folders and a home of its own; expects it to pass.
void ExpectPassesAs(const testing_support::ServiceProcess& service, const std::string& account, const char* test,
                    const std::map<std::string, std::string>& extra = {}) {
  const passwd* entry = getpwnam(account.c_str());
  ASSERT_TRUE(entry);
  const uid_t uid = entry->pw_uid;
  const gid_t gid = entry->pw_gid;
  const std::string home = service.Root() + "/home-" + account;
  platform::CreateFolderLevels(home, 0700);
  ASSERT_EQ(chown(home.c_str(), uid, gid), 0);
  const std::string outputPath = service.Root() + "/" + account + ".out";
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(255);
    for (const auto& [name, value] : service.Environment()) setenv(name.c_str(), value.c_str(), 1);
    for (const auto& [name, value] : extra) setenv(name.c_str(), value.c_str(), 1);
    setenv(kWalkVariable, "1", 1);
    setenv("MIRVALE_TEST_ACCOUNT", account.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    if (initgroups(account.c_str(), gid) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(255);
    std::string self = "/proc/self/exe";
    std::string filter = std::string("--gtest_filter=MemberDesktop.") + test;
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
  ExpectPassesAs(service, member.Name(), "AMemberWhoIsNotRootOpensEveryPane");
  EXPECT_TRUE(service.Stop());
}

TEST(MemberDesktop, AnOutsiderIsToldHowToJoinAndAMemberWhatBlockedTheSave) {
  if (std::getenv(kWalkVariable)) {
    if (std::getenv("MIRVALE_TEST_WAITING_OWNER")) return SaveOverAWaitingFile();
    return OpenAsOutsider();
  }
  ASSERT_EQ(geteuid(), 0u) << "makes accounts";
  testing_support::TemporaryAccount first("mvdka");
  testing_support::TemporaryAccount second("mvdkb");
  testing_support::TemporaryAccount outsider("mvdko");
  ASSERT_TRUE(first.Made() && second.Made() && outsider.Made());
  ASSERT_EQ(std::system(("usermod -a -G " + first.Name() + " " + second.Name()).c_str()), 0);
  testing_support::ServiceProcess service;
  service.SetEnv("MIRVALE_OPERATOR_GROUP", first.Name());
  ASSERT_EQ(chmod(service.Root().c_str(), 0755), 0);
  ASSERT_TRUE(service.Register());
  ASSERT_TRUE(service.Start());
  {
    SCOPED_TRACE("the outsider, with the service running");
    ExpectPassesAs(service, outsider.Name(), "AnOutsiderIsToldHowToJoinAndAMemberWhatBlockedTheSave");
  }
  ASSERT_TRUE(service.Stop());
  // The first member's Save while the service was stopped left her file waiting.
  const std::string waiting = service.DataFolder() + "/Mirvale.ini";
  ASSERT_TRUE(platform::WriteFileAtomically(waiting, "x\n", 0640));
  ASSERT_EQ(chown(waiting.c_str(), first.Uid(), static_cast<gid_t>(-1)), 0);
  SCOPED_TRACE("the second member, with the first's file waiting");
  ExpectPassesAs(service, second.Name(), "AnOutsiderIsToldHowToJoinAndAMemberWhatBlockedTheSave",
                 {{"MIRVALE_TEST_WAITING_OWNER", first.Name()}});
}

}  // namespace
}  // namespace mirvale

// The whole desktop program run by members of the operators' group who are not root, against a
// real MirvaleSrv that root registered and started: every pane opens, the Options pane too,
// whose start mode lives in a store only root may read; one member's desktop, ended with its
// session, never keeps another's from hearing the service's notices; an outsider is told at
// start how to join; a member's failed Save names what blocked it and leaves nothing behind;
// two members' desktops, each loaded before the other's change, keep each other's work.
// The test runs itself again as each temporary account to do its part.
#include <QDialog>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/single_instance.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/support/operators_group.h"
#include "tests/support/shared_stage.h"
#include "tests/support/temporary_account.h"

extern char** environ;

namespace mirvale {
namespace {

static auto* const qt = testing_support::UseQtApplication();

constexpr const char* kWalkVariable = "MIRVALE_TEST_MEMBER_WALK";
constexpr const char* kHearVariable = "MIRVALE_TEST_MEMBER_HEARS";
constexpr const char* kForgedVariable = "MIRVALE_TEST_NOTICE_FORGED";
constexpr const char* kRoleVariable = "MIRVALE_TEST_MEMBER_ROLE";
constexpr const char* kStepsVariable = "MIRVALE_TEST_MEMBER_STEPS";
constexpr uint32_t kStartScan = 136;

// The member's side: the program in this process, started up, then work (with the prompter).
template <typename Work>
void WithStartedDesktop(Work work) {
  testing_support::RecordingPrompter prompter;
  const PaneRegistry panes = testing_support::AllPanes();
  DesktopSession session(panes, testing_support::QuickAppOptions());
  ASSERT_TRUE(session.IsFirst());
  session.Frame().show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Frame().StartupFinished(); }, 60000));
  work(session, prompter);
}

// Every pane in turn.
void WalkEveryPane() {
  WithStartedDesktop([](DesktopSession& session, testing_support::RecordingPrompter&) {
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
  WithStartedDesktop([](DesktopSession& session, const testing_support::RecordingPrompter& prompter) {
    const std::string account = std::getenv("MIRVALE_TEST_ACCOUNT");
    const std::string group = std::getenv("MIRVALE_OPERATOR_GROUP");
    const std::string notMember = "The account " + account + " is not in the operators' group " + group +
                                  ", so it cannot use the service. To add it: sudo usermod -a -G " + group + " " +
                                  account + ", then log in again.";
    EXPECT_EQ(prompter.Texts().join('\n').toStdString(), notMember);
    QTest::qWait(300);
    EXPECT_EQ(session.Frame().findChild<QDialog*>("poolProperties"), nullptr) << "offered a pool it can never save";
    EXPECT_FALSE(session.App().CommitSettings(&session.Frame()));
    EXPECT_EQ(prompter.Texts().last().toStdString(),
              "Settings failed, please check your access permissions. " + notMember);
  });
}

// A member's Save with the service stopped while another member's settings file waits in the
// data folder: what blocked it is the service, not the other member's file.
void SaveOverAWaitingFile() {
  testing_support::RecordingPrompter prompter;
  CMirvaleApp app(testing_support::QuickAppOptions());
  EXPECT_FALSE(app.CommitSettings(nullptr));
  EXPECT_EQ(prompter.Texts().join('\n').toStdString(),
            "Settings failed, please check your access permissions. The service is not running.");
}

// A second member's session, started after the first member's desktop was ended and while the
// settings say a manual scan is pending: its desktop reloads when a scan ends.
void HearAScan(const std::string& controlSocket) {
  WithStartedDesktop([&](DesktopSession& session, testing_support::RecordingPrompter& prompter) {
    int reloads = 0;
    QObject::connect(&session.App(), &CMirvaleApp::databaseReloaded, [&] { ++reloads; });
    ASSERT_EQ(platform::SendServiceControl(kStartScan, controlSocket, std::chrono::seconds(60)), 0u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return reloads > 0; }, 60000)) << "no notice reached the desktop";
    EXPECT_TRUE(prompter.Texts().isEmpty()) << prompter.Texts().join('\n').toStdString();
  });
}

// The names in the data folder that belong to the account.
std::vector<std::string> OwnedIn(const std::string& folder, uid_t owner) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    struct stat found {};
    if (lstat(entry.path().c_str(), &found) == 0 && found.st_uid == owner) names.push_back(entry.path().filename());
  }
  return names;
}

// The second member's desktop while the first member forges a notice and crowds its socket (in
// the folder marks, the desktop says it is "ready" and the first member that it "forged"): the
// forged notice reloads nothing, and the service's notice of a scan still arrives.
void HearOnlyTheService(const std::string& controlSocket, const std::string& marks) {
  WithStartedDesktop([&](DesktopSession& session, testing_support::RecordingPrompter&) {
    // Its socket is the group's, which the service reaches, and nobody else's.
    const std::string data = session.App().DataFolder();
    int sockets = 0;
    for (const std::string& name : OwnedIn(data, geteuid())) {
      struct stat socket {};
      if (!name.starts_with("OskavelMirvale") || lstat((data + "/" + name).c_str(), &socket) != 0) continue;
      ++sockets;
      EXPECT_EQ(socket.st_mode & 07777, 0660u) << name;
    }
    EXPECT_EQ(sockets, 1);
    QTest::qWait(200);  // the start's own reload
    int reloads = 0;
    QObject::connect(&session.App(), &CMirvaleApp::databaseReloaded, [&] { ++reloads; });
    ASSERT_TRUE(platform::WriteFileAtomically(marks + "/ready", "", 0644));
    ASSERT_TRUE(QTest::qWaitFor([&] { return access((marks + "/forged").c_str(), F_OK) == 0; }, 60000))
        << "nothing was forged";
    QTest::qWait(500);
    EXPECT_EQ(reloads, 0) << "another member's notice was taken for the service's";
    const int forged = reloads;
    ASSERT_EQ(platform::SendServiceControl(kStartScan, controlSocket, std::chrono::seconds(60)), 0u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return reloads > forged; }, 60000)) << "the service's notice was crowded out";
  });
}

// The two members' turns, each in its own process: a step is done once its file exists.
void MarkStep(const std::string& step) {
  ASSERT_TRUE(platform::WriteFileAtomically(std::string(std::getenv(kStepsVariable)) + "/" + step, "", 0666));
}
void AwaitStep(const std::string& step) {
  const std::string path = std::string(std::getenv(kStepsVariable)) + "/" + step;
  ASSERT_TRUE(QTest::qWaitFor([&] { return platform::FileExists(path); }, 60000)) << "no " << step;
}

// Member A: adds pool labsnmp and its automatic scan while B's desktop has the settings open,
// then, her own copy older than B's save, starts a scan of it.
void AddAPoolThenScanIt() {
  testing_support::RecordingPrompter prompter;
  CMirvaleApp app(testing_support::QuickAppOptions());
  app.StartDatabaseThread();
  ASSERT_NO_FATAL_FAILURE(AwaitStep("b-loaded"));
  app.WithDocument([](CMirvaleDoc& doc) {
    CPoolItem& pool = doc.m_mapPools.FindOrAdd("labsnmp");
    pool.m_bSnmpV1 = 1;
    pool.m_strReadCommunity = "public";
    pool.m_pDevices.Set("127.0.0.1", CDeviceItem{"127.0.0.1", "255.255.255.255"});
    doc.m_mapAutoScan.Set("labsnmp", CAutoScanItem{1, "labsnmp", 6, 0});
  });
  ASSERT_TRUE(app.Commit());
  // A pool dialog stays open: what B saves meanwhile is not loaded under it.
  CMirvaleApp::EditHold poolDialog(app);
  ASSERT_NO_FATAL_FAILURE(MarkStep("a-pooled"));
  ASSERT_NO_FATAL_FAILURE(AwaitStep("b-saved"));
  EXPECT_EQ(app.Document().m_bScanLog, 0u) << "loaded under an open edit";
  // Start Scan, as the Scan pane asks for it.
  app.WithDocument([&](CMirvaleDoc& doc) {
    doc.m_strScanPool = "labsnmp";
    doc.m_strScanUser = app.UserName();
  });
  EXPECT_TRUE(app.Commit({}, CMirvaleApp::OnConflict::KeepMine));
  EXPECT_TRUE(prompter.Texts().isEmpty()) << prompter.Texts().join('\n').toStdString();
}

// Member B: his desktop opened before A's pool; with an edit open all along he switches scan
// logging on, removes a device of his own pool and has the service prune.
void SaveAndPruneOverAnOlderCopy(const std::string& controlSocket) {
  testing_support::RecordingPrompter prompter;
  CMirvaleApp app(testing_support::QuickAppOptions());
  app.StartDatabaseThread();
  ASSERT_TRUE(app.Document().m_mapPools.Contains("bpool"));
  CMirvaleApp::EditHold optionsPane(app);
  ASSERT_NO_FATAL_FAILURE(MarkStep("b-loaded"));
  ASSERT_NO_FATAL_FAILURE(AwaitStep("a-pooled"));
  EXPECT_FALSE(app.Document().m_mapPools.Contains("labsnmp")) << "loaded under an open edit";
  app.WithDocument([](CMirvaleDoc& doc) { doc.m_bScanLog = 1; });
  EXPECT_TRUE(app.Commit());
  app.WithDocument([](CMirvaleDoc& doc) { doc.m_mapPools.Find("bpool")->m_pDevices.Remove("127.0.0.3"); });
  EXPECT_TRUE(app.Commit());
  EXPECT_EQ(platform::SendServiceControl(133, controlSocket, std::chrono::seconds(60)), 0u);
  EXPECT_TRUE(prompter.Texts().isEmpty()) << prompter.Texts().join('\n').toStdString();
  ASSERT_NO_FATAL_FAILURE(MarkStep("b-saved"));
}

// A home of the account's own under the test's folder.
std::string MakeHome(const testing_support::ServiceProcess& service, const passwd& entry) {
  const std::string home = service.Root() + "/home-" + entry.pw_name;
  platform::CreateFolderLevels(home, 0700);
  return chown(home.c_str(), entry.pw_uid, entry.pw_gid) == 0 ? home : "";
}

// Starts program (argv) as the account, with the service's environment and variables, its
// output to outputPath.
pid_t StartAs(const testing_support::ServiceProcess& service, const std::string& account,
              std::vector<std::string> argv, const std::map<std::string, std::string>& variables,
              const std::string& outputPath) {
  const passwd* entry = getpwnam(account.c_str());
  if (!entry) return -1;
  const std::string home = MakeHome(service, *entry);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(255);
    for (const auto& [name, value] : service.Environment()) setenv(name.c_str(), value.c_str(), 1);
    for (const auto& [name, value] : variables) setenv(name.c_str(), value.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    if (initgroups(entry->pw_name, entry->pw_gid) != 0 || setgid(entry->pw_gid) != 0 || setuid(entry->pw_uid) != 0)
      _exit(255);
    std::vector<char*> pointers;
    for (std::string& word : argv) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    execve(pointers[0], pointers.data(), environ);
    _exit(127);
  }
  return child;
}

// Waits (bounded: a walk stuck in a modal loop is killed) for the child; its wait status.
int WaitForChild(pid_t child) {
  int status = 0;
  for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
    if (waited == 1200) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    QTest::qWait(100);
  }
  return status;
}

// Starts one test of this program again as the account.
pid_t StartTestAs(const testing_support::ServiceProcess& service, const std::string& account, const std::string& test,
                  const std::map<std::string, std::string>& variables) {
  return StartAs(service, account, {"/proc/self/exe", "--gtest_filter=MemberDesktop." + test}, variables,
                 service.Root() + "/" + account + ".out");
}

// Waits for a test started as the account; its output says it passed.
void FinishTestAs(const testing_support::ServiceProcess& service, const std::string& account, pid_t child) {
  const std::string outputPath = service.Root() + "/" + account + ".out";
  ASSERT_GT(child, 0);
  const int status = WaitForChild(child);
  const std::string output = platform::ReadWholeFile(outputPath).value_or("");
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

// Runs one test of this program again as the account; its output, which says it passed.
void RunTestAs(const testing_support::ServiceProcess& service, const std::string& account, const std::string& test,
               const std::map<std::string, std::string>& variables) {
  FinishTestAs(service, account, StartTestAs(service, account, test, variables));
}

// Two members of one operators' group (the first account's own group) and the service they
// share, registered and started.
struct SharedService {
  testing_support::TemporaryAccount first{"mvdka"};
  testing_support::TemporaryAccount second{"mvdkb"};
  testing_support::ServiceProcess service;

  void Start() {
    ASSERT_TRUE(first.Made() && second.Made());
    ASSERT_EQ(std::system(("usermod -a -G " + first.Name() + " " + second.Name()).c_str()), 0);
    service.SetEnv("MIRVALE_OPERATOR_GROUP", first.Name());
    ASSERT_EQ(chmod(service.Root().c_str(), 0755), 0);
    ASSERT_TRUE(service.Register());
    ASSERT_TRUE(service.Start());
  }
};

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
  RunTestAs(service, member.Name(), "AMemberWhoIsNotRootOpensEveryPane", {{kWalkVariable, "1"}});
  EXPECT_TRUE(service.Stop());
}

TEST(MemberDesktop, AMembersDesktopEndedWithItsSessionLeavesNothingThatSilencesAnothers) {
  if (const char* control = std::getenv(kHearVariable)) return HearAScan(control);
  ASSERT_EQ(geteuid(), 0u) << "makes accounts";
  SharedService shared;
  // The settings name a manual scan as pending (a desktop that started one wrote them): no
  // desktop that reads them at its start is deaf to the notices for that.
  CMirvaleDoc pending;
  ApplyServiceDefaults(pending);
  pending.m_strScanPool = "absent";
  ASSERT_TRUE(platform::WriteFileAtomically(shared.service.ProgramFile("Mirvale.ini"), EncodeSettings(pending), 0644));
  ASSERT_NO_FATAL_FAILURE(shared.Start());
  auto& [first, second, service] = shared;

  // The first member's desktop program, once it listens.
  // A copy the member may run wherever the checkout lies (root's 0700 home too).
  const std::string program =
      testing_support::SharedStage::Get().Copy(std::string(MIRVALE_BINARY_DIR) + "/bin/Mirvale");
  const auto listening = [&] {
    for (const std::string& name : OwnedIn(service.DataFolder(), first.Uid()))
      if (name.starts_with("OskavelMirvale")) return true;
    return false;
  };
  const auto startFirst = [&] {
    const pid_t desktop = StartAs(service, first.Name(), {program}, {{"QT_QPA_PLATFORM", "offscreen"}},
                                  service.Root() + "/first.out");
    EXPECT_TRUE(QTest::qWaitFor(listening, 60000));
    return desktop;
  };
  // Ended as a session's end ends it: it closes and leaves no socket behind.
  const auto endFirst = [&](pid_t desktop) {
    kill(desktop, SIGTERM);
    const int status = WaitForChild(desktop);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_FALSE(listening());
  };
  endFirst(startFirst());
  // The second member's desktop hears while the first member's listens too.
  const pid_t running = startFirst();
  // Nor is its single-instance lock another account's (root's, here): that account's own first
  // copy is the one a later copy brings forward.
  const QString folder = QString::fromStdString(service.DataFolder());
  SingleInstance mine(folder);
  EXPECT_TRUE(mine.IsFirst());
  int raised = 0;
  QObject::connect(&mine, &SingleInstance::raiseRequested, [&] { ++raised; });
  SingleInstance again(folder);
  EXPECT_FALSE(again.IsFirst());
  EXPECT_TRUE(again.AskFirstToRaise());
  EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 5000));
  RunTestAs(service, second.Name(), "AMembersDesktopEndedWithItsSessionLeavesNothingThatSilencesAnothers",
            {{kHearVariable, service.ControlSocket()}});
  endFirst(running);
  EXPECT_TRUE(service.Stop());
}

TEST(MemberDesktop, AnotherMembersForgedAndStalledNoticesNeitherReachNorCrowdOutTheServices) {
  if (const char* marks = std::getenv(kForgedVariable)) return HearOnlyTheService(std::getenv(kHearVariable), marks);
  ASSERT_EQ(geteuid(), 0u) << "makes accounts";
  SharedService shared;
  ASSERT_NO_FATAL_FAILURE(shared.Start());
  auto& [first, second, service] = shared;
  const std::string marks = service.Root() + "/marks";
  ASSERT_EQ(mkdir(marks.c_str(), 0777), 0);
  ASSERT_EQ(chmod(marks.c_str(), 0777), 0);
  const std::string forged = marks + "/forged";
  const std::string data = service.DataFolder();
  const uid_t listener = second.Uid();
  // The first member: once the second's desktop listens, a forged notice, then as many idle
  // connections as it can hold, again and again.
  const pid_t attacker = fork();
  if (attacker == 0) {
    _exit([&] {
      if (!testing_support::Become(first)) return 1;
      while (access((marks + "/ready").c_str(), F_OK) != 0) usleep(10000);
      std::string socket;
      while (socket.empty()) {
        for (const std::string& name : OwnedIn(data, listener))
          if (name.starts_with("OskavelMirvale")) socket = data + "/" + name;
        usleep(10000);
      }
      platform::UniqueFd forging = platform::ConnectUnixStream(socket, /*nonBlocking=*/false);
      if (!forging || !platform::SendAll(forging.get(), "Update Database\0", 16)) return 1;
      forging.Reset();
      std::deque<platform::UniqueFd> idle;
      for (bool told = false;; usleep(100)) {
        while (idle.size() < 900) {
          platform::UniqueFd one = platform::ConnectUnixStream(socket, /*nonBlocking=*/true);
          if (!one) break;
          idle.push_back(std::move(one));
        }
        if (!told) told = platform::WriteFileAtomically(forged, "", 0644);
        if (idle.size() >= 900) idle.pop_front();
      }
      return 0;
    }());
  }
  RunTestAs(service, second.Name(), "AnotherMembersForgedAndStalledNoticesNeitherReachNorCrowdOutTheServices",
            {{kForgedVariable, marks}, {kHearVariable, service.ControlSocket()}});
  kill(attacker, SIGKILL);
  waitpid(attacker, nullptr, 0);
  EXPECT_TRUE(service.Stop());
}

TEST(MemberDesktop, AnOutsiderIsToldHowToJoinAndAMemberWhatBlockedTheSave) {
  if (std::getenv(kWalkVariable)) {
    if (std::getenv("MIRVALE_TEST_WAITING_OWNER")) return SaveOverAWaitingFile();
    return OpenAsOutsider();
  }
  ASSERT_EQ(geteuid(), 0u) << "makes accounts";
  testing_support::TemporaryAccount outsider("mvdko");
  ASSERT_TRUE(outsider.Made());
  SharedService shared;
  ASSERT_NO_FATAL_FAILURE(shared.Start());
  auto& [first, second, service] = shared;
  {
    SCOPED_TRACE("the outsider, with the service running");
    RunTestAs(service, outsider.Name(), "AnOutsiderIsToldHowToJoinAndAMemberWhatBlockedTheSave",
              {{kWalkVariable, "1"}, {"MIRVALE_TEST_ACCOUNT", outsider.Name()}});
  }
  ASSERT_TRUE(service.Stop());
  // The first member's Save while the service was stopped left her file waiting.
  const std::string waiting = service.DataFolder() + "/Mirvale.ini";
  ASSERT_TRUE(platform::WriteFileAtomically(waiting, "x\n", 0640));
  ASSERT_EQ(chown(waiting.c_str(), first.Uid(), static_cast<gid_t>(-1)), 0);
  SCOPED_TRACE("the second member, with the first's file waiting");
  RunTestAs(service, second.Name(), "AnOutsiderIsToldHowToJoinAndAMemberWhatBlockedTheSave",
            {{kWalkVariable, "1"}, {"MIRVALE_TEST_ACCOUNT", second.Name()}, {"MIRVALE_TEST_WAITING_OWNER", first.Name()}});
  // The failed Save left nothing for the service to carry out later.
  EXPECT_EQ(OwnedIn(service.DataFolder(), second.Uid()), std::vector<std::string>{});
}

TEST(MemberDesktop, TwoMembersEditingFromOlderCopiesKeepEachOthersPoolsOptionsAndStoredData) {
  if (const char* role = std::getenv(kRoleVariable)) {
    if (std::string(role) == "a") return AddAPoolThenScanIt();
    return SaveAndPruneOverAnOlderCopy(std::getenv(kHearVariable));
  }
  ASSERT_EQ(geteuid(), 0u) << "makes accounts";
  SharedService shared;
  auto& [first, second, service] = shared;
  // B's pool of two devices, and what scans stored for it and for A's pool-to-be.
  CMirvaleDoc settings;
  ApplyServiceDefaults(settings);
  CPoolItem& own = settings.m_mapPools.FindOrAdd("bpool");
  own.m_bSnmpV1 = 1;
  for (const char* address : {"127.0.0.2", "127.0.0.3"})
    own.m_pDevices.Set(address, CDeviceItem{address, "255.255.255.255"});
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings), 0644));
  DeviceDatabaseMap stored;
  for (const auto& [pool, address] : {std::pair{"labsnmp", "127.0.0.1"}, {"bpool", "127.0.0.2"}, {"bpool", "127.0.0.3"}}) {
    CDbItem& device = stored.FindOrAdd(DeviceKey(pool, address));
    device.m_strPool = pool;
    device.m_strAddress = address;
  }
  ASSERT_TRUE(SaveDeviceDatabaseFile(service.ProgramFile("Mirvale.db"), stored));
  ASSERT_NO_FATAL_FAILURE(shared.Start());
  const std::string steps = service.Root() + "/steps";
  platform::CreateFolderLevels(steps, 0700);
  ASSERT_EQ(chmod(steps.c_str(), 0777), 0);
  const pid_t b = StartTestAs(service, second.Name(), "TwoMembersEditingFromOlderCopiesKeepEachOthersPoolsOptionsAndStoredData",
                              {{kRoleVariable, "b"}, {kHearVariable, service.ControlSocket()}, {kStepsVariable, steps}});
  const pid_t a = StartTestAs(service, first.Name(), "TwoMembersEditingFromOlderCopiesKeepEachOthersPoolsOptionsAndStoredData",
                              {{kRoleVariable, "a"}, {kStepsVariable, steps}});
  FinishTestAs(service, second.Name(), b);
  FinishTestAs(service, first.Name(), a);

  const CMirvaleDoc kept = DecodeSettings(platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")).value_or(""));
  ASSERT_TRUE(kept.m_mapPools.Contains("labsnmp"));
  EXPECT_TRUE(kept.m_mapAutoScan.Contains("labsnmp"));
  EXPECT_EQ(kept.m_bScanLog, 1u);
  EXPECT_EQ(kept.m_strScanPool, "labsnmp");
  ASSERT_TRUE(kept.m_mapPools.Contains("bpool"));
  EXPECT_EQ(kept.m_mapPools.Find("bpool")->m_pDevices.size(), 1u);
  const auto after = ReadDeviceDatabaseFile(service.ProgramFile("Mirvale.db"));
  ASSERT_TRUE(after);
  EXPECT_TRUE(after->Contains("labsnmp/127.0.0.1")) << "B's prune removed A's stored data";
  EXPECT_TRUE(after->Contains("bpool/127.0.0.2"));
  EXPECT_FALSE(after->Contains("bpool/127.0.0.3"));
  EXPECT_TRUE(service.Stop());
}

}  // namespace
}  // namespace mirvale

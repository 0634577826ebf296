// The real MirvaleSrv as root with two members of a temporary operators' group handing settings
// over in the shared, sticky data folder: a file one member left waiting, one member keeping
// files at the hand-over names while the other saves, a save given up on while the service
// hung, a file replaced or withdrawn while the service takes it, and a file of more records than
// the service keeps. The group and the accounts are removed after each test.
#include <algorithm>
#include <csignal>
#include <thread>

#include <sys/inotify.h>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"
#include "tests/common/empty_restore_requests.h"
#include "tests/support/aside_copies.h"
#include "tests/support/operators_group.h"
#include "tests/support/service_process.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::As;
using testing_support::ServiceProcess;

constexpr uint32_t kReload = 134;

CMirvaleDoc SettingsNaming(const std::string& server) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  doc.m_strSmtpServer = server;
  return doc;
}

// The desktop's Save: the file written into the data folder, then code 134; one attempt unless
// told otherwise, each waiting for the answer as long as given.
bool Save(const ServiceProcess& service, const CMirvaleDoc& doc, int attempts = 1,
          std::chrono::milliseconds answer = std::chrono::seconds(60)) {
  platform::RetryPolicy retry;
  retry.attempts = attempts;
  retry.pause = std::chrono::milliseconds(100);
  return DesktopSaveSettings(
      doc, service.DataFolder(),
      [&] { return platform::SendServiceControl(kReload, service.ControlSocket(), answer) == 0u; }, retry);
}

// Code 134 alone, as the member.
int Reload(const testing_support::TemporaryAccount& member, const ServiceProcess& service) {
  return As(member, [&] { return platform::SendServiceControl(kReload, service.ControlSocket()) == 0u ? 0 : 1; });
}

std::string HandOverName(const ServiceProcess& service, const testing_support::TemporaryAccount& member) {
  return service.DataFile("Mirvale.ini." + std::to_string(member.Uid()));
}

// The SMTP server of the settings the service keeps in its program folder.
std::string RunningServer(const ServiceProcess& service) {
  auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.ini"));
  return bytes ? DecodeSettings(*bytes).m_strSmtpServer : "";
}

size_t CountLogged(const ServiceProcess& service, const std::string& text) {
  auto lines = service.EventLines();
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

bool Logged(const ServiceProcess& service, const std::string& text) { return CountLogged(service, text) > 0; }

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
  testing_support::OperatorsGroup members{2};
  ServiceProcess service;
};

}  // namespace

TEST_F(SettingsHandoverService, AMembersWaitingFileIsTakenSoAnotherMembersSaveSucceeds) {
  const std::string waiting = service.DataFile("Mirvale.ini");
  // Member A saves while the service is stopped: her file waits, hers alone to replace.
  ASSERT_EQ(As(members.Member(0),
               [&] { return platform::WriteFileAtomically(waiting, EncodeSettings(SettingsNaming("a.example")), 0640) ? 0 : 1; }),
            0);
  ASSERT_TRUE(service.Start());
  EXPECT_EQ(RunningServer(service), "a.example") << "not taken at the start";
  EXPECT_TRUE(service.WaitForEventLine("Took over the settings that waited in " + waiting));
  EXPECT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  EXPECT_EQ(RunningServer(service), "b.example");

  // A file whose request never came is taken by the main loop's next tick.
  ASSERT_EQ(As(members.Member(0),
               [&] { return platform::WriteFileAtomically(waiting, EncodeSettings(SettingsNaming("a2.example")), 0640) ? 0 : 1; }),
            0);
  EXPECT_TRUE(testing_support::WaitFor([&] { return RunningServer(service) == "a2.example"; }, 30s, 100ms));
  EXPECT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming("b2.example")) ? 0 : 1; }), 0);
  EXPECT_EQ(RunningServer(service), "b2.example");
  ASSERT_TRUE(service.Stop());
}

// Member A keeps files of her own at the name all members once shared and at B's own name,
// putting a new one there the moment the old one goes: B's every Save still gets through.
TEST_F(SettingsHandoverService, AMembersContinuedHandOverNeverBlocksAnothersSave) {
  ASSERT_TRUE(service.Start());
  const std::string shared = service.DataFile("Mirvale.ini");
  const std::string bs = HandOverName(service, members.Member(1));
  const pid_t keeper = fork();
  if (keeper == 0) {
    if (!testing_support::Become(members.Member(0))) _exit(1);
    const std::string bytes = EncodeSettings(SettingsNaming("a.example"));
    for (;;) {
      for (const std::string& name : {shared, bs})
        if (access(name.c_str(), F_OK) != 0) platform::WriteFileAtomically(name, bytes, 0640);
      usleep(200);
    }
  }
  ASSERT_TRUE(testing_support::WaitFor([&] { return access(bs.c_str(), F_OK) == 0; }, 10s, 5ms));
  const std::string sharedTaken = "Took over the settings that waited in " + shared;
  for (int save = 0; save < 10; ++save) {
    const std::string server = "b" + std::to_string(save) + ".example";
    const size_t takenBefore = CountLogged(service, sharedTaken);
    EXPECT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming(server), 5) ? 0 : 1; }), 0) << server;
    // A tick may have taken A's file since.
    const std::string running = RunningServer(service);
    if (!(running == "a.example" && CountLogged(service, sharedTaken) > takenBefore)) {
      EXPECT_EQ(running, server);
    }
  }
  kill(keeper, SIGKILL);
  waitpid(keeper, nullptr, 0);
  EXPECT_TRUE(Logged(service, "The file " + bs + " cannot be read (it belongs to uid " +
                                  std::to_string(members.Member(0).Uid()) + ", not to uid " +
                                  std::to_string(members.Member(1).Uid()) + ")"));
  // Nothing of B's waits: each Save was taken.
  EXPECT_EQ(Reload(members.Member(1), service), 0);
  EXPECT_EQ(testing_support::AsideCopies(service.DataFolder(), "Mirvale.ini." + std::to_string(members.Member(1).Uid()))
                .size(),
            CountLogged(service, "The file " + bs + " cannot be read"));
  ASSERT_TRUE(service.Stop());
}

// B gives up on a Save while the service hangs and is told it failed: once the service goes on,
// nothing of that Save is carried out.
TEST_F(SettingsHandoverService, ASaveGivenUpOnIsNotCarriedOutOnceTheServiceGoesOn) {
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  ASSERT_EQ(kill(service.Pid(), SIGSTOP), 0);
  EXPECT_NE(As(members.Member(1), [&] { return Save(service, SettingsNaming("late.example"), 2, 500ms) ? 0 : 1; }), 0);
  ASSERT_EQ(kill(service.Pid(), SIGCONT), 0);
  EXPECT_EQ(Reload(members.Member(1), service), 0);
  EXPECT_EQ(RunningServer(service), "b.example");
  ASSERT_TRUE(service.Stop());
}

// Reads the events of watch until one names a file that passes named, then does act once;
// false when the watch ended first.
template <typename Named, typename Act>
bool OnEvent(int watch, Named named, Act act) {
  alignas(inotify_event) char events[4096];
  for (;;) {
    const ssize_t got = read(watch, events, sizeof events);
    if (got <= 0) return false;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if (named(event->len ? std::string(event->name) : std::string())) {
        act();
        return true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

// A Save that puts a new file at the name while the service takes the one before: the new one is
// not deleted unseen, and the next request takes it.
TEST_F(SettingsHandoverService, AFileReplacedWhileTheServiceTakesTheOneBeforeIsTakenNext) {
  ASSERT_TRUE(service.Start());
  const auto& member = members.Member(1);
  const std::string name = HandOverName(service, member);
  // Ready beside the name, the member's; a name the service never takes.
  const std::string next = name + ".next";
  ASSERT_TRUE(platform::WriteFileAtomically(next, EncodeSettings(SettingsNaming("second.example")), 0640));
  ASSERT_EQ(chown(next.c_str(), member.Uid(), static_cast<gid_t>(-1)), 0);
  // A large first file, so that its copy into the program folder takes a while.
  CMirvaleDoc first = SettingsNaming("first.example");
  CRestoreItem large;
  large.m_strValue = std::string(8 << 20, 'x');
  first.m_mapRestore.Set("1", large);
  platform::UniqueFd watch(inotify_init1(IN_CLOEXEC));
  ASSERT_TRUE(watch);
  ASSERT_GE(inotify_add_watch(watch.get(), service.ProgramFolder().c_str(), IN_CREATE), 0);
  int saved = -1;
  std::thread saving([&] { saved = As(member, [&] { return Save(service, first) ? 0 : 1; }); });
  // The moment the service starts writing its copy, the member's next file takes the name.
  bool replaced = false;
  OnEvent(
      watch.get(), [](const std::string& made) { return made.starts_with("Mirvale.ini.tmp-"); },
      [&] { replaced = rename(next.c_str(), name.c_str()) == 0; });
  saving.join();
  ASSERT_TRUE(replaced);
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(RunningServer(service), "first.example");
  EXPECT_EQ(Reload(member, service), 0);
  EXPECT_EQ(RunningServer(service), "second.example") << "the file put in place meanwhile was deleted unseen";
  ASSERT_TRUE(service.Stop());
}

// A desktop that gives up on its Save removes its file while the service is reading it: the
// service carries out nothing of it.
TEST_F(SettingsHandoverService, AFileWithdrawnWhileTheServiceReadsItIsNotCarriedOut) {
  ASSERT_TRUE(service.Start());
  const auto& member = members.Member(1);
  ASSERT_EQ(As(member, [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  // Many records, so that reading them takes a while once the file is closed.
  const std::string name = HandOverName(service, member);
  ASSERT_TRUE(platform::WriteFileAtomically(name, archive_test::SettingsWithEmptyRestoreRequests(262144), 0640));
  ASSERT_EQ(chown(name.c_str(), member.Uid(), static_cast<gid_t>(-1)), 0);
  platform::UniqueFd watch(inotify_init1(IN_CLOEXEC));
  ASSERT_TRUE(watch);
  ASSERT_GE(inotify_add_watch(watch.get(), name.c_str(), IN_CLOSE_NOWRITE), 0);
  int reloaded = -1;
  std::thread reloading([&] { reloaded = Reload(member, service); });
  bool withdrawn = false;
  OnEvent(
      watch.get(), [](const std::string&) { return true; }, [&] { withdrawn = unlink(name.c_str()) == 0; });
  reloading.join();
  ASSERT_TRUE(withdrawn);
  EXPECT_EQ(reloaded, 0);
  EXPECT_EQ(RunningServer(service), "b.example") << "a withdrawn file was carried out";
  ASSERT_TRUE(service.Stop());
}

TEST_F(SettingsHandoverService, AFileOfMoreRestoreRequestsThanTheServiceKeepsIsSetAside) {
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  const std::string hostile = archive_test::SettingsWithEmptyRestoreRequests(262145);
  ASSERT_EQ(As(members.Member(0),
               [&] { return platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), hostile, 0640) ? 0 : 1; }),
            0);
  EXPECT_EQ(Reload(members.Member(0), service), 0);
  EXPECT_EQ(RunningServer(service), "b.example");
  EXPECT_EQ(testing_support::AsideCopies(service.DataFolder(), "Mirvale.ini").size(), 1u);
  EXPECT_TRUE(Logged(service, "more than 262144 records of class CRestoreItem"));
  ASSERT_TRUE(service.Stop());
}

}  // namespace mirvale

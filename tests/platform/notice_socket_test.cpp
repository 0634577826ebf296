#include "platform/notice_socket.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/unix_socket.h"
#include "tests/support/scoped_env.h"

using testing_support::ScopedEnv;
using testing_support::TempFolder;

TEST(NoticeSocket, ListenerReceivesTheMessageInOnePiece) {
  TempFolder temp;
  ScopedEnv data("MIRVALE_COMMON_APPDATA", temp.path());
  EXPECT_EQ(platform::NoticeSocketPath(), temp.path() + "/Oskavel/Mirvale/OskavelMirvale");
  platform::DataFolder(true);
  platform::UniqueFd listener = platform::ListenUnixStream(platform::NoticeSocketPath(), 0600, 1);
  ASSERT_TRUE(listener);
  const std::string notice("Update Database\0", 16);
  ASSERT_TRUE(platform::SendNotice(notice));
  platform::UniqueFd client(accept(listener.get(), nullptr, nullptr));
  ASSERT_TRUE(client);
  char buffer[64];
  ssize_t got = recv(client.get(), buffer, sizeof buffer, MSG_WAITALL);
  ASSERT_EQ(got, 16);
  EXPECT_EQ(std::string(buffer, 16), notice);
}

TEST(NoticeSocket, MissingOrBusyListenerSendsNothingAndDoesNotWait) {
  TempFolder temp;
  EXPECT_FALSE(platform::SendNotice("x", temp / "absent"));
  // A listener that accepts nobody: once its backlog is full, a sender gives up at once.
  platform::UniqueFd listener = platform::ListenUnixStream(temp / "busy", 0600, 0);
  ASSERT_TRUE(listener);
  int sent = 0;
  for (int i = 0; i < 64; ++i) sent += platform::SendNotice("x", temp / "busy") ? 1 : 0;
  EXPECT_LT(sent, 64);
}

TEST(NoticeSocket, ALinkIsNeverFollowedAndASocketNobodyListensOnGoes) {
  TempFolder temp;
  platform::UniqueFd listener = platform::ListenUnixStream(temp / "listening", 0600, 4);
  ASSERT_TRUE(listener);
  ASSERT_EQ(symlink((temp / "listening").c_str(), (temp / "OskavelMirvale.link").c_str()), 0);
  { platform::UniqueFd stale = platform::ListenUnixStream(temp / "OskavelMirvale.0.1", 0600, 1); }
  std::vector<std::string> skipped;
  EXPECT_EQ(platform::NotifyEveryNoticeSocket(temp.path(), "x", [&](const std::string& path) { skipped.push_back(path); }),
            0u);
  EXPECT_EQ(skipped, std::vector<std::string>{temp / "OskavelMirvale.link"});
  EXPECT_EQ(access((temp / "OskavelMirvale.0.1").c_str(), F_OK), -1);
  pollfd waiting{listener.get(), POLLIN, 0};
  EXPECT_EQ(poll(&waiting, 1, 0), 0);

  // A desktop's sweep at its start: its own account's stale sockets only.
  const std::string own = temp / ("OskavelMirvale." + std::to_string(geteuid()));
  { platform::UniqueFd stale = platform::ListenUnixStream(own + ".2", 0600, 1); }
  { platform::UniqueFd other = platform::ListenUnixStream(own + "1.3", 0600, 1); }  // another account's
  platform::RemoveOwnStaleNoticeSockets(temp.path(), geteuid());
  EXPECT_EQ(access((own + ".2").c_str(), F_OK), -1);
  EXPECT_EQ(access((own + "1.3").c_str(), F_OK), 0);
}

// A busy service sweeps the folder while a desktop starts listening: the desktop's socket is
// never found bound but refusing, and so never taken for a stale one and removed.
TEST(NoticeSocket, ASocketBeingSetUpIsNeverSweptAway) {
  TempFolder temp;
  std::atomic<bool> done{false};
  std::thread sweeper([&] {
    while (!done) platform::NotifyEveryNoticeSocket(temp.path(), "x");
  });
  int lost = 0;
  for (int start = 0; start < 20000 && lost == 0; ++start) {
    const std::string name = temp / ("OskavelMirvale.0." + std::to_string(start));
    platform::UniqueFd listener = platform::ListenUnixStream(name, 0600, 4);
    if (!listener || access(name.c_str(), F_OK) != 0) ++lost;
    unlink(name.c_str());
  }
  done = true;
  sweeper.join();
  EXPECT_EQ(lost, 0);
}

// Any member may make names in the folder: however many one makes (files, sockets under another
// account's number, sockets of its own), another account's socket is still notified, and only
// 16 of the member's own sockets are.
TEST(NoticeSocket, AMembersFloodOfNamesNeverSilencesAnotherAccount) {
  ASSERT_EQ(geteuid(), 0u) << "gives names to other accounts";
  TempFolder temp;
  constexpr uid_t kMember = 60001, kOther = 60002;
  const auto name = [&](uid_t account, const std::string& rest) {
    return temp / ("OskavelMirvale." + std::to_string(account) + "." + rest);
  };
  std::vector<platform::UniqueFd> members;
  const auto flood = [&](const std::string& round) {
    for (int i = 0; i < 150; ++i) {
      const std::string file = name(kMember, round + "f" + std::to_string(i));
      platform::UniqueFd made(open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
      const std::string posing = name(kOther, round + "s" + std::to_string(i));
      { platform::UniqueFd socket = platform::ListenUnixStream(posing, 0600, 1); }
      ASSERT_EQ(lchown(file.c_str(), kMember, kMember) | lchown(posing.c_str(), kMember, kMember), 0);
    }
    for (int i = 0; i < 10; ++i) {
      const std::string own = name(kMember, round + std::to_string(i));
      members.push_back(platform::ListenUnixStream(own, 0600, 4));
      ASSERT_EQ(lchown(own.c_str(), kMember, kMember), 0);
    }
  };
  // Before and after the other account's socket, whichever order the folder lists them in.
  flood("a");
  platform::UniqueFd other = platform::ListenUnixStream(name(kOther, "1"), 0600, 4);
  ASSERT_EQ(lchown(name(kOther, "1").c_str(), kOther, kOther), 0);
  flood("b");
  EXPECT_EQ(platform::NotifyEveryNoticeSocket(temp.path(), "x"), 17u);
  pollfd waiting{other.get(), POLLIN, 0};
  EXPECT_EQ(poll(&waiting, 1, 0), 1);
}

// A name taken at this process's own leads to another, which a notice reaches and which the
// sweep at a later start removes once nobody listens on it.
TEST(NoticeSocket, AnOwnNameTakenByAnotherAccountLeadsToAnother) {
  ASSERT_EQ(geteuid(), 0u) << "gives a name to another account";
  TempFolder temp;
  const std::string taken = temp / ("OskavelMirvale.0." + std::to_string(getpid()));
  platform::UniqueFd made(open(taken.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
  ASSERT_EQ(lchown(taken.c_str(), 60001, 60001), 0);
  std::string path;
  platform::UniqueFd listener = platform::ListenOwnNoticeSocket(temp.path(), 0600, 4, path);
  ASSERT_TRUE(listener);
  EXPECT_EQ(path.rfind(taken + ".", 0), 0u) << path;
  EXPECT_EQ(platform::NotifyEveryNoticeSocket(temp.path(), "x"), 1u);
  listener.Reset();
  platform::RemoveOwnStaleNoticeSockets(temp.path(), 0);
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
  EXPECT_EQ(access(taken.c_str(), F_OK), 0);
}

// Any member may make names in the folder: the name a socket is set up under before it takes
// its own cannot be foreseen, so files made ahead at every name a process id suggests keep
// nobody from listening.
TEST(NoticeSocket, NamesMadeAheadNeverKeepASocketFromListening) {
  TempFolder temp;
  for (int n = 0; n < 1024; ++n) {
    const std::string squat = temp / (".listen-" + std::to_string(getpid()) + "-" + std::to_string(n));
    platform::UniqueFd made(open(squat.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    ASSERT_TRUE(made);
  }
  std::string path;
  platform::UniqueFd listener = platform::ListenOwnNoticeSocket(temp.path(), 0600, 4, path);
  EXPECT_TRUE(listener) << std::strerror(errno);
  EXPECT_EQ(path, temp / ("OskavelMirvale." + std::to_string(geteuid()) + "." + std::to_string(getpid())));
}

// A notice is delivered only to a socket standing at the name itself: never through a link,
// never to a FIFO or a file, which are left as they are.
TEST(NoticeSocket, ANoticeToANameThatIsNoSocketGoesNowhere) {
  TempFolder temp;
  platform::UniqueFd listener = platform::ListenUnixStream(temp / "listening", 0600, 4);
  ASSERT_TRUE(listener);
  ASSERT_EQ(symlink((temp / "listening").c_str(), (temp / "link").c_str()), 0);
  ASSERT_EQ(mkfifo((temp / "fifo").c_str(), 0600), 0);
  ASSERT_TRUE(platform::WriteFileAtomically(temp / "file", "kept", 0600));
  for (const char* name : {"link", "fifo", "file"})
    EXPECT_EQ(platform::DeliverNotice(temp / name, "x"), platform::NoticeDelivery::NotASocket) << name;
  pollfd waiting{listener.get(), POLLIN, 0};
  EXPECT_EQ(poll(&waiting, 1, 0), 0);
  struct stat fifo {};
  EXPECT_TRUE(lstat((temp / "fifo").c_str(), &fifo) == 0 && S_ISFIFO(fifo.st_mode));
  EXPECT_EQ(platform::ReadWholeFile(temp / "file"), "kept");
}

// A listener whose backlog another account keeps full for a moment still gets the notice.
TEST(NoticeSocket, AListenerWhoseBacklogIsFullForAMomentIsNotifiedOnceThereIsRoom) {
  TempFolder temp;
  const std::string name = temp / ("OskavelMirvale." + std::to_string(geteuid()) + ".1");
  platform::UniqueFd listener = platform::ListenUnixStream(name, 0600, 0);
  ASSERT_TRUE(listener);
  std::vector<platform::UniqueFd> crowd;
  for (;;) {
    platform::UniqueFd one = platform::ConnectUnixStream(name, /*nonBlocking=*/true);
    if (!one) break;
    crowd.push_back(std::move(one));
  }
  ASSERT_FALSE(crowd.empty());
  std::thread served([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    crowd.clear();
    for (pollfd waiting{listener.get(), POLLIN, 0}; poll(&waiting, 1, 2000) == 1;)
      platform::UniqueFd accepted(accept(listener.get(), nullptr, nullptr));
  });
  EXPECT_EQ(platform::NotifyEveryNoticeSocket(temp.path(), "x"), 1u);
  served.join();
}

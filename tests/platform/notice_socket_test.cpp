#include "platform/notice_socket.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

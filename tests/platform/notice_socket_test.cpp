#include "platform/notice_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

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

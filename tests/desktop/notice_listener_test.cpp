// The desktop end of the "Update Database" notice on a real socket in a temporary folder.
#include "desktop/shell/notice_listener.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/notice_socket.h"
#include "tests/support/scoped_env.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;

struct Counter {
  std::atomic<int> notices{0};
  bool WaitFor(int count) {
    for (int i = 0; i < 400 && notices < count; ++i) std::this_thread::sleep_for(5ms);
    return notices >= count;
  }
};

TEST(NoticeListener, OnlyTheExactNoticeWithItsZeroByteCounts) {
  testing_support::TempFolder folder;
  const std::string path = folder / "OskavelMirvale";
  Counter counter;
  NoticeListener listener(path, [&] { ++counter.notices; });
  ASSERT_TRUE(listener.Listening());
  for (std::string wrong : {std::string("Update Database"), std::string("update database\0", 16),
                            std::string("Update Databases\0", 17), std::string()}) {
    ASSERT_TRUE(platform::SendNotice(wrong, path));
  }
  ASSERT_TRUE(platform::SendNotice(std::string("Update Database\0trailing", 24), path));
  ASSERT_TRUE(counter.WaitFor(1));
  // Two senders in quick succession are served one after the other.
  ASSERT_TRUE(platform::SendNotice(std::string("Update Database\0", 16), path));
  ASSERT_TRUE(platform::SendNotice(std::string("Update Database\0", 16), path));
  ASSERT_TRUE(counter.WaitFor(3));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(counter.notices, 3);
}

TEST(NoticeListener, TakesOverAStaleSocketAndRemovesItsOwnAtTheEnd) {
  testing_support::TempFolder folder;
  const std::string path = folder / "OskavelMirvale";
  { std::ofstream stale(path); }
  Counter counter;
  {
    NoticeListener listener(path, [&] { ++counter.notices; });
    ASSERT_TRUE(listener.Listening());
    ASSERT_TRUE(platform::SendNotice(std::string("Update Database\0", 16), path));
    ASSERT_TRUE(counter.WaitFor(1));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(platform::SendNotice(std::string("Update Database\0", 16), path));
}

}  // namespace
}  // namespace mirvale

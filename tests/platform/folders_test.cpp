#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/retry.h"
#include "tests/support/scoped_env.h"

using testing_support::ScopedEnv;
using testing_support::TempFolder;

TEST(Folders, EnvironmentMovesEveryFolder) {
  TempFolder temp;
  ScopedEnv program("MIRVALE_PROGRAM_FOLDER", temp.path() + "/prog/");
  ScopedEnv data("MIRVALE_COMMON_APPDATA", temp.path() + "/common");
  ScopedEnv run("MIRVALE_RUN_DIR", temp.path() + "/run");
  EXPECT_EQ(platform::ProgramFolder(), temp.path() + "/prog");
  EXPECT_EQ(platform::DataFolder(), temp.path() + "/common/Oskavel/Mirvale");
  EXPECT_EQ(platform::RunFolder(), temp.path() + "/run");
  // Creating the data folder makes every missing level.
  EXPECT_EQ(platform::DataFolder(true), temp.path() + "/common/Oskavel/Mirvale");
  struct stat info {};
  EXPECT_EQ(stat((temp.path() + "/common/Oskavel/Mirvale").c_str(), &info), 0);
  // Only the folder itself takes a narrow mode; the levels above stay reachable.
  ASSERT_TRUE(platform::CreateFolderLevels(temp / "a/b/private", 0700));
  ASSERT_EQ(stat((temp / "a/b").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
  ASSERT_EQ(stat((temp / "a/b/private").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(Folders, DefaultsWithoutEnvironment) {
  unsetenv("MIRVALE_COMMON_APPDATA");
  unsetenv("MIRVALE_PROGRAM_FOLDER");
  EXPECT_EQ(platform::DataFolder(), "/var/lib/Oskavel/Mirvale");
  // The program folder is this test executable's folder.
  EXPECT_EQ(platform::ProgramFolder(), std::string(MIRVALE_BINARY_DIR) + "/bin");
}

TEST(Folders, CreateLevelsFailsOnAFileInTheWay) {
  TempFolder temp;
  FILE* f = fopen((temp / "file").c_str(), "w");
  fclose(f);
  EXPECT_FALSE(platform::CreateFolderLevels(temp / "file/sub"));
}

TEST(Retry, StopsAtFirstSuccessAndPausesBetweenAttemptsOnly) {
  int pauses = 0;
  platform::RetryPolicy policy;
  policy.sleep = [&](std::chrono::milliseconds d) {
    EXPECT_EQ(d.count(), 1000);
    ++pauses;
  };
  int calls = 0;
  EXPECT_TRUE(platform::Retry([&] { return ++calls == 3; }, policy));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(pauses, 2);

  calls = pauses = 0;
  EXPECT_FALSE(platform::Retry([&] { ++calls; return false; }, policy));
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(pauses, 4);
}

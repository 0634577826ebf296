#include "platform/atomic_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/scoped_env.h"

using testing_support::TempFolder;

TEST(AtomicFile, ReplacesContentWithModeAndLeavesNoTemporary) {
  TempFolder temp;
  std::string path = temp / "Mirvale.ini";
  ASSERT_TRUE(platform::WriteFileAtomically(path, "old"));
  ASSERT_TRUE(platform::WriteFileAtomically(path, std::string("new\0bytes", 9), 0600));
  EXPECT_EQ(*platform::ReadWholeFile(path), std::string("new\0bytes", 9));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(temp.path())) { (void)e; ++entries; }
  EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, FailedWriteKeepsTheOldFile) {
  TempFolder temp;
  EXPECT_FALSE(platform::WriteFileAtomically(temp / "missing/x", "data"));
  EXPECT_FALSE(platform::ReadWholeFile(temp / "missing/x"));
}

TEST(AtomicFile, AppendCreatesThenAppends) {
  TempFolder temp;
  ASSERT_TRUE(platform::AppendToFile(temp / "log", "a\n"));
  ASSERT_TRUE(platform::AppendToFile(temp / "log", "b\n"));
  EXPECT_EQ(*platform::ReadWholeFile(temp / "log"), "a\nb\n");
}

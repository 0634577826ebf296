#include "platform/atomic_file.h"
#include "platform/run_account.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

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

TEST(AtomicFile, MissingFolderFailsAndCreatesNothing) {
  TempFolder temp;
  EXPECT_FALSE(platform::WriteFileAtomically(temp / "missing/x", "data"));
  EXPECT_FALSE(platform::ReadWholeFile(temp / "missing/x"));
}

// The write fails once the temporary file exists: a child process under a file-size limit
// (the signal ignored, so write reports EFBIG) saves more than the limit allows.
TEST(AtomicFile, WriteFailingMidwayKeepsTheOldFileByteForByte) {
  TempFolder temp;
  const std::string path = temp / "Mirvale.db";
  const std::string old(5000, 'o');
  ASSERT_TRUE(platform::WriteFileAtomically(path, old));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(platform::WriteFileAtomically(path, std::string(65536, 'n')) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as success";
  EXPECT_TRUE(platform::ReadWholeFile(path) == old) << "the old file changed";
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(temp.path())) { (void)e; ++entries; }
  EXPECT_EQ(entries, 1) << "the temporary file was left behind";
}

TEST(AtomicFile, AppendCreatesThenAppends) {
  TempFolder temp;
  ASSERT_TRUE(platform::AppendToFile(temp / "log", "a\n"));
  ASSERT_TRUE(platform::AppendToFile(temp / "log", "b\n"));
  EXPECT_EQ(*platform::ReadWholeFile(temp / "log"), "a\nb\n");
}

// Files at paths from the settings: the service's own are replaced whole, another account's
// file is never taken over by the rename (its owner, mode and content stay).
TEST(RunAccountFiles, OnlyTheServicesOwnFilesAreReplaced) {
  ASSERT_EQ(geteuid(), 0u) << "gives a file to another account";
  testing_support::ScopedEnv account("MIRVALE_RUN_ACCOUNT", "root");
  TempFolder temp;
  const std::string own = temp / "own.log", other = temp / "other.log";
  ASSERT_TRUE(platform::WriteFileAtomically(own, "old"));
  ASSERT_TRUE(platform::WriteFileAtomically(other, "theirs", 0666));
  ASSERT_EQ(chown(other.c_str(), 65534, 65534), 0);
  std::string reason;
  EXPECT_TRUE(platform::ReplaceAsRunAccount(own, "new", 0640, reason)) << reason;
  EXPECT_EQ(*platform::ReadWholeFile(own), "new");
  EXPECT_FALSE(platform::ReplaceAsRunAccount(other, "new", 0640, reason));
  EXPECT_EQ(reason, "it belongs to another account, and only files the service created are replaced");
  struct stat info {};
  ASSERT_EQ(stat(other.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_mode & 07777, 0666u);
  EXPECT_EQ(*platform::ReadWholeFile(other), "theirs");
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(temp.path())) { (void)e; ++entries; }
  EXPECT_EQ(entries, 2) << "a temporary file was left";
}

#include "base/seed_file.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/client_registry_paths.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "tests/support/scoped_env.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempFolder;

std::vector<std::string> chunks;
void collect(const void* data, int length) { chunks.emplace_back(static_cast<const char*>(data), length); }

class SeedFile : public testing::Test {
 protected:
  void SetUp() override { chunks.clear(); }
  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  ScopedEnv home_{"HOME", folder_.path()};
};

TEST_F(SeedFile, DefaultsToTheHomeFolderAndIsPrivate) {
  EXPECT_EQ(seed_file_path(), folder_ / "MIRSH.RND");
  std::string seed(2500, 's');
  seed[1500] = '\0';
  random_seed_file_write(seed.data(), static_cast<int>(seed.size()));
  struct stat info {};
  ASSERT_EQ(stat(seed_file_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  random_seed_file_read(collect);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].size(), 1024u);
  EXPECT_EQ(chunks[2].size(), 452u);
  EXPECT_EQ(chunks[0] + chunks[1] + chunks[2], seed);
}

TEST_F(SeedFile, RegistryValueNamesTheFile) {
  auto key = platform::RegistryKey::Open(kMirshRegistryPath, true);
  ASSERT_TRUE(key);
  key->SetString("RandSeedFile", folder_ / "elsewhere.rnd");
  EXPECT_EQ(seed_file_path(), folder_ / "elsewhere.rnd");
  random_seed_file_write("abc", 3);
  EXPECT_EQ(platform::ReadWholeFile(folder_ / "elsewhere.rnd"), "abc");
}

TEST_F(SeedFile, MissingFileIsSkippedAndFailedWriteLeavesNothing) {
  random_seed_file_read(collect);
  EXPECT_TRUE(chunks.empty());
  auto key = platform::RegistryKey::Open(kMirshRegistryPath, true);
  key->SetString("RandSeedFile", folder_ / "no-such-folder/seed.rnd");
  random_seed_file_write("abc", 3);
  EXPECT_FALSE(platform::FileExists(folder_ / "no-such-folder/seed.rnd"));
}

}  // namespace

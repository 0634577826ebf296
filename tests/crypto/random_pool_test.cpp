#include "crypto/random_pool.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/client_registry_paths.h"
#include "base/memory.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "tests/crypto/bignum_test_support.h"
#include "tests/support/scoped_env.h"

namespace {

// Stand-ins for the seed file and the timer list.
struct FakeServices {
  static std::vector<unsigned char> seed;
  static std::vector<std::vector<unsigned char>> written;
  static int scheduled;
  static TimerCallback callback;
  static void *context;

  static void read(SeedChunkCallback chunk)
  {
    for (std::size_t at = 0; at < seed.size(); at += 1024)
      chunk(seed.data() + at, static_cast<int>(std::min<std::size_t>(1024, seed.size() - at)));
  }
  static void write(const void *data, int length)
  {
    const auto *bytes = static_cast<const unsigned char *>(data);
    written.emplace_back(bytes, bytes + length);
  }
  static uint32_t schedule(uint32_t delay, TimerCallback fire, void *owner)
  {
    EXPECT_EQ(delay, random_noise_interval_ms);
    ++scheduled;
    callback = fire;
    context = owner;
    return delay;
  }
};

std::vector<unsigned char> FakeServices::seed;
std::vector<std::vector<unsigned char>> FakeServices::written;
int FakeServices::scheduled;
TimerCallback FakeServices::callback;
void *FakeServices::context;

class RandomPoolTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    FakeServices::seed.assign(3000, 0x5A);
    FakeServices::written.clear();
    FakeServices::scheduled = 0;
    FakeServices::callback = nullptr;
    random_pool_reset_for_testing();
    random_pool_set_services({FakeServices::read, FakeServices::write, FakeServices::schedule});
  }
  void TearDown() override
  {
    while (random_pool_users() > 0)
      random_release();
    random_pool_reset_for_testing();
    random_pool_set_services({random_seed_file_read, random_seed_file_write, timer_schedule});
  }

  static std::vector<unsigned char> pool_bytes()
  {
    const RandomPool &state = random_pool_state();
    return std::vector<unsigned char>(state.pool, state.pool + random_pool_size);
  }
};

TEST_F(RandomPoolTest, NoiseBeforeAcquisitionChangesNothing)
{
  std::vector<unsigned char> noise(500, 0xA5);
  random_add_noise(noise.data(), static_cast<int>(noise.size()));
  entropy_add_tiny(42);
  const RandomPool &state = random_pool_state();
  EXPECT_EQ(state.incoming_count, 0);
  EXPECT_EQ(state.position, 0);
  EXPECT_EQ(pool_bytes(), std::vector<unsigned char>(random_pool_size, 0));
}

TEST_F(RandomPoolTest, BytesComeFromPositionTwentyAndStirAfterTheEnd)
{
  random_acquire();
  const RandomPool &state = random_pool_state();
  ASSERT_EQ(state.position, 20);
  std::vector<unsigned char> before = pool_bytes();
  for (int i = 20; i < random_pool_size; ++i)
    ASSERT_EQ(random_next_byte(), before[i]) << i;
  EXPECT_EQ(pool_bytes(), before);
  unsigned char next = random_next_byte();  // the 1181st call stirs
  EXPECT_NE(pool_bytes(), before);
  EXPECT_EQ(next, state.pool[20]);
  EXPECT_EQ(state.position, 21);
}

TEST_F(RandomPoolTest, SeedIsSixHundredBytesAndLeavesPositionAtTwenty)
{
  random_acquire();
  int length = 0;
  unsigned char *seed = random_get_seed(&length);
  EXPECT_EQ(length, random_seed_length);
  EXPECT_EQ(random_pool_state().position, 20);
  checked_free(seed);
}

TEST_F(RandomPoolTest, SeedsOnceAndSavesTheSeedFileAtOnce)
{
  random_acquire();
  ASSERT_EQ(FakeServices::written.size(), 1u);
  EXPECT_EQ(FakeServices::written[0].size(), static_cast<std::size_t>(random_seed_length));
  EXPECT_EQ(FakeServices::scheduled, 1);
  random_release();

  // A later first user continues from the stirred state rather than reseeding.
  std::vector<unsigned char> before = pool_bytes();
  random_acquire();
  EXPECT_EQ(pool_bytes(), before);
  EXPECT_EQ(FakeServices::written.size(), 1u);
  EXPECT_EQ(FakeServices::scheduled, 1);

  random_seed_save();
  ASSERT_EQ(FakeServices::written.size(), 2u);
  EXPECT_NE(FakeServices::written[0], FakeServices::written[1]);
  random_release();
  random_seed_save();  // nobody holds the pool: nothing written
  EXPECT_EQ(FakeServices::written.size(), 2u);
}

TEST_F(RandomPoolTest, MissingSeedFileStillSeeds)
{
  FakeServices::seed.clear();
  random_acquire();
  EXPECT_NE(pool_bytes(), std::vector<unsigned char>(random_pool_size, 0));
}

TEST_F(RandomPoolTest, TheSeedFileChangesThePool)
{
  // Heavy noise differs between runs anyway; the seed must still reach the pool: two pools
  // seeded identically but for the file differ wherever the file was XORed in.
  random_acquire();
  std::vector<unsigned char> first = pool_bytes();
  random_release();
  random_pool_reset_for_testing();
  FakeServices::seed.assign(3000, 0xC3);
  random_acquire();
  EXPECT_NE(pool_bytes(), first);
}

TEST_F(RandomPoolTest, NoiseIsAbsorbedWhileHeld)
{
  random_acquire();
  const RandomPool &state = random_pool_state();
  int count = state.incoming_count;
  entropy_add_tiny(7);
  EXPECT_EQ(state.incoming_count, (count + 16) % 64);
  uint32_t incoming[5];
  std::memcpy(incoming, state.incoming, sizeof incoming);
  std::vector<unsigned char> noise(64, 0x11);
  random_add_noise(noise.data(), 64);
  EXPECT_NE(std::memcmp(incoming, state.incoming, sizeof incoming), 0);
}

TEST_F(RandomPoolTest, RegularNoiseTimerReschedulesOnlyWhileHeld)
{
  random_acquire();
  ASSERT_NE(FakeServices::callback, nullptr);
  FakeServices::callback(FakeServices::context, 0);
  EXPECT_EQ(FakeServices::scheduled, 2);
  random_release();
  FakeServices::callback(FakeServices::context, 0);
  EXPECT_EQ(FakeServices::scheduled, 2);
  random_acquire();  // the next user registers the timer again
  EXPECT_EQ(FakeServices::scheduled, 3);
}

TEST_F(RandomPoolTest, BytesBeforeAnyAcquisitionAreSeeded)
{
  unsigned char first = random_next_byte();
  (void)first;
  EXPECT_NE(pool_bytes(), std::vector<unsigned char>(random_pool_size, 0));
  EXPECT_EQ(random_pool_state().position, 21);
}

// Two processes started from the same seed file produce different bytes, and each replaces the
// seed file (mode 0600) as soon as it has seeded.
TEST(RandomPoolProcesses, SameSeedFileGivesDifferentOutput)
{
  testing_support::TempFolder folder;
  testing_support::ScopedEnv registry("MIRVALE_REGISTRY_ROOT", folder / "registry");
  std::string seed_path = folder / "seed.rnd";
  {
    auto key = platform::RegistryKey::Open(kMirshRegistryPath, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetString("RandSeedFile", seed_path));
  }
  std::string seed(600, '\x42');
  std::string probe = MIRVALE_BINARY_DIR "/bin/random_pool_probe";
  std::vector<std::string> outputs;
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(platform::WriteFileAtomically(seed_path, seed, 0600));
    int status = -1;
    outputs.push_back(bignum_testing::run_command(probe, &status));
    ASSERT_EQ(status, 0);
    EXPECT_EQ(outputs.back().size(), 65u);
    auto rewritten = platform::ReadWholeFile(seed_path);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(rewritten->size(), 600u);
    EXPECT_NE(*rewritten, seed);
    struct stat info {};
    ASSERT_EQ(stat(seed_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
  EXPECT_NE(outputs[0], outputs[1]);
}

}  // namespace

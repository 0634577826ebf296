// CRC-32 against its check value and zlib, and the SSH-1 compensation-attack detector on
// harmless packets, on packets built to carry the attack, and at the limits of its table.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "crypto/byte_order.h"
#include "crypto/crc32.h"
#include "crypto/ssh1_attack_detector.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

TEST(Crc32, CheckValueWithoutInversions)
{
  EXPECT_EQ(crc32_buffer("123456789", 9), 0x2dfd2d88u);
  EXPECT_EQ(crc32_buffer("", 0), 0u);
  EXPECT_EQ(crc32_update(crc32_buffer("1234", 4), "56789", 5), 0x2dfd2d88u);
}

TEST(Crc32, MatchesZlibWithTheInversionsAdded)
{
  std::mt19937 rng(802);
  std::vector<Bytes> messages;
  std::string input;
  for (int i = 0; i < 100; ++i) {
    messages.push_back(random_bytes(rng, rng() % 2000));
    input += to_hex(messages.back()) + "\n";
  }
  const auto lines = split_lines(run_python("import sys, zlib\n"
                                            "for line in sys.stdin: print(zlib.crc32(bytes.fromhex(line.strip())))\n",
                                            input));
  ASSERT_EQ(lines.size(), messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const auto [a, b] = random_cuts(rng, messages[i].size());
    std::uint32_t crc = 0xffffffff;
    crc = crc32_update(crc, messages[i].data(), a);
    crc = crc32_update(crc, messages[i].data() + a, b - a);
    crc = crc32_update(crc, messages[i].data() + b, messages[i].size() - b);
    EXPECT_EQ(std::to_string(crc ^ 0xffffffff), lines[i]);
  }
}

namespace {

// Distinct blocks: block n holds n in its first word (so the hash slots spread) plus noise.
Bytes distinct_blocks(std::mt19937 &rng, std::size_t count)
{
  Bytes packet(count * 8);
  for (std::size_t n = 0; n < count; ++n) {
    store_be32(packet.data() + 8 * n, static_cast<std::uint32_t>(n * 2654435761u));
    store_be32(packet.data() + 8 * n + 4, static_cast<std::uint32_t>(rng()));
  }
  return packet;
}

// The detector's confirmation, computed independently: the CRC of the marker pattern.
int expected_confirmation(const Bytes &packet, const unsigned char *suspect, const unsigned char *iv)
{
  Bytes pattern;
  auto mark = [&](bool equal) {
    const unsigned char entry[8] = {static_cast<unsigned char>(equal), 0, 0, 0, 0, 0, 0, 0};
    pattern.insert(pattern.end(), entry, entry + 8);
  };
  if (iv && std::memcmp(iv, suspect, 8) == 0)
    mark(true);
  for (std::size_t at = 0; at < packet.size(); at += 8)
    mark(std::memcmp(packet.data() + at, suspect, 8) == 0);
  return crc32_buffer(pattern.data(), pattern.size()) == 0 ? 1 : 0;
}

// Positions whose marker patterns' CRCs XOR to zero: the CRC is linear, so repeating one block
// at exactly these positions leaves the packet CRC unchanged. Gaussian elimination over GF(2).
std::vector<std::size_t> cancelling_positions(std::size_t count)
{
  std::vector<std::pair<std::uint32_t, std::vector<bool>>> basis;
  for (std::size_t i = 0; i < count; ++i) {
    Bytes pattern(count * 8, 0);
    pattern[8 * i] = 1;
    std::uint32_t value = crc32_buffer(pattern.data(), pattern.size());
    std::vector<bool> used(count, false);
    used[i] = true;
    for (const auto &[b, b_used] : basis)
      if ((value ^ b) < value) {
        value ^= b;
        for (std::size_t k = 0; k < count; ++k)
          used[k] = used[k] != b_used[k];
      }
    if (value == 0) {
      std::vector<std::size_t> positions;
      for (std::size_t k = 0; k < count; ++k)
        if (used[k])
          positions.push_back(k);
      return positions;
    }
    basis.emplace_back(value, used);
    std::sort(basis.begin(), basis.end(), [](auto &x, auto &y) { return x.first > y.first; });
  }
  return {};
}

}  // namespace

TEST(AttackDetector, PacketsWithoutRepeatedBlocksPass)
{
  std::mt19937 rng(1998);
  AttackDetector *detector = attack_detector_new();
  for (std::size_t count : {1u, 4u, 7u, 8u, 100u, 3000u}) {
    const Bytes packet = distinct_blocks(rng, count);
    const Bytes iv = random_bytes(rng, 8);
    EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), iv.data()), 0) << count;
    EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), nullptr), 0) << count;
  }
  attack_detector_free(detector);
}

TEST(AttackDetector, RepeatsThatCancelInTheCrcAreDetected)
{
  std::mt19937 rng(27);
  const std::size_t count = 48;  // more blocks than CRC bits: a cancelling set must exist
  const auto positions = cancelling_positions(count);
  ASSERT_GE(positions.size(), 2u);
  Bytes packet = distinct_blocks(rng, count);
  const Bytes repeated(packet.begin() + 8 * positions[0], packet.begin() + 8 * positions[0] + 8);
  for (std::size_t p : positions)
    std::memcpy(packet.data() + 8 * p, repeated.data(), 8);
  ASSERT_EQ(expected_confirmation(packet, repeated.data(), nullptr), 1);

  AttackDetector *detector = attack_detector_new();
  EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), nullptr), 1);
  const Bytes iv = random_bytes(rng, 8);
  EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), iv.data()), 1);
  // A repetition whose markers do not cancel is let through.
  Bytes harmless = distinct_blocks(rng, count);
  std::memcpy(harmless.data() + 8 * 5, harmless.data() + 8 * 9, 8);
  EXPECT_EQ(attack_detector_check(detector, harmless.data(), harmless.size(), nullptr),
            expected_confirmation(harmless, harmless.data() + 8 * 9, nullptr));
  attack_detector_free(detector);
}

TEST(AttackDetector, RepeatsOfTheIvAndShortPacketsFollowTheConfirmation)
{
  std::mt19937 rng(64);
  AttackDetector *detector = attack_detector_new();
  const Bytes iv = random_bytes(rng, 8);
  Bytes all_iv;
  for (int n = 0; n < 8; ++n)
    all_iv.insert(all_iv.end(), iv.begin(), iv.end());
  // 64 bytes: through the hash table.
  EXPECT_EQ(attack_detector_check(detector, all_iv.data(), all_iv.size(), iv.data()),
            expected_confirmation(all_iv, iv.data(), iv.data()));
  // Short packets, compared directly: each with one block repeated.
  for (std::size_t count = 2; count <= 7; ++count) {
    Bytes packet = distinct_blocks(rng, count);
    std::memcpy(packet.data() + 8 * (count - 1), packet.data(), 8);
    EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), nullptr),
              expected_confirmation(packet, packet.data(), nullptr))
        << count;
  }
  attack_detector_free(detector);
}

TEST(AttackDetector, TableGrowsByFoursAndRefusesWhatItCannotIndex)
{
  std::mt19937 rng(16384);
  AttackDetector *detector = attack_detector_new();
  EXPECT_EQ(detector->size, 4096u);
  Bytes packet = distinct_blocks(rng, 50000 / 8);
  EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), nullptr), 0);
  EXPECT_EQ(detector->size, 16384u);
  attack_detector_check(detector, packet.data(), 64, nullptr);
  EXPECT_EQ(detector->size, 16384u) << "the table never shrinks";

  // The largest packet whose block indices fit beside the two markers is still checked...
  packet = distinct_blocks(rng, ATTACK_DETECTOR_MAX_BLOCKS);
  EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), nullptr), 0);
  EXPECT_EQ(detector->size, 262144u);
  // ...and one block more is refused rather than indexed wrongly.
  packet.resize(packet.size() + 8);
  EXPECT_EQ(attack_detector_check(detector, packet.data(), packet.size(), nullptr), 1);
  attack_detector_free(detector);
}

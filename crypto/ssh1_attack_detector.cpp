#include "crypto/ssh1_attack_detector.h"

#include <algorithm>
#include <cstring>

#include "base/memory.h"
#include "crypto/byte_order.h"
#include "crypto/crc32.h"

namespace {

constexpr std::size_t block_size = 8;
constexpr std::uint32_t initial_size = 4096;
constexpr std::uint16_t slot_empty = 0xffff;
constexpr std::uint16_t slot_iv = 0xfffe;
// Up to this many bytes the blocks are compared directly rather than hashed.
constexpr std::size_t direct_check_limit = 7 * block_size;

bool same_block(const unsigned char* a, const unsigned char* b) { return std::memcmp(a, b, block_size) == 0; }

// The attack is confirmed when the CRC over a pattern marking each block equal to `suspect`
// with 1 comes out 0: then that block's repetitions can be chosen to cancel in the CRC.
bool confirm_repetition(const unsigned char* suspect, const unsigned char* blocks, std::size_t count,
                        const unsigned char* iv) {
  static const unsigned char one[4] = {1, 0, 0, 0}, zero[4] = {0, 0, 0, 0};
  std::uint32_t crc = 0;
  if (iv && same_block(suspect, iv)) {
    crc = crc32_update(crc, one, 4);
    crc = crc32_update(crc, zero, 4);
  }
  for (std::size_t n = 0; n < count; ++n) {
    crc = crc32_update(crc, same_block(suspect, blocks + n * block_size) ? one : zero, 4);
    crc = crc32_update(crc, zero, 4);
  }
  return crc == 0;
}

int check_directly(const unsigned char* blocks, std::size_t count, const unsigned char* iv) {
  for (std::size_t n = 0; n < count; ++n) {
    const unsigned char* block = blocks + n * block_size;
    const unsigned char* match = nullptr;
    if (iv && same_block(block, iv)) match = iv;
    for (std::size_t earlier = 0; !match && earlier < n; ++earlier)
      if (same_block(block, blocks + earlier * block_size)) match = blocks + earlier * block_size;
    if (match && confirm_repetition(block, blocks, count, iv)) return 1;
  }
  return 0;
}

int check_hashed(AttackDetector* detector, const unsigned char* blocks, std::size_t count, const unsigned char* iv) {
  const std::uint32_t mask = detector->size - 1;
  std::uint16_t* table = detector->table;
  std::fill(table, table + detector->size, slot_empty);
  if (iv) table[load_be32(iv) & mask] = slot_iv;
  for (std::size_t n = 0; n < count; ++n) {
    const unsigned char* block = blocks + n * block_size;
    std::uint32_t slot = load_be32(block) & mask;
    for (; table[slot] != slot_empty; slot = (slot + 1) & mask) {
      const unsigned char* earlier = table[slot] == slot_iv ? iv : blocks + std::size_t(table[slot]) * block_size;
      if (same_block(block, earlier)) {
        if (confirm_repetition(block, blocks, count, iv)) return 1;
        break;
      }
    }
    table[slot] = static_cast<std::uint16_t>(n);
  }
  return 0;
}

}  // namespace

AttackDetector* attack_detector_new() {
  AttackDetector* detector = checked_new_array<AttackDetector>(1);
  detector->table = nullptr;
  detector->size = initial_size;
  return detector;
}

void attack_detector_free(AttackDetector* detector) {
  if (!detector) return;
  checked_free(detector->table);
  checked_free(detector);
}

int attack_detector_check(AttackDetector* detector, const unsigned char* cipher_text, std::size_t length,
                          const unsigned char* iv) {
  const std::size_t count = length / block_size;
  // Indices 0xfffe and 0xffff would collide with the markers: such packets cannot be checked.
  if (count > ATTACK_DETECTOR_MAX_BLOCKS) return 1;

  // At least one and a half slots per block keep probe chains short. With the block count
  // bounded above, the size stays far below 2^32.
  std::uint32_t wanted = detector->size;
  while (wanted < count * 3 / 2) wanted *= 4;
  if (wanted != detector->size || !detector->table) {
    checked_free(detector->table);
    detector->table = checked_new_array<std::uint16_t>(wanted);
    detector->size = wanted;
  }

  if (length <= direct_check_limit) return check_directly(cipher_text, count, iv);
  return check_hashed(detector, cipher_text, count, iv);
}

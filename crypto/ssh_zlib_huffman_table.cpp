#include "crypto/ssh_zlib_huffman_table.h"

#include <algorithm>
#include <array>

#include "crypto/ssh_zlib_codes.h"

bool ZlibHuffmanTable::build(const uint8_t* lengths, int count) {
  std::array<int, max_code_bits + 1> per_length{};
  for (int s = 0; s < count; ++s) {
    if (lengths[s] > max_code_bits) return false;
    ++per_length[lengths[s]];
  }
  per_length[0] = 0;
  int left = 1;
  for (int len = 1; len <= max_code_bits; ++len) {
    left = (left << 1) - per_length[len];
    if (left < 0) return false;  // more codes than the lengths can name
  }

  std::array<uint32_t, max_code_bits + 1> next_code{};
  uint32_t code = 0;
  for (int len = 1; len <= max_code_bits; ++len) {
    code = (code + per_length[len - 1]) << 1;
    next_code[len] = code;
  }
  std::vector<uint32_t> reversed(count);
  for (int s = 0; s < count; ++s) {
    if (lengths[s]) reversed[s] = ssh_zlib_codes::reverse_bits(next_code[lengths[s]]++, lengths[s]);
  }

  constexpr int first_level_size = 1 << first_level_bits;
  std::array<uint8_t, first_level_size> sub_bits{};
  for (int s = 0; s < count; ++s) {
    if (lengths[s] > first_level_bits) {
      uint8_t& sub = sub_bits[reversed[s] & first_level_mask];
      sub = std::max<uint8_t>(sub, lengths[s] - first_level_bits);
    }
  }

  entries_.assign(first_level_size, Entry{0, first_level_bits, invalid_entry});
  for (int prefix = 0; prefix < first_level_size; ++prefix) {
    if (!sub_bits[prefix]) continue;
    uint8_t total = first_level_bits + sub_bits[prefix];
    entries_[prefix] = Entry{static_cast<uint16_t>(entries_.size()), total, link_entry};
    entries_.resize(entries_.size() + (size_t{1} << sub_bits[prefix]), Entry{0, total, invalid_entry});
  }

  for (int s = 0; s < count; ++s) {
    int len = lengths[s];
    if (!len) continue;
    Entry e{static_cast<uint16_t>(s), static_cast<uint8_t>(len), symbol_entry};
    if (len <= first_level_bits) {
      for (uint32_t i = reversed[s]; i < first_level_size; i += 1u << len) entries_[i] = e;
    } else {
      const Entry& link = entries_[reversed[s] & first_level_mask];
      uint32_t size = 1u << (link.bits - first_level_bits);
      for (uint32_t i = reversed[s] >> first_level_bits; i < size; i += 1u << (len - first_level_bits))
        entries_[link.symbol + i] = e;
    }
  }
  return true;
}

#include "crypto/crc32.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 256> make_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> crc_table = make_table();

}  // namespace

std::uint32_t crc32_update(std::uint32_t crc, const void* data, std::size_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < length; ++i) crc = crc_table[(crc ^ bytes[i]) & 0xff] ^ (crc >> 8);
  return crc;
}

std::uint32_t crc32_buffer(const void* data, std::size_t length) { return crc32_update(0, data, length); }

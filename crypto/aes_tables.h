#pragma once
// AES S-boxes and round tables, computed at compile time from the field arithmetic of FIPS 197
// rather than transcribed.

#include <array>
#include <cstdint>

namespace aes_detail {

constexpr std::uint8_t xtime(std::uint8_t x) { return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0)); }

constexpr std::uint8_t gf_multiply(std::uint8_t a, std::uint8_t b) {
  std::uint8_t product = 0;
  for (; b; b >>= 1, a = xtime(a))
    if (b & 1) product ^= a;
  return product;
}

constexpr std::uint8_t gf_inverse(std::uint8_t x) {
  if (x == 0) return 0;
  // x^254 = x^-1 in GF(2^8), by square and multiply
  std::uint8_t result = 1;
  std::uint8_t power = x;
  for (int exponent = 254; exponent; exponent >>= 1, power = gf_multiply(power, power))
    if (exponent & 1) result = gf_multiply(result, power);
  return result;
}

constexpr std::uint8_t rotl8(std::uint8_t x, int n) { return static_cast<std::uint8_t>((x << n) | (x >> (8 - n))); }

struct Tables {
  std::array<std::uint8_t, 256> sbox{};
  std::array<std::uint8_t, 256> inverse_sbox{};
  std::array<std::array<std::uint32_t, 256>, 4> encrypt{};  // SubBytes + MixColumns, by row
  std::array<std::array<std::uint32_t, 256>, 4> decrypt{};  // InvSubBytes + InvMixColumns
};

constexpr std::uint32_t word(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(c) << 8 | d;
}

constexpr std::uint32_t rotr(std::uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

constexpr Tables make_tables() {
  Tables t;
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t b = gf_inverse(static_cast<std::uint8_t>(x));
    const std::uint8_t s = static_cast<std::uint8_t>(b ^ rotl8(b, 1) ^ rotl8(b, 2) ^ rotl8(b, 3) ^ rotl8(b, 4) ^ 0x63);
    t.sbox[x] = s;
    t.inverse_sbox[s] = static_cast<std::uint8_t>(x);
  }
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t s = t.sbox[x];
    const std::uint32_t e = word(gf_multiply(s, 2), s, s, gf_multiply(s, 3));
    const std::uint8_t i = t.inverse_sbox[x];
    const std::uint32_t d = word(gf_multiply(i, 14), gf_multiply(i, 9), gf_multiply(i, 13), gf_multiply(i, 11));
    for (int r = 0; r < 4; ++r) {
      t.encrypt[r][x] = r ? rotr(e, 8 * r) : e;
      t.decrypt[r][x] = r ? rotr(d, 8 * r) : d;
    }
  }
  return t;
}

inline constexpr Tables tables = make_tables();

}  // namespace aes_detail

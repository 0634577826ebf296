#include "crypto/md5.h"

#include "crypto/byte_order.h"
#include "crypto/hash_block_buffer.h"
#include "crypto/secure_clear.h"

namespace {

inline std::uint32_t md5_f(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t md5_g(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (z & (x ^ y)); }
inline std::uint32_t md5_h(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t md5_i(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

#define MD5_STEP(f, a, b, c, d, m, k, s) a = b + rotl32(a + f(b, c, d) + (m) + (k), s)

void md5_block(std::uint32_t h[4], const unsigned char* block) {
  std::uint32_t m[16];
  for (int i = 0; i < 16; ++i) m[i] = load_le32(block + 4 * i);
  std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];

  MD5_STEP(md5_f, a, b, c, d, m[0], 0xd76aa478, 7);
  MD5_STEP(md5_f, d, a, b, c, m[1], 0xe8c7b756, 12);
  MD5_STEP(md5_f, c, d, a, b, m[2], 0x242070db, 17);
  MD5_STEP(md5_f, b, c, d, a, m[3], 0xc1bdceee, 22);
  MD5_STEP(md5_f, a, b, c, d, m[4], 0xf57c0faf, 7);
  MD5_STEP(md5_f, d, a, b, c, m[5], 0x4787c62a, 12);
  MD5_STEP(md5_f, c, d, a, b, m[6], 0xa8304613, 17);
  MD5_STEP(md5_f, b, c, d, a, m[7], 0xfd469501, 22);
  MD5_STEP(md5_f, a, b, c, d, m[8], 0x698098d8, 7);
  MD5_STEP(md5_f, d, a, b, c, m[9], 0x8b44f7af, 12);
  MD5_STEP(md5_f, c, d, a, b, m[10], 0xffff5bb1, 17);
  MD5_STEP(md5_f, b, c, d, a, m[11], 0x895cd7be, 22);
  MD5_STEP(md5_f, a, b, c, d, m[12], 0x6b901122, 7);
  MD5_STEP(md5_f, d, a, b, c, m[13], 0xfd987193, 12);
  MD5_STEP(md5_f, c, d, a, b, m[14], 0xa679438e, 17);
  MD5_STEP(md5_f, b, c, d, a, m[15], 0x49b40821, 22);

  MD5_STEP(md5_g, a, b, c, d, m[1], 0xf61e2562, 5);
  MD5_STEP(md5_g, d, a, b, c, m[6], 0xc040b340, 9);
  MD5_STEP(md5_g, c, d, a, b, m[11], 0x265e5a51, 14);
  MD5_STEP(md5_g, b, c, d, a, m[0], 0xe9b6c7aa, 20);
  MD5_STEP(md5_g, a, b, c, d, m[5], 0xd62f105d, 5);
  MD5_STEP(md5_g, d, a, b, c, m[10], 0x02441453, 9);
  MD5_STEP(md5_g, c, d, a, b, m[15], 0xd8a1e681, 14);
  MD5_STEP(md5_g, b, c, d, a, m[4], 0xe7d3fbc8, 20);
  MD5_STEP(md5_g, a, b, c, d, m[9], 0x21e1cde6, 5);
  MD5_STEP(md5_g, d, a, b, c, m[14], 0xc33707d6, 9);
  MD5_STEP(md5_g, c, d, a, b, m[3], 0xf4d50d87, 14);
  MD5_STEP(md5_g, b, c, d, a, m[8], 0x455a14ed, 20);
  MD5_STEP(md5_g, a, b, c, d, m[13], 0xa9e3e905, 5);
  MD5_STEP(md5_g, d, a, b, c, m[2], 0xfcefa3f8, 9);
  MD5_STEP(md5_g, c, d, a, b, m[7], 0x676f02d9, 14);
  MD5_STEP(md5_g, b, c, d, a, m[12], 0x8d2a4c8a, 20);

  MD5_STEP(md5_h, a, b, c, d, m[5], 0xfffa3942, 4);
  MD5_STEP(md5_h, d, a, b, c, m[8], 0x8771f681, 11);
  MD5_STEP(md5_h, c, d, a, b, m[11], 0x6d9d6122, 16);
  MD5_STEP(md5_h, b, c, d, a, m[14], 0xfde5380c, 23);
  MD5_STEP(md5_h, a, b, c, d, m[1], 0xa4beea44, 4);
  MD5_STEP(md5_h, d, a, b, c, m[4], 0x4bdecfa9, 11);
  MD5_STEP(md5_h, c, d, a, b, m[7], 0xf6bb4b60, 16);
  MD5_STEP(md5_h, b, c, d, a, m[10], 0xbebfbc70, 23);
  MD5_STEP(md5_h, a, b, c, d, m[13], 0x289b7ec6, 4);
  MD5_STEP(md5_h, d, a, b, c, m[0], 0xeaa127fa, 11);
  MD5_STEP(md5_h, c, d, a, b, m[3], 0xd4ef3085, 16);
  MD5_STEP(md5_h, b, c, d, a, m[6], 0x04881d05, 23);
  MD5_STEP(md5_h, a, b, c, d, m[9], 0xd9d4d039, 4);
  MD5_STEP(md5_h, d, a, b, c, m[12], 0xe6db99e5, 11);
  MD5_STEP(md5_h, c, d, a, b, m[15], 0x1fa27cf8, 16);
  MD5_STEP(md5_h, b, c, d, a, m[2], 0xc4ac5665, 23);

  MD5_STEP(md5_i, a, b, c, d, m[0], 0xf4292244, 6);
  MD5_STEP(md5_i, d, a, b, c, m[7], 0x432aff97, 10);
  MD5_STEP(md5_i, c, d, a, b, m[14], 0xab9423a7, 15);
  MD5_STEP(md5_i, b, c, d, a, m[5], 0xfc93a039, 21);
  MD5_STEP(md5_i, a, b, c, d, m[12], 0x655b59c3, 6);
  MD5_STEP(md5_i, d, a, b, c, m[3], 0x8f0ccc92, 10);
  MD5_STEP(md5_i, c, d, a, b, m[10], 0xffeff47d, 15);
  MD5_STEP(md5_i, b, c, d, a, m[1], 0x85845dd1, 21);
  MD5_STEP(md5_i, a, b, c, d, m[8], 0x6fa87e4f, 6);
  MD5_STEP(md5_i, d, a, b, c, m[15], 0xfe2ce6e0, 10);
  MD5_STEP(md5_i, c, d, a, b, m[6], 0xa3014314, 15);
  MD5_STEP(md5_i, b, c, d, a, m[13], 0x4e0811a1, 21);
  MD5_STEP(md5_i, a, b, c, d, m[4], 0xf7537e82, 6);
  MD5_STEP(md5_i, d, a, b, c, m[11], 0xbd3af235, 10);
  MD5_STEP(md5_i, c, d, a, b, m[2], 0x2ad7d2bb, 15);
  MD5_STEP(md5_i, b, c, d, a, m[9], 0xeb86d391, 21);

  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
}

#undef MD5_STEP

}  // namespace

void md5_begin(Md5State* state) {
  state->h[0] = 0x67452301;
  state->h[1] = 0xefcdab89;
  state->h[2] = 0x98badcfe;
  state->h[3] = 0x10325476;
  state->block_used = 0;
  state->length_high = 0;
  state->length_low = 0;
}

void md5_feed(Md5State* state, const void* data, std::size_t length) {
  add_hash_message_length(*state, length);
  feed_hash_blocks(state->block, state->block_used, data, length,
                   [state](const unsigned char* block) { md5_block(state->h, block); });
}

void md5_finish(Md5State* state, unsigned char digest[MD5_DIGEST_LENGTH]) {
  const std::uint64_t bits = hash_message_length(*state) << 3;
  unsigned char length_field[8];
  store_le32(length_field, static_cast<std::uint32_t>(bits));
  store_le32(length_field + 4, static_cast<std::uint32_t>(bits >> 32));
  feed_hash_padding<64>(state->block_used, length_field,
                        [state](const unsigned char* tail, std::size_t n) { md5_feed(state, tail, n); });
  for (int i = 0; i < 4; ++i) store_le32(digest + 4 * i, state->h[i]);
  secure_clear_object(*state);
}

void md5_digest(const void* data, std::size_t length, unsigned char digest[MD5_DIGEST_LENGTH]) {
  Md5State state;
  md5_begin(&state);
  md5_feed(&state, data, length);
  md5_finish(&state, digest);
}

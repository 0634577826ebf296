#include "crypto/sha256.h"

#include <cstring>

#include "crypto/byte_order.h"
#include "crypto/hash_block_buffer.h"
#include "crypto/heap_hash_state.h"
#include "crypto/secure_clear.h"

namespace {

constexpr std::uint32_t round_constants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline std::uint32_t big_sigma0(std::uint32_t x) { return rotr32(x, 2) ^ rotr32(x, 13) ^ rotr32(x, 22); }
inline std::uint32_t big_sigma1(std::uint32_t x) { return rotr32(x, 6) ^ rotr32(x, 11) ^ rotr32(x, 25); }
inline std::uint32_t small_sigma0(std::uint32_t x) { return rotr32(x, 7) ^ rotr32(x, 18) ^ (x >> 3); }
inline std::uint32_t small_sigma1(std::uint32_t x) { return rotr32(x, 17) ^ rotr32(x, 19) ^ (x >> 10); }
inline std::uint32_t choose(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t majority(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (z & (x | y)); }

// One round with the working variables renamed instead of shifted: eight consecutive rounds
// bring every name back to its place. The schedule is a rolling window of 16 words.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, i, w_i)                                           \
  do {                                                                                         \
    const std::uint32_t t1 = h + big_sigma1(e) + choose(e, f, g) + round_constants[i] + (w_i); \
    d += t1;                                                                                   \
    h = t1 + big_sigma0(a) + majority(a, b, c);                                                \
  } while (0)

#define SHA256_SCHEDULE(i) \
  (w[(i)&15] += small_sigma1(w[((i)-2) & 15]) + w[((i)-7) & 15] + small_sigma0(w[((i)-15) & 15]))

#define SHA256_EIGHT(i, W)                               \
  SHA256_ROUND(a, b, c, d, e, f, g, h, i, W(i));         \
  SHA256_ROUND(h, a, b, c, d, e, f, g, i + 1, W(i + 1)); \
  SHA256_ROUND(g, h, a, b, c, d, e, f, i + 2, W(i + 2)); \
  SHA256_ROUND(f, g, h, a, b, c, d, e, i + 3, W(i + 3)); \
  SHA256_ROUND(e, f, g, h, a, b, c, d, i + 4, W(i + 4)); \
  SHA256_ROUND(d, e, f, g, h, a, b, c, i + 5, W(i + 5)); \
  SHA256_ROUND(c, d, e, f, g, h, a, b, i + 6, W(i + 6)); \
  SHA256_ROUND(b, c, d, e, f, g, h, a, i + 7, W(i + 7))

#define SHA256_LOADED(i) w[i]

void sha256_block(std::uint32_t state[8], const unsigned char* block) {
  std::uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = load_be32(block + 4 * i);

  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  SHA256_EIGHT(0, SHA256_LOADED);
  SHA256_EIGHT(8, SHA256_LOADED);
  for (int i = 16; i < 64; i += 16) {
    SHA256_EIGHT(i, SHA256_SCHEDULE);
    SHA256_EIGHT(i + 8, SHA256_SCHEDULE);
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

#undef SHA256_LOADED
#undef SHA256_EIGHT
#undef SHA256_SCHEDULE
#undef SHA256_ROUND

}  // namespace

void sha256_begin(Sha256State* state) {
  static constexpr std::uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::memcpy(state->h, initial, sizeof initial);
  state->block_used = 0;
  state->length_high = 0;
  state->length_low = 0;
}

void sha256_feed(Sha256State* state, const void* data, std::size_t length) {
  add_hash_message_length(*state, length);
  feed_hash_blocks(state->block, state->block_used, data, length,
                   [state](const unsigned char* block) { sha256_block(state->h, block); });
}

void sha256_finish(Sha256State* state, unsigned char digest[SHA256_DIGEST_LENGTH]) {
  unsigned char length_field[8];
  store_be64(length_field, hash_message_length(*state) << 3);
  feed_hash_padding<64>(state->block_used, length_field,
                        [state](const unsigned char* tail, std::size_t n) { sha256_feed(state, tail, n); });
  for (int i = 0; i < 8; ++i) store_be32(digest + 4 * i, state->h[i]);
  secure_clear_object(*state);
}

void sha256_digest(const void* data, std::size_t length, unsigned char digest[SHA256_DIGEST_LENGTH]) {
  Sha256State state;
  sha256_begin(&state);
  sha256_feed(&state, data, length);
  sha256_finish(&state, digest);
}

void* sha256_hash_begin() { return heap_hash_begin<Sha256State, sha256_begin>(); }

void sha256_hash_feed(void* state, const void* data, std::size_t length) {
  heap_hash_feed<Sha256State, sha256_feed>(state, data, length);
}

void sha256_hash_finish(void* state, unsigned char* digest) {
  heap_hash_finish<Sha256State, sha256_finish>(state, digest);
}

#include "crypto/sha1.h"

#include "crypto/byte_order.h"
#include "crypto/cpu_features.h"
#include "crypto/hash_block_buffer.h"
#include "crypto/heap_hash_state.h"
#include "crypto/secure_clear.h"
#include "crypto/sha1_instructions.h"

namespace {

// The message schedule is kept as a rolling window of 16 words.
#define SHA1_W(t) (w[(t)&15] = rotl32(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))

#define SHA1_ROUND(a, b, c, d, e, f, k, x) \
  do {                                     \
    e += rotl32(a, 5) + (f) + (k) + (x);   \
    b = rotl32(b, 30);                     \
  } while (0)

#define SHA1_F1(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA1_F2(b, c, d) ((b) ^ (c) ^ (d))
#define SHA1_F3(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))

// Five rounds rename the registers back into place, so groups of five unroll cleanly.
#define SHA1_FIVE_FIRST(t)                                           \
  SHA1_ROUND(a, b, c, d, e, SHA1_F1(b, c, d), 0x5a827999, w[t]);     \
  SHA1_ROUND(e, a, b, c, d, SHA1_F1(a, b, c), 0x5a827999, w[t + 1]); \
  SHA1_ROUND(d, e, a, b, c, SHA1_F1(e, a, b), 0x5a827999, w[t + 2]); \
  SHA1_ROUND(c, d, e, a, b, SHA1_F1(d, e, a), 0x5a827999, w[t + 3]); \
  SHA1_ROUND(b, c, d, e, a, SHA1_F1(c, d, e), 0x5a827999, w[t + 4])

#define SHA1_FIVE(t, F, k)                                 \
  SHA1_ROUND(a, b, c, d, e, F(b, c, d), k, SHA1_W(t));     \
  SHA1_ROUND(e, a, b, c, d, F(a, b, c), k, SHA1_W(t + 1)); \
  SHA1_ROUND(d, e, a, b, c, F(e, a, b), k, SHA1_W(t + 2)); \
  SHA1_ROUND(c, d, e, a, b, F(d, e, a), k, SHA1_W(t + 3)); \
  SHA1_ROUND(b, c, d, e, a, F(c, d, e), k, SHA1_W(t + 4))

}  // namespace

void sha1_transform(std::uint32_t h[5], const unsigned char block[64]) {
  if (cpu_has_sha_instructions()) return sha1_instructions_transform(h, block, 1);
  std::uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = load_be32(block + 4 * i);
  std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];

  SHA1_FIVE_FIRST(0);
  SHA1_FIVE_FIRST(5);
  SHA1_FIVE_FIRST(10);
  SHA1_ROUND(a, b, c, d, e, SHA1_F1(b, c, d), 0x5a827999, w[15]);
  SHA1_ROUND(e, a, b, c, d, SHA1_F1(a, b, c), 0x5a827999, SHA1_W(16));
  SHA1_ROUND(d, e, a, b, c, SHA1_F1(e, a, b), 0x5a827999, SHA1_W(17));
  SHA1_ROUND(c, d, e, a, b, SHA1_F1(d, e, a), 0x5a827999, SHA1_W(18));
  SHA1_ROUND(b, c, d, e, a, SHA1_F1(c, d, e), 0x5a827999, SHA1_W(19));
  SHA1_FIVE(20, SHA1_F2, 0x6ed9eba1);
  SHA1_FIVE(25, SHA1_F2, 0x6ed9eba1);
  SHA1_FIVE(30, SHA1_F2, 0x6ed9eba1);
  SHA1_FIVE(35, SHA1_F2, 0x6ed9eba1);
  SHA1_FIVE(40, SHA1_F3, 0x8f1bbcdc);
  SHA1_FIVE(45, SHA1_F3, 0x8f1bbcdc);
  SHA1_FIVE(50, SHA1_F3, 0x8f1bbcdc);
  SHA1_FIVE(55, SHA1_F3, 0x8f1bbcdc);
  SHA1_FIVE(60, SHA1_F2, 0xca62c1d6);
  SHA1_FIVE(65, SHA1_F2, 0xca62c1d6);
  SHA1_FIVE(70, SHA1_F2, 0xca62c1d6);
  SHA1_FIVE(75, SHA1_F2, 0xca62c1d6);

  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

void sha1_begin(Sha1State* state) {
  state->h[0] = 0x67452301;
  state->h[1] = 0xefcdab89;
  state->h[2] = 0x98badcfe;
  state->h[3] = 0x10325476;
  state->h[4] = 0xc3d2e1f0;
  state->block_used = 0;
  state->length_high = 0;
  state->length_low = 0;
}

void sha1_feed(Sha1State* state, const void* data, std::size_t length) {
  add_hash_message_length(*state, length);
  if (cpu_has_sha_instructions()) {
    feed_hash_block_runs(state->block, state->block_used, data, length,
                         [state](const unsigned char* blocks, std::size_t count) {
                           sha1_instructions_transform(state->h, blocks, count);
                         });
    return;
  }
  feed_hash_blocks(state->block, state->block_used, data, length,
                   [state](const unsigned char* block) { sha1_transform(state->h, block); });
}

void sha1_finish(Sha1State* state, unsigned char digest[SHA1_DIGEST_LENGTH]) {
  unsigned char length_field[8];
  store_be64(length_field, hash_message_length(*state) << 3);
  feed_hash_padding<64>(state->block_used, length_field,
                        [state](const unsigned char* tail, std::size_t n) { sha1_feed(state, tail, n); });
  for (int i = 0; i < 5; ++i) store_be32(digest + 4 * i, state->h[i]);
  secure_clear_object(*state);
}

void sha1_digest(const void* data, std::size_t length, unsigned char digest[SHA1_DIGEST_LENGTH]) {
  Sha1State state;
  sha1_begin(&state);
  sha1_feed(&state, data, length);
  sha1_finish(&state, digest);
}

void* sha1_hash_begin() { return heap_hash_begin<Sha1State, sha1_begin>(); }

void sha1_hash_feed(void* state, const void* data, std::size_t length) {
  heap_hash_feed<Sha1State, sha1_feed>(state, data, length);
}

void sha1_hash_finish(void* state, unsigned char* digest) { heap_hash_finish<Sha1State, sha1_finish>(state, digest); }

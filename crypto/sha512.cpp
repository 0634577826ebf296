#include "crypto/sha512.h"

#include <cstring>

#include "crypto/byte_order.h"
#include "crypto/hash_block_buffer.h"
#include "crypto/secure_clear.h"

namespace {

constexpr std::uint64_t round_constants[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

inline std::uint64_t big_sigma0(std::uint64_t x) { return rotr64(x, 28) ^ rotr64(x, 34) ^ rotr64(x, 39); }
inline std::uint64_t big_sigma1(std::uint64_t x) { return rotr64(x, 14) ^ rotr64(x, 18) ^ rotr64(x, 41); }
inline std::uint64_t small_sigma0(std::uint64_t x) { return rotr64(x, 1) ^ rotr64(x, 8) ^ (x >> 7); }
inline std::uint64_t small_sigma1(std::uint64_t x) { return rotr64(x, 19) ^ rotr64(x, 61) ^ (x >> 6); }
inline std::uint64_t choose(std::uint64_t x, std::uint64_t y, std::uint64_t z) { return z ^ (x & (y ^ z)); }
inline std::uint64_t majority(std::uint64_t x, std::uint64_t y, std::uint64_t z) { return (x & y) | (z & (x | y)); }

void sha512_block(std::uint64_t state[8], const unsigned char* block) {
  std::uint64_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = load_be64(block + 8 * i);
  for (int i = 16; i < 80; ++i) w[i] = small_sigma1(w[i - 2]) + w[i - 7] + small_sigma0(w[i - 15]) + w[i - 16];

  std::uint64_t v[8];
  std::memcpy(v, state, sizeof v);
  for (int i = 0; i < 80; ++i) {
    const std::uint64_t t1 = v[7] + big_sigma1(v[4]) + choose(v[4], v[5], v[6]) + round_constants[i] + w[i];
    const std::uint64_t t2 = big_sigma0(v[0]) + majority(v[0], v[1], v[2]);
    v[7] = v[6];
    v[6] = v[5];
    v[5] = v[4];
    v[4] = v[3] + t1;
    v[3] = v[2];
    v[2] = v[1];
    v[1] = v[0];
    v[0] = t1 + t2;
  }
  for (int i = 0; i < 8; ++i) state[i] += v[i];
}

void add_length(Sha512State* state, std::size_t length) {
  std::uint64_t carry = length;
  for (int i = 3; i >= 0 && carry; --i) {
    const std::uint64_t sum = std::uint64_t(state->length[i]) + (carry & 0xffffffff);
    state->length[i] = static_cast<std::uint32_t>(sum);
    carry = (carry >> 32) + (sum >> 32);
  }
}

}  // namespace

void sha512_begin(Sha512State* state) {
  static constexpr std::uint64_t initial[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                               0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                               0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
  std::memcpy(state->h, initial, sizeof initial);
  state->block_used = 0;
  std::memset(state->length, 0, sizeof state->length);
}

void sha512_feed(Sha512State* state, const void* data, std::size_t length) {
  add_length(state, length);
  feed_hash_blocks(state->block, state->block_used, data, length,
                   [state](const unsigned char* block) { sha512_block(state->h, block); });
}

void sha512_finish(Sha512State* state, unsigned char digest[SHA512_DIGEST_LENGTH]) {
  // The bit count is the byte count shifted left by three across the four words.
  unsigned char length_field[16];
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t next = i < 3 ? state->length[i + 1] : 0;
    store_be32(length_field + 4 * i, state->length[i] << 3 | next >> 29);
  }
  feed_hash_padding<128>(state->block_used, length_field,
                         [state](const unsigned char* tail, std::size_t n) { sha512_feed(state, tail, n); });
  for (int i = 0; i < 8; ++i) store_be64(digest + 8 * i, state->h[i]);
  secure_clear_object(*state);
}

void sha512_digest(const void* data, std::size_t length, unsigned char digest[SHA512_DIGEST_LENGTH]) {
  Sha512State state;
  sha512_begin(&state);
  sha512_feed(&state, data, length);
  sha512_finish(&state, digest);
}

#include "crypto/aes_instructions.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "crypto/byte_order.h"
#include "crypto/secure_clear.h"

#define AES_TARGET __attribute__((target("aes,sse4.1,ssse3")))

namespace {

// Eight counter blocks at a time keep the AES unit busy: each round of one block waits on the
// previous round's result, the other seven fill that wait.
constexpr std::size_t kLanes = 8;

AES_TARGET inline __m128i round_key(const unsigned char* round_keys, int round) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(round_keys + 16 * round));
}

AES_TARGET inline __m128i load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
AES_TARGET inline void store(unsigned char* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// The 128-bit big-endian counter as two host words, and its block in byte order.
struct Counter {
  std::uint64_t high, low;
  AES_TARGET __m128i next() {
    __m128i block =
        _mm_set_epi64x(static_cast<long long>(__builtin_bswap64(low)), static_cast<long long>(__builtin_bswap64(high)));
    if (++low == 0) ++high;
    return block;
  }
};

AES_TARGET __m128i words_to_block(const std::uint32_t words[4]) {
  unsigned char bytes[16];
  for (int j = 0; j < 4; ++j) store_be32(bytes + 4 * j, words[j]);
  return load(bytes);
}

AES_TARGET void block_to_words(__m128i block, std::uint32_t words[4]) {
  unsigned char bytes[16];
  store(bytes, block);
  for (int j = 0; j < 4; ++j) words[j] = load_be32(bytes + 4 * j);
  secure_clear(bytes, sizeof bytes);
}

}  // namespace

AES_TARGET void aes_instructions_sdctr(const unsigned char* round_keys, int rounds, std::uint32_t counter_words[4],
                                       unsigned char* buffer, std::size_t blocks) {
  Counter counter{std::uint64_t(counter_words[0]) << 32 | counter_words[1],
                  std::uint64_t(counter_words[2]) << 32 | counter_words[3]};
  const __m128i first = round_key(round_keys, 0), last = round_key(round_keys, rounds);
  __m128i lanes[kLanes];
  for (; blocks >= kLanes; blocks -= kLanes, buffer += 16 * kLanes) {
#pragma GCC unroll 8
    for (auto& lane : lanes) lane = _mm_xor_si128(counter.next(), first);
    for (int round = 1; round < rounds; ++round) {
      const __m128i key = round_key(round_keys, round);
#pragma GCC unroll 8
      for (auto& lane : lanes) lane = _mm_aesenc_si128(lane, key);
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kLanes; ++i)
      store(buffer + 16 * i, _mm_xor_si128(load(buffer + 16 * i), _mm_aesenclast_si128(lanes[i], last)));
  }
  for (; blocks > 0; --blocks, buffer += 16) {
    __m128i block = _mm_xor_si128(counter.next(), first);
    for (int round = 1; round < rounds; ++round) block = _mm_aesenc_si128(block, round_key(round_keys, round));
    store(buffer, _mm_xor_si128(load(buffer), _mm_aesenclast_si128(block, last)));
  }
  secure_clear(lanes, sizeof lanes);
  counter_words[0] = static_cast<std::uint32_t>(counter.high >> 32);
  counter_words[1] = static_cast<std::uint32_t>(counter.high);
  counter_words[2] = static_cast<std::uint32_t>(counter.low >> 32);
  counter_words[3] = static_cast<std::uint32_t>(counter.low);
}

AES_TARGET void aes_instructions_encrypt_cbc(const unsigned char* round_keys, int rounds, std::uint32_t iv[4],
                                             unsigned char* buffer, std::size_t blocks) {
  __m128i chain = words_to_block(iv);
  for (; blocks > 0; --blocks, buffer += 16) {
    chain = _mm_xor_si128(_mm_xor_si128(load(buffer), chain), round_key(round_keys, 0));
    for (int round = 1; round < rounds; ++round) chain = _mm_aesenc_si128(chain, round_key(round_keys, round));
    chain = _mm_aesenclast_si128(chain, round_key(round_keys, rounds));
    store(buffer, chain);
  }
  block_to_words(chain, iv);
}

AES_TARGET void aes_instructions_decrypt_cbc(const unsigned char* inverse_round_keys, int rounds, std::uint32_t iv[4],
                                             unsigned char* buffer, std::size_t blocks) {
  __m128i chain = words_to_block(iv);
  const __m128i first = round_key(inverse_round_keys, 0), last = round_key(inverse_round_keys, rounds);
  __m128i lanes[kLanes], cipher_text[kLanes];
  for (; blocks >= kLanes; blocks -= kLanes, buffer += 16 * kLanes) {
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kLanes; ++i) {
      cipher_text[i] = load(buffer + 16 * i);
      lanes[i] = _mm_xor_si128(cipher_text[i], first);
    }
    for (int round = 1; round < rounds; ++round) {
      const __m128i key = round_key(inverse_round_keys, round);
#pragma GCC unroll 8
      for (auto& lane : lanes) lane = _mm_aesdec_si128(lane, key);
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kLanes; ++i) {
      store(buffer + 16 * i, _mm_xor_si128(_mm_aesdeclast_si128(lanes[i], last), chain));
      chain = cipher_text[i];
    }
  }
  for (; blocks > 0; --blocks, buffer += 16) {
    const __m128i cipher_block = load(buffer);
    __m128i block = _mm_xor_si128(cipher_block, first);
    for (int round = 1; round < rounds; ++round) block = _mm_aesdec_si128(block, round_key(inverse_round_keys, round));
    store(buffer, _mm_xor_si128(_mm_aesdeclast_si128(block, last), chain));
    chain = cipher_block;
  }
  secure_clear(lanes, sizeof lanes);
  block_to_words(chain, iv);
}

#else  // no AES instructions on this processor family: never called

void aes_instructions_sdctr(const unsigned char*, int, std::uint32_t*, unsigned char*, std::size_t) {}
void aes_instructions_encrypt_cbc(const unsigned char*, int, std::uint32_t*, unsigned char*, std::size_t) {}
void aes_instructions_decrypt_cbc(const unsigned char*, int, std::uint32_t*, unsigned char*, std::size_t) {}

#endif

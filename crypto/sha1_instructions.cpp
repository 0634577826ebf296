#include "crypto/sha1_instructions.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace {

SHA_TARGET inline __m128i load_message(const unsigned char* p) {
  // Big-endian words, first word in the top lane as the rounds instruction expects.
  const __m128i reverse = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverse);
}

}  // namespace

// Each step does four rounds; the message schedule of later steps is prepared alongside
// (msg1, xor, msg2 over the four rotating message registers).
SHA_TARGET void sha1_instructions_transform(std::uint32_t h[5], const unsigned char* blocks, std::size_t count) {
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abcd_saved = abcd, e_saved = e0;
    __m128i m[4], e1;
    // Rounds 0-15: the message words themselves, loaded as they are needed.
    m[0] = load_message(blocks);
    e0 = _mm_add_epi32(e0, m[0]);
    e1 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);

    m[1] = load_message(blocks + 16);
    e1 = _mm_sha1nexte_epu32(e1, m[1]);
    e0 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e1, 0);
    m[0] = _mm_sha1msg1_epu32(m[0], m[1]);

    m[2] = load_message(blocks + 32);
    e0 = _mm_sha1nexte_epu32(e0, m[2]);
    e1 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);
    m[1] = _mm_sha1msg1_epu32(m[1], m[2]);
    m[0] = _mm_xor_si128(m[0], m[2]);

    m[3] = load_message(blocks + 48);
    e1 = _mm_sha1nexte_epu32(e1, m[3]);
    e0 = abcd;
    m[0] = _mm_sha1msg2_epu32(m[0], m[3]);
    abcd = _mm_sha1rnds4_epu32(abcd, e1, 0);
    m[2] = _mm_sha1msg1_epu32(m[2], m[3]);
    m[1] = _mm_xor_si128(m[1], m[3]);

    // Rounds 16-79 in steps of four; the schedule work of the last steps goes unused.
#define SHA1_STEP(i, e_in, e_out, function)                            \
  e_in = _mm_sha1nexte_epu32(e_in, m[(i) % 4]);                        \
  e_out = abcd;                                                        \
  m[((i) + 1) % 4] = _mm_sha1msg2_epu32(m[((i) + 1) % 4], m[(i) % 4]); \
  abcd = _mm_sha1rnds4_epu32(abcd, e_in, function);                    \
  m[((i) + 3) % 4] = _mm_sha1msg1_epu32(m[((i) + 3) % 4], m[(i) % 4]); \
  m[((i) + 2) % 4] = _mm_xor_si128(m[((i) + 2) % 4], m[(i) % 4])
    SHA1_STEP(4, e0, e1, 0);
    SHA1_STEP(5, e1, e0, 1);
    SHA1_STEP(6, e0, e1, 1);
    SHA1_STEP(7, e1, e0, 1);
    SHA1_STEP(8, e0, e1, 1);
    SHA1_STEP(9, e1, e0, 1);
    SHA1_STEP(10, e0, e1, 2);
    SHA1_STEP(11, e1, e0, 2);
    SHA1_STEP(12, e0, e1, 2);
    SHA1_STEP(13, e1, e0, 2);
    SHA1_STEP(14, e0, e1, 2);
    SHA1_STEP(15, e1, e0, 3);
    SHA1_STEP(16, e0, e1, 3);
    SHA1_STEP(17, e1, e0, 3);
    SHA1_STEP(18, e0, e1, 3);
    SHA1_STEP(19, e1, e0, 3);
#undef SHA1_STEP

    e0 = _mm_sha1nexte_epu32(e0, e_saved);
    abcd = _mm_add_epi32(abcd, abcd_saved);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
  h[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

#else  // no SHA instructions on this processor family: never called

void sha1_instructions_transform(std::uint32_t*, const unsigned char*, std::size_t) {}

#endif

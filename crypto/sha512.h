#pragma once
// SHA-512 (FIPS 180-2): incremental on a caller-owned state, and one-shot.

#include <cstddef>
#include <cstdint>

constexpr std::size_t SHA512_DIGEST_LENGTH = 64;

struct Sha512State {
  std::uint64_t h[8];
  unsigned char block[128];
  std::size_t block_used;
  std::uint32_t length[4];  // 128-bit message length in bytes, most significant word first
};

void sha512_begin(Sha512State* state);
void sha512_feed(Sha512State* state, const void* data, std::size_t length);
// Writes the digest and wipes the state.
void sha512_finish(Sha512State* state, unsigned char digest[SHA512_DIGEST_LENGTH]);
void sha512_digest(const void* data, std::size_t length, unsigned char digest[SHA512_DIGEST_LENGTH]);

#pragma once
// SHA-256 (FIPS 180-2): incremental on a caller-owned state, and one-shot.

#include <cstddef>
#include <cstdint>

constexpr std::size_t SHA256_DIGEST_LENGTH = 32;

struct Sha256State {
  std::uint32_t h[8];
  unsigned char block[64];
  std::size_t block_used;
  std::uint32_t length_high;  // message length in bytes, high and low words
  std::uint32_t length_low;
};

void sha256_begin(Sha256State* state);
void sha256_feed(Sha256State* state, const void* data, std::size_t length);
// Writes the digest and wipes the state.
void sha256_finish(Sha256State* state, unsigned char digest[SHA256_DIGEST_LENGTH]);
void sha256_digest(const void* data, std::size_t length, unsigned char digest[SHA256_DIGEST_LENGTH]);

// Operations of the "SHA-256" HashAlgorithm record: a heap state, released by finish.
void* sha256_hash_begin();
void sha256_hash_feed(void* state, const void* data, std::size_t length);
void sha256_hash_finish(void* state, unsigned char* digest);

#pragma once
// SHA-1 (FIPS 180-2): incremental on a caller-owned state, one-shot, and the bare compression
// function used by the random pool.

#include <cstddef>
#include <cstdint>

constexpr std::size_t SHA1_DIGEST_LENGTH = 20;

struct Sha1State {
  std::uint32_t h[5];
  unsigned char block[64];
  std::size_t block_used;
  std::uint32_t length_high;  // message length in bytes, high and low words
  std::uint32_t length_low;
};

// Updates the five chaining words with one 64-byte block; the block is left unchanged.
void sha1_transform(std::uint32_t h[5], const unsigned char block[64]);

void sha1_begin(Sha1State* state);
void sha1_feed(Sha1State* state, const void* data, std::size_t length);
// Writes the digest and wipes the state.
void sha1_finish(Sha1State* state, unsigned char digest[SHA1_DIGEST_LENGTH]);
void sha1_digest(const void* data, std::size_t length, unsigned char digest[SHA1_DIGEST_LENGTH]);

// Operations of the "SHA-1" HashAlgorithm record: a heap state, released by finish.
void* sha1_hash_begin();
void sha1_hash_feed(void* state, const void* data, std::size_t length);
void sha1_hash_finish(void* state, unsigned char* digest);

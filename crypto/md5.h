#pragma once
// MD5 (RFC 1321): incremental on a caller-owned state, and one-shot.

#include <cstddef>
#include <cstdint>

constexpr std::size_t MD5_DIGEST_LENGTH = 16;

struct Md5State {
  std::uint32_t h[4];
  unsigned char block[64];
  std::size_t block_used;
  std::uint32_t length_high;  // message length in bytes, high and low words
  std::uint32_t length_low;
};

void md5_begin(Md5State* state);
void md5_feed(Md5State* state, const void* data, std::size_t length);
// Writes the digest and wipes the state.
void md5_finish(Md5State* state, unsigned char digest[MD5_DIGEST_LENGTH]);
void md5_digest(const void* data, std::size_t length, unsigned char digest[MD5_DIGEST_LENGTH]);

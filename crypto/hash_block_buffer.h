#pragma once
// The block buffering and final padding shared by the MD5 and SHA families: input is gathered
// into whole blocks for the compression function, and the message ends with 0x80, zeros, and
// the message length in the last bytes of a block.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Compresses every whole block of the input, carrying a partial block over in `block`.
// Whole blocks of the input are compressed in place, without a copy.
template <std::size_t BlockSize, typename Compress>
inline void feed_hash_blocks(unsigned char (&block)[BlockSize], std::size_t& block_used, const void* data,
                             std::size_t length, Compress compress) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  if (block_used) {
    const std::size_t take = std::min<std::size_t>(length, BlockSize - block_used);
    std::memcpy(block + block_used, bytes, take);
    block_used += take;
    bytes += take;
    length -= take;
    if (block_used < BlockSize) return;
    compress(block);
    block_used = 0;
  }
  for (; length >= BlockSize; bytes += BlockSize, length -= BlockSize) compress(bytes);
  if (length) {
    std::memcpy(block, bytes, length);
    block_used = length;
  }
}

// Feeds the padding that ends the message: 0x80, then zeros up to the encoded length, which
// fills the end of the last block (one more block when the current one has no room for it).
template <std::size_t BlockSize, std::size_t LengthFieldSize, typename Feed>
inline void feed_hash_padding(std::size_t block_used, const unsigned char (&length_field)[LengthFieldSize], Feed feed) {
  constexpr std::size_t room = BlockSize - LengthFieldSize;
  unsigned char tail[BlockSize + LengthFieldSize] = {0x80};
  const std::size_t pad = (block_used < room ? room : room + BlockSize) - block_used;
  std::memcpy(tail + pad, length_field, LengthFieldSize);
  feed(tail, pad + LengthFieldSize);
}

// The 64-bit byte count kept as two 32-bit words by the 64-byte-block hashes.
template <typename State>
inline std::uint64_t hash_message_length(const State& state) {
  return (std::uint64_t(state.length_high) << 32) | state.length_low;
}

template <typename State>
inline void add_hash_message_length(State& state, std::size_t length) {
  const std::uint64_t total = hash_message_length(state) + std::uint64_t(length);
  state.length_high = static_cast<std::uint32_t>(total >> 32);
  state.length_low = static_cast<std::uint32_t>(total);
}

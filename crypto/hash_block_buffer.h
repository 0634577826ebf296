#pragma once
// The block buffering and final padding shared by the MD5 and SHA families: input is gathered
// into whole blocks for the compression function, and the message ends with 0x80, zeros, and
// the message length in the last bytes of a block.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Compresses every whole block of the input, carrying a partial block over in `block`.
// Whole blocks of the input are compressed in place, without a copy, as one run of blocks.
template <std::size_t BlockSize, typename CompressRun>
inline void feed_hash_block_runs(unsigned char (&block)[BlockSize], std::size_t& block_used, const void* data,
                                 std::size_t length, CompressRun compress_run) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  if (block_used) {
    const std::size_t take = std::min<std::size_t>(length, BlockSize - block_used);
    std::memcpy(block + block_used, bytes, take);
    block_used += take;
    bytes += take;
    length -= take;
    if (block_used < BlockSize) return;
    compress_run(block, std::size_t{1});
    block_used = 0;
  }
  if (const std::size_t whole = length / BlockSize; whole > 0) {
    compress_run(bytes, whole);
    bytes += whole * BlockSize;
    length -= whole * BlockSize;
  }
  if (length) {
    std::memcpy(block, bytes, length);
    block_used = length;
  }
}

// The same with a compression function that takes one block at a time.
template <std::size_t BlockSize, typename Compress>
inline void feed_hash_blocks(unsigned char (&block)[BlockSize], std::size_t& block_used, const void* data,
                             std::size_t length, Compress compress) {
  feed_hash_block_runs(block, block_used, data, length, [&compress](const unsigned char* blocks, std::size_t count) {
    for (; count > 0; --count, blocks += BlockSize) compress(blocks);
  });
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

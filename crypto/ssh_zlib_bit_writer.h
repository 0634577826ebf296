#pragma once
// Least-significant-bit-first bit packing for DEFLATE output. Bits that do not fill a byte stay
// in the accumulator between packets.
#include <cstdint>
#include <vector>

class ZlibBitWriter {
 public:
  // count <= 31.
  void put(uint32_t bits, int count) {
    accumulator_ |= static_cast<uint64_t>(bits) << count_;
    count_ += count;
    if (count_ >= 32) {
      for (int i = 0; i < 4; ++i) {
        bytes_.push_back(static_cast<unsigned char>(accumulator_));
        accumulator_ >>= 8;
      }
      count_ -= 32;
    }
  }

  // Moves every complete byte to the output; fewer than 8 bits remain.
  void flush_whole_bytes() {
    while (count_ >= 8) {
      bytes_.push_back(static_cast<unsigned char>(accumulator_));
      accumulator_ >>= 8;
      count_ -= 8;
    }
  }

  // Pads with zero bits to the next byte boundary and flushes.
  void align_to_byte() {
    count_ = (count_ + 7) & ~7;
    flush_whole_bytes();
  }

  // Only valid on a byte boundary.
  void put_bytes(const unsigned char* data, int length) { bytes_.insert(bytes_.end(), data, data + length); }

  int pending_bits() const { return count_; }
  std::vector<unsigned char>& bytes() { return bytes_; }

 private:
  uint64_t accumulator_ = 0;
  int count_ = 0;
  std::vector<unsigned char> bytes_;
};

#pragma once
// RFC 1951 constants shared by the compressor and the decompressor.
#include <array>
#include <cstdint>

namespace ssh_zlib_codes {

constexpr int window_size = 32768;
constexpr int window_mask = window_size - 1;
constexpr int end_of_block = 256;
constexpr int max_match = 258;
constexpr int min_match = 3;

// Length symbols 257..285: base length and extra bits.
constexpr std::array<uint16_t, 29> length_base = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> length_extra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// Distance symbols 0..29: base distance and extra bits.
constexpr std::array<uint16_t, 30> distance_base = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> distance_extra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Order in which a dynamic block header lists the code-length code lengths.
constexpr std::array<uint8_t, 19> code_length_order = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                       11, 4,  12, 3, 13, 2, 14, 1, 15};

// Fixed-Huffman code length of each literal/length symbol.
constexpr int fixed_literal_bits(int symbol) { return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8; }
constexpr int fixed_distance_bits = 5;

// Huffman codes are defined most significant bit first but packed least significant bit first.
constexpr uint32_t reverse_bits(uint32_t code, int bits) {
  uint32_t reversed = 0;
  for (int i = 0; i < bits; ++i) {
    reversed = (reversed << 1) | (code & 1);
    code >>= 1;
  }
  return reversed;
}

}  // namespace ssh_zlib_codes

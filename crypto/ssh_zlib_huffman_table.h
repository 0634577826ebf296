#pragma once
// Decoding table for one canonical Huffman code: a first level indexed by up to 9 input bits,
// with sub-tables of up to 7 further bits for longer codes.
#include <cstdint>
#include <vector>

class ZlibHuffmanTable {
 public:
  static constexpr int first_level_bits = 9;
  static constexpr int max_code_bits = 15;

  struct Entry {
    uint16_t symbol;  // the symbol, or the sub-table's start for a link
    uint8_t bits;     // bits the entry accounts for (code length, or the bits that rule a gap out)
    uint8_t kind;
  };
  enum Kind : uint8_t { symbol_entry, link_entry, invalid_entry };

  // Builds from one code length per symbol (0 = unused). Refuses over-subscribed code lengths;
  // gaps of an incomplete code decode as invalid.
  bool build(const uint8_t* lengths, int count);

  // Looks up the next code in the low bits of `bits`. The result is trustworthy only when its
  // `bits` does not exceed the number of real input bits held.
  Entry lookup(uint64_t bits) const {
    Entry e = entries_[bits & first_level_mask];
    if (e.kind == link_entry) {
      int sub_bits = e.bits - first_level_bits;
      e = entries_[e.symbol + ((bits >> first_level_bits) & ((1u << sub_bits) - 1))];
    }
    return e;
  }

 private:
  static constexpr uint32_t first_level_mask = (1u << first_level_bits) - 1;
  std::vector<Entry> entries_;
};

// The decompressor: a resumable RFC 1951 decoder for all three block types. Input arrives one
// packet at a time; whatever cannot be decoded yet stays in the bit accumulator, and a
// length/distance pair is only taken once all of its bits are there.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "crypto/ssh_zlib.h"
#include "crypto/ssh_zlib_codes.h"
#include "crypto/ssh_zlib_huffman_table.h"
#include "crypto/ssh_zlib_output.h"

using namespace ssh_zlib_codes;

namespace {

enum class Stage {
  header,
  block_header,
  stored_length,
  stored_copy,
  dynamic_counts,
  code_length_lengths,
  code_lengths,
  codes,
  failed,
};

struct FixedTables {
  ZlibHuffmanTable literal;
  ZlibHuffmanTable distance;
  FixedTables() {
    std::array<uint8_t, 288> literal_lengths;
    for (int s = 0; s < 288; ++s) literal_lengths[s] = static_cast<uint8_t>(fixed_literal_bits(s));
    literal.build(literal_lengths.data(), 288);
    std::array<uint8_t, 32> distance_lengths;
    distance_lengths.fill(fixed_distance_bits);
    distance.build(distance_lengths.data(), 32);
  }
};

const FixedTables& fixed_tables() {
  static const FixedTables tables;
  return tables;
}

constexpr int max_literal_codes = 288;
constexpr int max_distance_codes = 32;

}  // namespace

struct ZlibDecompressor {
  Stage stage = Stage::header;
  uint64_t bits = 0;
  int bit_count = 0;

  const ZlibHuffmanTable* literal_table = nullptr;
  const ZlibHuffmanTable* distance_table = nullptr;
  ZlibHuffmanTable dynamic_literal;
  ZlibHuffmanTable dynamic_distance;
  ZlibHuffmanTable code_length_table;
  int literal_count = 0;
  int distance_count = 0;
  int code_length_count = 0;
  int index = 0;
  std::array<uint8_t, max_literal_codes + max_distance_codes> lengths{};
  std::array<uint8_t, 19> code_length_lengths{};
  int stored_remaining = 0;

  // The last 32 KiB of earlier packets' output, circular.
  std::array<unsigned char, window_size> window{};
  int window_position = 0;
  int window_fill = 0;

  // This packet's output.
  std::vector<unsigned char> out;
  int out_length = 0;
};

namespace {

enum class Step { go_on, need_input, fail };

class PacketDecoder {
 public:
  PacketDecoder(ZlibDecompressor& z, const unsigned char* data, int length) : z_(z), in_(data), end_(data + length) {}

  bool run() {
    for (;;) {
      Step step = advance();
      if (step == Step::need_input) return true;
      if (step == Step::fail) return false;
    }
  }

 private:
  Step advance() {
    switch (z_.stage) {
      case Stage::header: return read_header();
      case Stage::block_header: return read_block_header();
      case Stage::stored_length: return read_stored_length();
      case Stage::stored_copy: return copy_stored();
      case Stage::dynamic_counts: return read_dynamic_counts();
      case Stage::code_length_lengths: return read_code_length_lengths();
      case Stage::code_lengths: return read_code_lengths();
      case Stage::codes: return decode_codes();
      case Stage::failed: return Step::fail;
    }
    return Step::fail;
  }

  // The fast path loads 8 bytes but counts only whole bytes that fit; the surplus lands above
  // bit_count and is loaded again, identically, by the next refill.
  void refill() {
    if (z_.bit_count > 56) return;
    if (end_ - in_ >= 8) {
      uint64_t word;
      std::memcpy(&word, in_, 8);
      z_.bits |= word << z_.bit_count;
      in_ += (63 - z_.bit_count) >> 3;
      z_.bit_count |= 56;
      return;
    }
    while (z_.bit_count <= 56 && in_ < end_) {
      z_.bits |= static_cast<uint64_t>(*in_++) << z_.bit_count;
      z_.bit_count += 8;
    }
  }

  bool have(int count) {
    if (z_.bit_count < count) refill();
    return z_.bit_count >= count;
  }
  uint32_t peek(int count, int skip = 0) const { return static_cast<uint32_t>(z_.bits >> skip) & ((1u << count) - 1); }
  void drop(int count) {
    z_.bits >>= count;
    z_.bit_count -= count;
  }
  uint32_t take(int count) {
    uint32_t value = peek(count);
    drop(count);
    return value;
  }

  Step read_header() {
    if (!have(16)) return Step::need_input;
    uint32_t method = take(8);
    uint32_t flags = take(8);
    bool deflate = (method & 0x0F) == 8 && (method >> 4) < 8;
    bool preset_dictionary = flags & 0x20;
    if (!deflate || preset_dictionary || (method * 256 + flags) % 31 != 0) return Step::fail;
    z_.stage = Stage::block_header;
    return Step::go_on;
  }

  Step read_block_header() {
    if (!have(3)) return Step::need_input;
    take(1);  // the last-block flag: the stream lasts as long as the connection
    switch (take(2)) {
      case 0:
        drop(z_.bit_count % 8);
        z_.stage = Stage::stored_length;
        break;
      case 1:
        z_.literal_table = &fixed_tables().literal;
        z_.distance_table = &fixed_tables().distance;
        z_.stage = Stage::codes;
        break;
      case 2: z_.stage = Stage::dynamic_counts; break;
      default: break;  // reserved type: skipped, the next bits are another block header
    }
    return Step::go_on;
  }

  Step read_stored_length() {
    if (!have(32)) return Step::need_input;
    z_.stored_remaining = static_cast<int>(take(16));
    take(16);  // NLEN
    z_.stage = z_.stored_remaining ? Stage::stored_copy : Stage::block_header;
    return Step::go_on;
  }

  Step copy_stored() {
    while (z_.stored_remaining > 0) {
      if (z_.bit_count >= 8) {
        if (!put_literal(static_cast<unsigned char>(take(8)))) return Step::fail;
        --z_.stored_remaining;
        continue;
      }
      int piece = static_cast<int>(std::min<ptrdiff_t>(z_.stored_remaining, end_ - in_));
      if (piece == 0) return Step::need_input;
      z_.bits = 0;  // drop the surplus of a fast refill: these bytes are taken directly
      if (!reserve(piece)) return Step::fail;
      std::memcpy(z_.out.data() + z_.out_length, in_, piece);
      z_.out_length += piece;
      in_ += piece;
      z_.stored_remaining -= piece;
    }
    z_.stage = Stage::block_header;
    return Step::go_on;
  }

  Step read_dynamic_counts() {
    if (!have(14)) return Step::need_input;
    z_.literal_count = static_cast<int>(take(5)) + 257;
    z_.distance_count = static_cast<int>(take(5)) + 1;
    z_.code_length_count = static_cast<int>(take(4)) + 4;
    z_.code_length_lengths.fill(0);
    z_.index = 0;
    z_.stage = Stage::code_length_lengths;
    return Step::go_on;
  }

  Step read_code_length_lengths() {
    for (; z_.index < z_.code_length_count; ++z_.index) {
      if (!have(3)) return Step::need_input;
      z_.code_length_lengths[code_length_order[z_.index]] = static_cast<uint8_t>(take(3));
    }
    if (!z_.code_length_table.build(z_.code_length_lengths.data(), 19)) return Step::fail;
    z_.index = 0;
    z_.stage = Stage::code_lengths;
    return Step::go_on;
  }

  Step read_code_lengths() {
    int total = z_.literal_count + z_.distance_count;
    while (z_.index < total) {
      refill();
      ZlibHuffmanTable::Entry e = z_.code_length_table.lookup(z_.bits);
      if (e.bits > z_.bit_count) return Step::need_input;
      if (e.kind != ZlibHuffmanTable::symbol_entry) return Step::fail;
      if (e.symbol < 16) {
        drop(e.bits);
        z_.lengths[z_.index++] = static_cast<uint8_t>(e.symbol);
        continue;
      }
      int extra_bits = e.symbol == 16 ? 2 : e.symbol == 17 ? 3 : 7;
      if (e.bits + extra_bits > z_.bit_count) return Step::need_input;
      int extra = static_cast<int>(peek(extra_bits, e.bits));
      drop(e.bits + extra_bits);
      int repeat = e.symbol == 16 ? 3 + extra : e.symbol == 17 ? 3 + extra : 11 + extra;
      uint8_t value = e.symbol == 16 && z_.index > 0 ? z_.lengths[z_.index - 1] : 0;
      if (repeat > total - z_.index) return Step::fail;  // would run past the code lengths
      std::fill_n(z_.lengths.begin() + z_.index, repeat, value);
      z_.index += repeat;
    }
    if (!z_.dynamic_literal.build(z_.lengths.data(), z_.literal_count) ||
        !z_.dynamic_distance.build(z_.lengths.data() + z_.literal_count, z_.distance_count))
      return Step::fail;
    z_.literal_table = &z_.dynamic_literal;
    z_.distance_table = &z_.dynamic_distance;
    z_.stage = Stage::codes;
    return Step::go_on;
  }

  Step decode_codes() {
    const ZlibHuffmanTable& literals = *z_.literal_table;
    const ZlibHuffmanTable& distances = *z_.distance_table;
    for (;;) {
      refill();
      ZlibHuffmanTable::Entry e = literals.lookup(z_.bits);
      if (e.bits > z_.bit_count) return Step::need_input;
      if (e.kind != ZlibHuffmanTable::symbol_entry) return Step::fail;
      int symbol = e.symbol;
      if (symbol < end_of_block) {
        drop(e.bits);
        if (!put_literal(static_cast<unsigned char>(symbol))) return Step::fail;
        continue;
      }
      if (symbol == end_of_block) {
        drop(e.bits);
        z_.stage = Stage::block_header;
        return Step::go_on;
      }
      if (symbol > 285) {  // 286 and 287 carry nothing
        drop(e.bits);
        continue;
      }
      int length_index = symbol - 257;
      int used = e.bits + length_extra[length_index];
      if (used > z_.bit_count) return Step::need_input;
      int length = length_base[length_index] + static_cast<int>(peek(length_extra[length_index], e.bits));
      ZlibHuffmanTable::Entry d = distances.lookup(z_.bits >> used);
      if (used + d.bits > z_.bit_count) return Step::need_input;
      if (d.kind != ZlibHuffmanTable::symbol_entry || d.symbol >= 30) return Step::fail;
      int distance_bits = distance_extra[d.symbol];
      if (used + d.bits + distance_bits > z_.bit_count) return Step::need_input;
      int distance = distance_base[d.symbol] + static_cast<int>(peek(distance_bits, used + d.bits));
      drop(used + d.bits + distance_bits);
      if (!copy_match(length, distance)) return Step::fail;
    }
  }

  bool reserve(int count) {
    if (count > zlib_max_packet_output - z_.out_length) return false;
    size_t needed = static_cast<size_t>(z_.out_length) + count;
    if (needed > z_.out.size()) z_.out.resize(std::max({needed, 2 * z_.out.size(), size_t{1024}}));
    return true;
  }

  bool put_literal(unsigned char byte) {
    if (!reserve(1)) return false;
    z_.out[z_.out_length++] = byte;
    return true;
  }

  bool copy_match(int length, int distance) {
    if (distance > z_.out_length + z_.window_fill) return false;  // before the stream began
    if (!reserve(length)) return false;
    unsigned char* out = z_.out.data();
    if (distance > z_.out_length) {
      int back = distance - z_.out_length;
      int piece = std::min(back, length);
      int from = (z_.window_position - back) & window_mask;
      int first = std::min(piece, window_size - from);
      std::memcpy(out + z_.out_length, z_.window.data() + from, first);
      std::memcpy(out + z_.out_length + first, z_.window.data(), piece - first);
      z_.out_length += piece;
      length -= piece;
    }
    unsigned char* target = out + z_.out_length;
    const unsigned char* source = target - distance;
    if (distance >= length) {
      std::memcpy(target, source, length);
    } else if (distance == 1) {
      std::memset(target, *source, length);
    } else {
      for (int i = 0; i < length; ++i) target[i] = source[i];
    }
    z_.out_length += length;
    return true;
  }

  ZlibDecompressor& z_;
  const unsigned char* in_;
  const unsigned char* end_;
};

void remember_output(ZlibDecompressor& z) {
  const unsigned char* data = z.out.data();
  int length = z.out_length;
  if (length == 0) return;
  if (length >= window_size) {
    data += length - window_size;
    length = window_size;
  }
  int first = std::min(length, window_size - z.window_position);
  std::memcpy(z.window.data() + z.window_position, data, first);
  std::memcpy(z.window.data(), data + first, length - first);
  z.window_position = (z.window_position + length) & window_mask;
  z.window_fill = std::min(z.window_fill + length, window_size);
}

}  // namespace

ZlibDecompressor* zlib_decompress_new() { return new ZlibDecompressor; }

void zlib_decompress_free(ZlibDecompressor* ctx) { delete ctx; }

int zlib_decompress(ZlibDecompressor* ctx, const unsigned char* data, int length, unsigned char** out_block,
                    int* out_length) {
  ZlibDecompressor& z = *ctx;
  *out_block = nullptr;
  *out_length = 0;
  z.out_length = 0;
  if (!PacketDecoder(z, data, std::max(length, 0)).run()) {
    z.stage = Stage::failed;
    return 0;
  }
  remember_output(z);
  *out_block = ssh_zlib_new_block(z.out.data(), z.out_length);
  *out_length = z.out_length;
  return 1;
}

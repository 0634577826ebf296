// The compressor: LZ77 over a 32 KiB window with hash chains and one deferred match, coded in
// fixed-Huffman blocks only. Each packet ends with an end-of-block code and an empty block, so
// all of its symbols lie in whole bytes the peer can decode at once.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "crypto/ssh_zlib.h"
#include "crypto/ssh_zlib_bit_writer.h"
#include "crypto/ssh_zlib_codes.h"
#include "crypto/ssh_zlib_output.h"

using namespace ssh_zlib_codes;

namespace {

// Chains are filtered by the three bytes anyway, so the candidates are the same for any hash;
// a table as wide as the window keeps chains short and the search fast.
constexpr int hash_bits = 15;
constexpr int hash_size = 1 << hash_bits;
constexpr int max_candidates = 32;
// Bounds the walk along one hash chain so that adversarial data cannot make compression
// quadratic; ordinary data never comes near it.
constexpr int max_chain_steps = 4096;
// The entry at a distance of a whole window is the one being overwritten.
constexpr int max_distance = window_size - 1;
constexpr int max_stored_block = 65535;

struct FixedCode {
  uint16_t bits;  // already reversed for LSB-first packing
  uint8_t length;
};

constexpr std::array<FixedCode, 288> make_fixed_literal_codes() {
  std::array<FixedCode, 288> codes{};
  for (int symbol = 0; symbol < 288; ++symbol) {
    uint32_t code = symbol < 144   ? 0x30 + symbol
                    : symbol < 256 ? 0x190 + (symbol - 144)
                    : symbol < 280 ? symbol - 256
                                   : 0xC0 + (symbol - 280);
    int length = fixed_literal_bits(symbol);
    codes[symbol] = {static_cast<uint16_t>(reverse_bits(code, length)), static_cast<uint8_t>(length)};
  }
  return codes;
}
constexpr std::array<FixedCode, 288> fixed_literal_codes = make_fixed_literal_codes();

struct Match {
  int length = 0;
  int distance = 0;
};

// One window slot: the previous position on the same hash chain, and the three bytes that
// start there, so that walking a chain does not touch the history itself.
struct ChainLink {
  int32_t previous;
  uint32_t bytes;
};

}  // namespace

struct ZlibCompressor {
  // The last window of earlier packets followed by the current packet. Positions are indexes
  // into it; sliding moves them by whole windows, so chain slots (position mod window) stay valid.
  std::vector<unsigned char> history;
  int end = 0;
  int hashed = 0;  // positions below this are on their hash chains
  std::array<int32_t, hash_size> head;
  std::array<ChainLink, window_size> links;
  ZlibBitWriter out;
  bool first_block = true;
  bool block_open = false;
  bool compression_off = false;

  ZlibCompressor() {
    head.fill(-1);
    links.fill({-1, 0});
  }
};

namespace {

uint32_t three_bytes_at(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16; }
int hash_at(const unsigned char* p) { return (three_bytes_at(p) * 2654435761u) >> (32 - hash_bits); }

void insert_hashes_below(ZlibCompressor& z, int position) {
  int limit = std::min(position, z.end - (min_match - 1));
  for (; z.hashed < limit; ++z.hashed) {
    const unsigned char* p = &z.history[z.hashed];
    int h = hash_at(p);
    z.links[z.hashed & window_mask] = {z.head[h], three_bytes_at(p)};
    z.head[h] = z.hashed;
  }
}

// Makes room for `length` more bytes, keeping at least one window of history.
void append_to_history(ZlibCompressor& z, const unsigned char* data, int length) {
  int needed = z.end + length;
  if (needed > static_cast<int>(z.history.size())) {
    int drop = z.end > window_size ? (z.end - window_size) / window_size * window_size : 0;
    if (drop > 0) {
      std::memmove(z.history.data(), z.history.data() + drop, z.end - drop);
      z.end -= drop;
      z.hashed -= drop;
      auto rebase = [drop](int32_t& position) { position = position >= drop ? position - drop : -1; };
      std::for_each(z.head.begin(), z.head.end(), rebase);
      for (ChainLink& link : z.links) rebase(link.previous);
    }
    needed = z.end + length;
    if (needed > static_cast<int>(z.history.size()))
      z.history.resize(std::max<size_t>(needed, 2 * static_cast<size_t>(window_size) + window_size));
  }
  if (length > 0) std::memcpy(z.history.data() + z.end, data, length);
  z.end += length;
}

int common_length(const unsigned char* a, const unsigned char* b, int limit) {
  int n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + std::countr_zero(x ^ y) / 8;
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// The longest match within the packet among up to 32 chain entries whose first three bytes
// agree; ties go to the newest (shortest distance).
Match find_match(const ZlibCompressor& z, int position) {
  Match best;
  int limit = z.end - position;
  if (limit < min_match) return best;
  const unsigned char* here = &z.history[position];
  const uint32_t wanted = three_bytes_at(here);
  int candidates = 0;
  int steps = 0;
  for (int c = z.head[hash_at(here)]; c >= 0 && position - c <= max_distance;) {
    if (++steps > max_chain_steps) break;
    const ChainLink& link = z.links[c & window_mask];
    if (link.bytes == wanted) {
      const unsigned char* there = &z.history[c];
      // Only a longer match can win: one that differs at the current best length is passed over.
      if (best.length == 0 || there[best.length] == here[best.length]) {
        int length = min_match + common_length(there + min_match, here + min_match, limit - min_match);
        if (length > best.length) best = {length, position - c};
      }
      if (best.length == limit || ++candidates == max_candidates) break;
    }
    c = link.previous;
  }
  return best;
}

void emit_literal(ZlibCompressor& z, unsigned char byte) {
  const FixedCode& code = fixed_literal_codes[byte];
  z.out.put(code.bits, code.length);
}

void emit_piece(ZlibCompressor& z, int length, int distance) {
  int value = length - min_match;
  int symbol, extra_bits, extra;
  if (length == max_match) {
    symbol = 285, extra_bits = 0, extra = 0;
  } else if (value < 8) {
    symbol = 257 + value, extra_bits = 0, extra = 0;
  } else {
    int top = std::bit_width(static_cast<unsigned>(value)) - 1;
    extra_bits = top - 2;
    symbol = 257 + 4 * (top - 1) + ((value >> extra_bits) & 3);
    extra = value & ((1 << extra_bits) - 1);
  }
  const FixedCode& code = fixed_literal_codes[symbol];
  z.out.put(code.bits | (extra << code.length), code.length + extra_bits);

  int d = distance - 1;
  int distance_symbol;
  int distance_extra_bits = 0;
  if (d < 4) {
    distance_symbol = d;
  } else {
    int top = std::bit_width(static_cast<unsigned>(d)) - 1;
    distance_extra_bits = top - 1;
    distance_symbol = 2 * top + ((d >> distance_extra_bits) & 1);
  }
  uint32_t distance_code = reverse_bits(distance_symbol, fixed_distance_bits);
  uint32_t distance_extra = d & ((1u << distance_extra_bits) - 1);
  z.out.put(distance_code | (distance_extra << fixed_distance_bits), fixed_distance_bits + distance_extra_bits);
}

// Long matches go out in pieces of at most 258, never leaving a remainder below 3.
void emit_match(ZlibCompressor& z, Match match) {
  int remaining = match.length;
  while (remaining > 0) {
    int piece = remaining > max_match + 2 ? max_match : remaining > max_match ? remaining - min_match : remaining;
    emit_piece(z, piece, match.distance);
    remaining -= piece;
  }
}

void open_fixed_block(ZlibCompressor& z) {
  z.out.put(0b010, 3);  // not last, type 1
  z.block_open = true;
}

void close_block(ZlibCompressor& z) {
  z.out.put(0, 7);  // end-of-block code of the fixed table
  z.block_open = false;
}

void lz77_encode(ZlibCompressor& z, int start) {
  Match deferred;
  int i = start;
  while (i < z.end) {
    insert_hashes_below(z, i);
    Match found = find_match(z, i);
    if (deferred.length > 0) {
      if (found.length >= deferred.length + 2) {
        emit_literal(z, z.history[i - 1]);
        deferred = found;
        ++i;
      } else {
        emit_match(z, deferred);
        i += deferred.length - 1;
        deferred = {};
      }
    } else if (found.length > 0) {
      deferred = found;
      ++i;
    } else {
      emit_literal(z, z.history[i]);
      ++i;
    }
  }
  if (deferred.length > 0) emit_match(z, deferred);
  insert_hashes_below(z, z.end);
}

void write_stored(ZlibCompressor& z, const unsigned char* data, int length) {
  if (z.block_open) close_block(z);
  do {
    int piece = std::min(length, max_stored_block);
    z.out.put(0b000, 3);  // not last, type 0
    z.out.align_to_byte();
    z.out.put(piece & 0xFFFF, 16);
    z.out.put(~piece & 0xFFFF, 16);
    z.out.flush_whole_bytes();
    z.out.put_bytes(data, piece);
    data += piece;
    length -= piece;
  } while (length > 0);
  open_fixed_block(z);
}

}  // namespace

ZlibCompressor* zlib_compress_new() { return new ZlibCompressor; }

void zlib_compress_free(ZlibCompressor* ctx) { delete ctx; }

int zlib_compress(ZlibCompressor* ctx, const unsigned char* data, int length, unsigned char** out_block,
                  int* out_length) {
  ZlibCompressor& z = *ctx;
  length = std::max(length, 0);
  z.out.bytes().clear();
  z.out.bytes().reserve(static_cast<size_t>(length) + length / 8 + 64);
  if (z.first_block) {
    z.out.put(0x9C78, 16);  // CMF 0x78 (deflate, 32 KiB window), FLG 0x9C
    z.first_block = false;
  }

  append_to_history(z, data, length);
  int start = z.end - length;
  if (z.compression_off) {
    write_stored(z, data, length);
    z.compression_off = false;
  } else {
    if (!z.block_open) open_fixed_block(z);
    lz77_encode(z, start);
    close_block(z);
    open_fixed_block(z);  // an empty block: keeps the last symbols out of the held-back bits
    close_block(z);
    open_fixed_block(z);
  }
  // Stored bytes still belong to the window; their hashes join the chains for later matches.
  insert_hashes_below(z, z.end);

  z.out.flush_whole_bytes();
  *out_length = static_cast<int>(z.out.bytes().size());
  *out_block = ssh_zlib_new_block(z.out.bytes().data(), *out_length);
  return 1;
}

int zlib_disable_compression(ZlibCompressor* ctx) {
  ZlibCompressor& z = *ctx;
  z.compression_off = true;
  // Header, stored-block header byte, LEN and NLEN.
  if (z.first_block) return 2 + 1 + 4;
  // Held-back bits, end-of-block code and stored header, rounded up to whole bytes; LEN, NLEN.
  return (z.out.pending_bits() + 7 + 3 + 7) / 8 + 4;
}

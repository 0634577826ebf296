// The decompressor on hand-made streams: header checks, block types, and the refusals that
// keep a hostile peer from corrupting memory or exhausting it.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/ssh_zlib.h"
#include "tests/crypto/compression_test_support.h"

using namespace compression_test;

namespace {

// Builds DEFLATE bit streams by hand.
class BitSink {
 public:
  explicit BitSink(bool with_header = true) {
    if (with_header) bytes_ = {0x78, 0x9C};
  }
  BitSink& bits(uint32_t value, int count) {  // least significant bit first
    for (int i = 0; i < count; ++i) put_bit((value >> i) & 1);
    return *this;
  }
  BitSink& code(uint32_t value, int count) {  // Huffman code, most significant bit first
    for (int i = count - 1; i >= 0; --i) put_bit((value >> i) & 1);
    return *this;
  }
  BitSink& fixed_block(bool last = false) { return bits(last, 1).bits(1, 2); }
  BitSink& literal(unsigned char c) { return c < 144 ? code(0x30 + c, 8) : code(0x190 + c - 144, 9); }
  BitSink& end_of_block() { return code(0, 7); }
  // Length 3 (symbol 257), then a 5-bit distance code and its extra bits.
  BitSink& match3(int distance_symbol, uint32_t extra = 0, int extra_bits = 0) {
    return code(1, 7).code(distance_symbol, 5).bits(extra, extra_bits);
  }
  BitSink& align() {
    while (used_ % 8) put_bit(0);
    return *this;
  }
  BitSink& raw(std::initializer_list<unsigned char> b) {
    bytes_.insert(bytes_.end(), b);
    used_ += 8 * b.size();
    return *this;
  }
  const Bytes& done() { return bytes_; }

 private:
  void put_bit(int b) {
    if (used_ % 8 == 0) bytes_.push_back(0);
    bytes_.back() |= b << (used_ % 8);
    ++used_;
  }
  Bytes bytes_;
  size_t used_ = 16;
};

Bytes text(const char* s) { return Bytes(s, s + strlen(s)); }

std::optional<Bytes> decode_all(const Bytes& stream) {
  DecompressorPtr d;
  return decompress(d.z, stream);
}

TEST(CompressionDecompressorHeader, RefusesPresetDictionaryAndBadHeaders) {
  for (Bytes header : {Bytes{0x78, 0x20}, Bytes{0x78, 0xBB},  // preset dictionary
                       Bytes{0x79, 0x9C},                     // method 9
                       Bytes{0x88, 0x1C},                     // 64 KiB window
                       Bytes{0x78, 0x9D}}) {                  // check value
    DecompressorPtr d;
    unsigned char* block = reinterpret_cast<unsigned char*>(1);
    int length = 7;
    EXPECT_EQ(zlib_decompress(d.z, header.data(), 2, &block, &length), 0) << int(header[0]) << " " << int(header[1]);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0);
  }
}

TEST(CompressionDecompressorHeader, AcceptsEveryWindowSizeAndSplitHeader) {
  for (Bytes header : {Bytes{0x78, 0x01}, Bytes{0x78, 0xDA}, Bytes{0x08, 0x1D}, Bytes{0x48, 0x0D}}) {
    EXPECT_TRUE(decode_all(header)) << int(header[0]) << " " << int(header[1]);
  }
  DecompressorPtr d;
  EXPECT_EQ(decompress(d.z, Bytes{0x78}), Bytes{});
  EXPECT_EQ(decompress(d.z, Bytes{0x9C}), Bytes{});
}

TEST(CompressionDecompressorBlocks, StoredBlocksIgnoreNlenAndMayBeEmpty) {
  BitSink s;
  s.bits(0, 1).bits(0, 2).align().raw({0, 0, 0x12, 0x34});  // empty, NLEN not checked
  s.bits(0, 1).bits(0, 2).align().raw({3, 0, 0, 0, 'a', 'b', 'c'});
  EXPECT_EQ(decode_all(s.done()), text("abc"));
}

TEST(CompressionDecompressorBlocks, ReservedTypeIsSkippedAndLastFlagIgnored) {
  BitSink s;
  s.bits(0, 1).bits(3, 2);  // reserved: the next three bits are another block header
  s.fixed_block(true).literal('h').literal('i').end_of_block();
  s.fixed_block().literal('!').end_of_block();
  EXPECT_EQ(decode_all(s.done()), text("hi!"));
}

TEST(CompressionDecompressorBlocks, Symbols286And287CarryNothing) {
  BitSink s;
  s.fixed_block().literal('a').code(0xC6, 8).code(0xC7, 8).literal('b').end_of_block();
  EXPECT_EQ(decode_all(s.done()), text("ab"));
}

TEST(CompressionDecompressorBlocks, DistanceReachesBackIntoEarlierPackets) {
  BitSink first;  // ends with a sync marker: an empty stored block
  first.fixed_block().literal('x').literal('y').literal('z').end_of_block();
  first.bits(0, 3).align().raw({0, 0, 0xFF, 0xFF});
  BitSink second(false);
  second.fixed_block().match3(2).end_of_block();  // distance 3: "xyz"
  Bytes a = first.done();
  DecompressorPtr d;
  EXPECT_EQ(decompress(d.z, a), text("xyz"));
  EXPECT_EQ(decompress(d.z, second.done()), text("xyz"));
}

TEST(CompressionDecompressorRefusal, DistanceBeforeStreamStart) {
  BitSink s;
  s.fixed_block().literal('a').match3(1).end_of_block();  // distance 2 with one byte so far
  EXPECT_FALSE(decode_all(s.done()));
}

TEST(CompressionDecompressorRefusal, DistanceCodes30And31) {
  for (int code : {30, 31}) {
    BitSink s;
    s.fixed_block().literal('a').match3(code).end_of_block();
    EXPECT_FALSE(decode_all(s.done())) << code;
  }
}

// Dynamic block header with HLIT = 257 and HDIST = 1 codes and the given code-length code.
BitSink dynamic_header(const std::vector<std::pair<int, int>>& code_length_lengths) {
  static const int order[] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  int lengths[19] = {};
  int last = 3;
  for (auto [symbol, length] : code_length_lengths) {
    lengths[symbol] = length;
    for (int i = 0; i < 19; ++i)
      if (order[i] == symbol) last = std::max(last, i);
  }
  BitSink s;
  s.bits(0, 1).bits(2, 2).bits(0, 5).bits(0, 5).bits(last + 1 - 4, 4);
  for (int i = 0; i <= last; ++i) s.bits(lengths[order[i]], 3);
  return s;
}

TEST(CompressionDecompressorRefusal, OverSubscribedCodeLengthCode) {
  std::vector<std::pair<int, int>> all_one;
  for (int symbol = 0; symbol < 19; ++symbol) all_one.push_back({symbol, 1});
  EXPECT_FALSE(decode_all(dynamic_header(all_one).done()));
}

TEST(CompressionDecompressorRefusal, OverSubscribedLiteralCode) {
  BitSink s = dynamic_header({{1, 1}, {2, 1}});  // codes: 1 -> "0", 2 -> "1"
  for (int i = 0; i < 258; ++i) s.code(0, 1);      // every literal of length 1
  EXPECT_FALSE(decode_all(s.done()));
}

TEST(CompressionDecompressorRefusal, RepeatPastTheCodeLengths) {
  BitSink s = dynamic_header({{1, 1}, {18, 1}});  // codes: 1 -> "0", 18 -> "1"
  s.code(1, 1).bits(127, 7);                      // 138 zeros
  s.code(1, 1).bits(127, 7);                      // 138 more: past 258
  EXPECT_FALSE(decode_all(s.done()));
}

TEST(CompressionDecompressorBlocks, RepeatWithoutPreviousLengthRepeatsZero) {
  // 16 first repeats 0 three times; then lengths give 'a' and end-of-block 1 bit each.
  BitSink s = dynamic_header({{0, 2}, {1, 2}, {16, 2}, {18, 2}});  // 0:00 1:01 16:10 18:11
  s.code(2, 2).bits(0, 2);                                        // 16 x3 -> zeros
  s.code(3, 2).bits(94 - 11, 7);                                  // 18 -> 94 zeros (3..96)
  s.code(1, 2);                                                   // 'a' (97) length 1
  s.code(3, 2).bits(138 - 11, 7);                                 // 98..235
  s.code(3, 2).bits(20 - 11, 7);                                  // 236..255
  s.code(1, 2);                                                   // 256 length 1
  s.code(0, 2);                                                   // distance 0 unused
  s.code(0, 1).code(0, 1).code(1, 1);                             // "aa", end of block
  EXPECT_EQ(decode_all(s.done()), text("aa"));
}

TEST(CompressionDecompressorRefusal, OutputCappedPerPacket) {
  for (int size : {zlib_max_packet_output, zlib_max_packet_output + 1}) {
    CompressorPtr c;
    DecompressorPtr d;
    std::optional<Bytes> back = decompress(d.z, compress(c.z, Bytes(size, 0)));
    EXPECT_EQ(back.has_value(), size <= zlib_max_packet_output) << size;
  }
  // The same bytes spread over packets are fine: the cap is per packet.
  CompressorPtr c;
  DecompressorPtr d;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(decompress(d.z, compress(c.z, Bytes(200000, 0))));
}

TEST(CompressionDecompressorRefusal, FailureIsFinal) {
  BitSink bad;
  bad.fixed_block().literal('a').match3(30).end_of_block();
  DecompressorPtr d;
  EXPECT_FALSE(decompress(d.z, bad.done()));
  BitSink good(false);
  good.fixed_block().literal('b').end_of_block();
  EXPECT_FALSE(decompress(d.z, good.done()));
}

TEST(CompressionDecompressorRefusal, RandomGarbageNeverOverruns) {
  // Whatever the bytes, the decoder either refuses or returns bounded output (ASan watches).
  std::mt19937 rng(77);
  for (int round = 0; round < 600; ++round) {
    Bytes junk = sample_noise(2 + rng() % 600, rng());
    junk[0] = 0x78;
    junk[1] = 0x9C;
    DecompressorPtr d;
    for (size_t pos = 0; pos < junk.size(); pos += 97) {
      std::optional<Bytes> out = decompress(d.z, junk.data() + pos, std::min<size_t>(97, junk.size() - pos));
      if (!out) break;
      EXPECT_LE(out->size(), static_cast<size_t>(zlib_max_packet_output));
    }
  }
}

}  // namespace

// The compressor's choices (header, matches, packet framing, stored packets) and round trips
// through our own decompressor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "crypto/ssh_zlib.h"
#include "tests/crypto/compression_test_support.h"

using namespace compression_test;

namespace {

using T = Token;

TEST(CompressionCompressor, FirstPacketStartsWithZlibHeader) {
  CompressorPtr c;
  Bytes out = compress(c.z, Bytes{'a', 'b', 'c'});
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out[0], 0x78);
  EXPECT_EQ(out[1], 0x9C);
}

TEST(CompressionCompressor, RunOfIdenticalBytesIsOneLiteralAndTwoMatchPieces) {
  CompressorPtr c;
  Bytes out = compress(c.z, Bytes(301, 'x'));
  std::vector<Token> tokens = fixed_tokens(out);
  std::vector<Token> expected = {{T::block_header, 1, 0}, {T::literal, 'x', 0},       {T::match, 258, 1},
                                 {T::match, 42, 1},       {T::end_of_block, 0, 0},    {T::block_header, 1, 0},
                                 {T::end_of_block, 0, 0}};
  ASSERT_GE(tokens.size(), expected.size());
  EXPECT_EQ(std::vector<Token>(tokens.begin(), tokens.begin() + expected.size()), expected);
}

// Long matches are cut so that no piece is shorter than 3 bytes.
TEST(CompressionCompressor, MatchPiecesNeverShorterThanThree) {
  for (int run : {259, 260, 261, 262, 517, 518, 519}) {
    CompressorPtr c;
    Bytes data(1, 'y');
    data.insert(data.end(), run, 'x');
    std::vector<Token> tokens = fixed_tokens(compress(c.z, data));
    int total = 0;
    for (const Token& t : tokens) {
      if (t.kind != T::match) continue;
      EXPECT_GE(t.value, 3) << "run " << run;
      EXPECT_LE(t.value, 258) << "run " << run;
      total += t.value;
    }
    EXPECT_EQ(total, run - 1) << "run " << run;  // the first 'x' is a literal
  }
}

TEST(CompressionCompressor, LazyMatchPrefersLongerMatchOneByteLater) {
  // At "abcdefgh" the match "abc" (3) is deferred; one byte later "bcdefgh" (7, nine back) is
  // longer by at least 2, so "a" goes out as a literal and the longer match is taken.
  Bytes data;
  for (const char* s : {"abcX", "bcdefgh_", "abcdefgh"}) data.insert(data.end(), s, s + strlen(s));
  CompressorPtr c;
  std::vector<Token> tokens = fixed_tokens(compress(c.z, data));
  auto at = std::find(tokens.begin(), tokens.end(), Token{T::match, 7, 9});
  ASSERT_NE(at, tokens.end());
  EXPECT_EQ(*(at - 1), (Token{T::literal, 'a', 0}));
}

TEST(CompressionCompressor, MatchesReachIntoEarlierPackets) {
  CompressorPtr c;
  Bytes line = sample_text(200, 7);
  Bytes both = compress(c.z, line);
  Bytes second = compress(c.z, line);
  both.insert(both.end(), second.begin(), second.end());
  std::vector<Token> tokens = fixed_tokens(both);
  EXPECT_NE(std::find(tokens.begin(), tokens.end(), Token{T::match, 200, 200}), tokens.end());
}

TEST(CompressionCompressor, RoundTripsThroughOwnDecompressor) {
  struct Case {
    Bytes data;
    std::vector<size_t> sizes;
  };
  Bytes mixed = sample_text(100000, 1);
  Bytes noise = sample_noise(70000, 2);
  mixed.insert(mixed.end(), noise.begin(), noise.end());
  mixed.insert(mixed.end(), 40000, 0);
  Bytes text = sample_text(300000, 3);
  std::vector<Case> cases = {{mixed, {1, 2, 3, 100, 1400, 35000}},
                             {text, {32768}},
                             {text, {200000, 7}},
                             {Bytes(5000, 0), {1}},
                             {mixed, {65535, 65536, 100000}}};
  for (size_t k = 0; k < cases.size(); ++k) {
    CompressorPtr c;
    DecompressorPtr d;
    for (const Bytes& packet : cut(cases[k].data, cases[k].sizes)) {
      std::optional<Bytes> back = decompress(d.z, compress(c.z, packet));
      ASSERT_TRUE(back) << "case " << k;
      ASSERT_EQ(*back, packet) << "case " << k;
    }
  }
}

TEST(CompressionCompressor, EmptyPacketStillDecodes) {
  CompressorPtr c;
  DecompressorPtr d;
  for (const Bytes& packet : {Bytes{}, Bytes{'q'}, Bytes{}, Bytes(10, 'q')}) {
    std::optional<Bytes> back = decompress(d.z, compress(c.z, packet));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, packet);
  }
}

TEST(CompressionCompressor, DisabledPacketIsStoredVerbatimThenCompressionResumes) {
  CompressorPtr c;
  DecompressorPtr d;
  Bytes text = sample_text(3000, 11);
  ASSERT_TRUE(decompress(d.z, compress(c.z, text)));

  zlib_disable_compression(c.z);
  Bytes secret = sample_text(500, 12);
  Bytes stored = compress(c.z, secret);
  EXPECT_NE(std::search(stored.begin(), stored.end(), secret.begin(), secret.end()), stored.end());
  std::optional<Bytes> back = decompress(d.z, stored);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, secret);

  Bytes again = compress(c.z, text);
  EXPECT_LT(again.size(), text.size() / 4);
  back = decompress(d.z, again);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, text);
}

// Every number of held-back bits and the not-yet-written header: the estimate covers the real
// growth of a stored packet.
TEST(CompressionCompressor, DisableEstimateIsNeverBelowRealGrowth) {
  for (int first = 0; first < 40; ++first) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{1000}, size_t{65535}}) {
      if (size == 65535 && first % 5 != 0) continue;
      CompressorPtr c;
      if (first > 0) compress(c.z, sample_text(first, first));
      int estimate = zlib_disable_compression(c.z);
      Bytes data = sample_noise(size, 5);
      Bytes out = compress(c.z, data);
      EXPECT_LE(static_cast<int>(out.size()) - static_cast<int>(size), estimate)
          << "after " << first << " bytes, packet of " << size;
    }
  }
}

TEST(CompressionCompressor, LargeStoredPacketSpansSeveralBlocks) {
  Bytes big = sample_noise(200000, 9);
  CompressorPtr c;
  DecompressorPtr d;
  zlib_disable_compression(c.z);
  std::optional<Bytes> back = decompress(d.z, compress(c.z, big));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, big);
}

TEST(CompressionCompressor, RecordsNameTheMethods) {
  EXPECT_STREQ(ssh_zlib.name, "zlib");
  EXPECT_STREQ(ssh_zlib.display_name, "zlib (RFC1950)");
  EXPECT_STREQ(ssh_compression_none.name, "none");
  EXPECT_EQ(ssh_compression_none.display_name, nullptr);
  EXPECT_EQ(ssh_compression_none.compress_new(), nullptr);
  unsigned char* block = nullptr;
  int length = 0;
  EXPECT_EQ(ssh_compression_none.compress(nullptr, reinterpret_cast<const unsigned char*>("x"), 1, &block, &length), 0);

  void* c = ssh_zlib.compress_new();
  void* d = ssh_zlib.decompress_new();
  ASSERT_EQ(ssh_zlib.compress(c, reinterpret_cast<const unsigned char*>("hello"), 5, &block, &length), 1);
  unsigned char* plain = nullptr;
  int plain_length = 0;
  ASSERT_EQ(ssh_zlib.decompress(d, block, length, &plain, &plain_length), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(plain), plain_length), "hello");
  checked_free(block);
  checked_free(plain);
  ssh_zlib.compress_free(c);
  ssh_zlib.decompress_free(d);
}

}  // namespace

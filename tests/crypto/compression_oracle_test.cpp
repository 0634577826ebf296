// Both directions against the zlib library (through /usr/bin/python3): what we send inflates
// packet by packet, and what zlib sends at any level decodes however the bytes are cut.
#include <gtest/gtest.h>

#include "crypto/ssh_zlib.h"
#include "tests/crypto/compression_test_support.h"
#include "tests/support/scoped_env.h"

using namespace compression_test;

namespace {

Stream compress_stream(const std::vector<Bytes>& packets, size_t disable_every = 0) {
  CompressorPtr c;
  Stream stream;
  for (size_t i = 0; i < packets.size(); ++i) {
    if (disable_every && i % disable_every == disable_every - 1) zlib_disable_compression(c.z);
    stream.push_back({packets[i], compress(c.z, packets[i])});
  }
  return stream;
}

TEST(CompressionOracle, ZlibInflatesEveryPacketAsItArrives) {
  Bytes mixed = sample_text(120000, 21);
  Bytes noise = sample_noise(50000, 22);
  mixed.insert(mixed.end(), noise.begin(), noise.end());
  mixed.insert(mixed.end(), 30000, 'z');
  Bytes tail = sample_text(80000, 21);  // repeats the start, far back
  mixed.insert(mixed.end(), tail.begin(), tail.end());

  std::vector<Stream> streams = {
      compress_stream(cut(mixed, {1, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987, 1597})),
      compress_stream(cut(mixed, {32768})),
      compress_stream(cut(mixed, {35000, 1, 90000})),
      compress_stream(cut(mixed, {1400, 3, 700}), 3),
      compress_stream(cut(Bytes(100000, 0), {301, 7})),
      compress_stream({Bytes{}, Bytes{'a'}, Bytes{}, Bytes(2, 'b')}),
  };
  testing_support::TempFolder folder;
  write_streams(folder / "ours.bin", streams);
  EXPECT_EQ(run_oracle("check", folder / "ours.bin"), "OK\n");
}

class ZlibStreams : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing_support::TempFolder folder;
    std::string output = run_oracle("make", folder / "zlib.bin");
    ASSERT_EQ(output, "");
    streams_ = read_streams(folder / "zlib.bin");
    ASSERT_EQ(streams_.size(), 15u);
  }
  static std::vector<Stream> streams_;
};
std::vector<Stream> ZlibStreams::streams_;

TEST_F(ZlibStreams, DecodePacketByPacket) {
  for (size_t s = 0; s < streams_.size(); ++s) {
    DecompressorPtr d;
    for (size_t p = 0; p < streams_[s].size(); ++p) {
      std::optional<Bytes> out = decompress(d.z, streams_[s][p].packed);
      ASSERT_TRUE(out) << "stream " << s << " packet " << p;
      ASSERT_EQ(*out, streams_[s][p].plain) << "stream " << s << " packet " << p;
    }
  }
}

// Stored blocks (level 0), fixed and dynamic codes, and the smaller windows.
TEST_F(ZlibStreams, DecodeCutAtEveryByte) {
  for (size_t s : std::initializer_list<size_t>{0, 1, 6, 9, 10, 11, 14}) {
    Bytes all_plain, all_packed, got;
    for (const Packet& p : streams_[s]) {
      all_plain.insert(all_plain.end(), p.plain.begin(), p.plain.end());
      all_packed.insert(all_packed.end(), p.packed.begin(), p.packed.end());
    }
    DecompressorPtr d;
    for (size_t i = 0; i < all_packed.size(); ++i) {
      std::optional<Bytes> out = decompress(d.z, &all_packed[i], 1);
      ASSERT_TRUE(out) << "stream " << s << " byte " << i;
      got.insert(got.end(), out->begin(), out->end());
    }
    EXPECT_EQ(got, all_plain) << "stream " << s;
  }
}

// Every two-piece cut of the start of a stream that uses dynamic blocks.
TEST_F(ZlibStreams, DecodeSplitAtEveryPosition) {
  const Stream& stream = streams_[6];
  Bytes plain, packed;
  for (size_t p = 0; p < stream.size() && packed.size() < 1200; ++p) {
    plain.insert(plain.end(), stream[p].plain.begin(), stream[p].plain.end());
    packed.insert(packed.end(), stream[p].packed.begin(), stream[p].packed.end());
  }
  for (size_t cut_at = 0; cut_at <= packed.size(); ++cut_at) {
    DecompressorPtr d;
    std::optional<Bytes> a = decompress(d.z, packed.data(), cut_at);
    std::optional<Bytes> b = decompress(d.z, packed.data() + cut_at, packed.size() - cut_at);
    ASSERT_TRUE(a && b) << cut_at;
    a->insert(a->end(), b->begin(), b->end());
    ASSERT_EQ(*a, plain) << cut_at;
  }
}

// Bit flips in dynamic-block streams: refused or decoded, never out of bounds (ASan watches).
TEST_F(ZlibStreams, CorruptedStreamsStayInBounds) {
  std::mt19937 rng(4253);
  for (size_t s : {size_t{6}, size_t{9}, size_t{12}}) {
    Bytes packed;
    for (size_t p = 0; p < streams_[s].size() && packed.size() < 4000; ++p)
      packed.insert(packed.end(), streams_[s][p].packed.begin(), streams_[s][p].packed.end());
    for (int round = 0; round < 300; ++round) {
      Bytes bad = packed;
      for (int flips = 1 + rng() % 4; flips > 0; --flips) bad[2 + rng() % (bad.size() - 2)] ^= 1 << (rng() % 8);
      DecompressorPtr d;
      for (size_t pos = 0; pos < bad.size(); pos += 500) {
        if (!decompress(d.z, bad.data() + pos, std::min<size_t>(500, bad.size() - pos))) break;
      }
    }
  }
}

}  // namespace

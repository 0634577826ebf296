// HMAC-MD5 and HMAC-SHA1 against RFC 2202 and Python's hmac, and the SSH packet-MAC operations.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "crypto/byte_order.h"
#include "crypto/hmac.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

namespace {

struct HmacVector {
  Bytes key;
  Bytes data;
  const char *md5;
  const char *sha1;
};

Bytes repeated(unsigned char byte, std::size_t count) { return Bytes(count, byte); }

Bytes counting_key()
{
  Bytes key;
  for (unsigned char b = 1; b <= 25; ++b)
    key.push_back(b);
  return key;
}

std::string hmac_md5_hex(const Bytes &key, const Bytes &data)
{
  HmacMd5Context *context = hmac_md5_new();
  hmac_md5_set_key(context, key.data(), key.size());
  unsigned char mac[16];
  hmac_md5_compute(context, data.data(), data.size(), mac);
  hmac_md5_free(context);
  return to_hex(mac, 16);
}

std::string hmac_sha1_hex(const Bytes &key, const Bytes &data)
{
  unsigned char mac[20];
  hmac_sha1_digest(key.data(), key.size(), data.data(), data.size(), mac);
  return to_hex(mac, 20);
}

}  // namespace

TEST(HmacKnownAnswer, Rfc2202Cases)
{
  // Cases 1-5 use the key lengths each algorithm's tests give; 6 and 7 use an 80-byte key.
  const HmacVector vectors[] = {
      {repeated(0x0b, 16), text_bytes("Hi There"), "9294727a3638bb1c13f48ef8158bfc9d", nullptr},
      {repeated(0x0b, 20), text_bytes("Hi There"), nullptr, "b617318655057264e28bc0b6fb378c8ef146be00"},
      {text_bytes("Jefe"), text_bytes("what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738",
       "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {repeated(0xaa, 16), repeated(0xdd, 50), "56be34521d144c88dbb8c733f0e8b3f6", nullptr},
      {repeated(0xaa, 20), repeated(0xdd, 50), nullptr, "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {counting_key(), repeated(0xcd, 50), "697eaf0aca3a3aea3a75164746ffaa79",
       "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {repeated(0x0c, 16), text_bytes("Test With Truncation"), "56461ef2342edc00f9bab995690efd4c", nullptr},
      {repeated(0x0c, 20), text_bytes("Test With Truncation"), nullptr, "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {repeated(0xaa, 80), text_bytes("Test Using Larger Than Block-Size Key - Hash Key First"),
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd", "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {repeated(0xaa, 80),
       text_bytes("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
       "6f630fad67cda0ee1fb1f562db3aa53e", "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const auto &v : vectors) {
    if (v.md5) {
      EXPECT_EQ(hmac_md5_hex(v.key, v.data), v.md5) << to_hex(v.key);
    }
    if (v.sha1) {
      EXPECT_EQ(hmac_sha1_hex(v.key, v.data), v.sha1) << to_hex(v.key);
    }
  }
}

TEST(HmacKnownAnswer, PreparedContextServesManyMessages)
{
  HmacSha1Context *context = hmac_sha1_new();
  const Bytes key = text_bytes("Jefe");
  hmac_sha1_set_key(context, key.data(), key.size());
  unsigned char first[20], second[20];
  hmac_sha1_compute(context, "what do ya want for nothing?", 28, first);
  hmac_sha1_compute(context, "what do ya want for nothing?", 28, second);
  hmac_sha1_free(context);
  EXPECT_EQ(to_hex(first, 20), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
  EXPECT_EQ(to_hex(second, 20), to_hex(first, 20));
}

TEST(HmacDifferential, MatchesPythonHmacOverRandomKeysAndData)
{
  const char *program = R"(
import hashlib, hmac, sys
for line in sys.stdin:
    key, data = (bytes.fromhex(f) for f in line.split(','))
    print(hmac.new(key, data, hashlib.md5).hexdigest(), hmac.new(key, data, hashlib.sha1).hexdigest())
)";
  std::mt19937 rng(2104);
  std::vector<std::pair<Bytes, Bytes>> cases;
  std::string input;
  for (int i = 0; i < 200; ++i) {
    cases.emplace_back(random_bytes(rng, rng() % 160), random_bytes(rng, rng() % 700));
    input += to_hex(cases.back().first) + "," + to_hex(cases.back().second) + "\n";
  }
  const auto lines = split_lines(run_python(program, input));
  ASSERT_EQ(lines.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(hmac_md5_hex(cases[i].first, cases[i].second) + " " + hmac_sha1_hex(cases[i].first, cases[i].second),
              lines[i])
        << "key length " << cases[i].first.size();
}

namespace {

// A packet buffer with room for the MAC behind it.
struct MacPacket {
  Bytes buffer;
  std::size_t length;
};

MacPacket make_packet(std::mt19937 &rng, std::size_t length)
{
  MacPacket packet{random_bytes(rng, length), length};
  packet.buffer.resize(length + 20, 0xee);
  return packet;
}

Bytes sequence_then(std::uint32_t sequence, const MacPacket &packet)
{
  Bytes message(4 + packet.length);
  store_be32(message.data(), sequence);
  std::copy(packet.buffer.begin(), packet.buffer.begin() + packet.length, message.begin() + 4);
  return message;
}

}  // namespace

TEST(SshPacketMac, Sha1GeneratesOverSequenceAndPacketAndVerifies)
{
  std::mt19937 rng(4253);
  const Bytes key = random_bytes(rng, 20);
  void *context = hmac_sha1_mac_new_context();
  hmac_sha1_mac_set_key(context, key.data());
  MacPacket packet = make_packet(rng, 100);

  hmac_sha1_mac_generate(context, packet.buffer.data(), packet.length, 0x01020304);
  EXPECT_EQ(to_hex(packet.buffer.data() + packet.length, 20), hmac_sha1_hex(key, sequence_then(0x01020304, packet)));
  EXPECT_EQ(hmac_sha1_mac_verify(context, packet.buffer.data(), packet.length, 0x01020304), 1);
  EXPECT_EQ(hmac_sha1_mac_verify(context, packet.buffer.data(), packet.length, 0x01020305), 0);
  packet.buffer[packet.length + 19] ^= 1;
  EXPECT_EQ(hmac_sha1_mac_verify(context, packet.buffer.data(), packet.length, 0x01020304), 0);
  packet.buffer[packet.length + 19] ^= 1;
  packet.buffer[0] ^= 0x80;
  EXPECT_EQ(hmac_sha1_mac_verify(context, packet.buffer.data(), packet.length, 0x01020304), 0);
  hmac_sha1_mac_free_context(context);
}

TEST(SshPacketMac, Sha1NinetySixUsesTheFirstTwelveBytes)
{
  std::mt19937 rng(96);
  const Bytes key = random_bytes(rng, 20);
  void *context = hmac_sha1_mac_new_context();
  hmac_sha1_mac_set_key(context, key.data());
  MacPacket packet = make_packet(rng, 37);

  hmac_sha1_96_mac_generate(context, packet.buffer.data(), packet.length, 7);
  const std::string full = hmac_sha1_hex(key, sequence_then(7, packet));
  EXPECT_EQ(to_hex(packet.buffer.data() + packet.length, 12), full.substr(0, 24));
  EXPECT_EQ(packet.buffer[packet.length + 12], 0xee) << "wrote past the 12-byte MAC";
  EXPECT_EQ(hmac_sha1_96_mac_verify(context, packet.buffer.data(), packet.length, 7), 1);
  // Bytes behind the first 12 play no part.
  packet.buffer[packet.length + 15] ^= 0xff;
  EXPECT_EQ(hmac_sha1_96_mac_verify(context, packet.buffer.data(), packet.length, 7), 1);
  packet.buffer[packet.length + 11] ^= 0x01;
  EXPECT_EQ(hmac_sha1_96_mac_verify(context, packet.buffer.data(), packet.length, 7), 0);
  hmac_sha1_mac_free_context(context);
}

TEST(SshPacketMac, SixteenByteKeyIgnoresTheLastFourKeyBytes)
{
  std::mt19937 rng(16);
  Bytes key = random_bytes(rng, 20);
  Bytes other_key = key;
  for (int i = 16; i < 20; ++i)
    other_key[i] ^= 0x5a;
  const MacPacket packet = make_packet(rng, 64);

  auto mac_with = [&](void (*set_key)(void *, const unsigned char *), const Bytes &k) {
    void *context = hmac_sha1_mac_new_context();
    set_key(context, k.data());
    MacPacket copy = packet;
    hmac_sha1_mac_generate(context, copy.buffer.data(), copy.length, 3);
    hmac_sha1_mac_free_context(context);
    return to_hex(copy.buffer.data() + copy.length, 20);
  };
  EXPECT_EQ(mac_with(hmac_sha1_mac_set_key_16, key), mac_with(hmac_sha1_mac_set_key_16, other_key));
  EXPECT_EQ(mac_with(hmac_sha1_mac_set_key_16, key), hmac_sha1_hex(Bytes(key.begin(), key.begin() + 16),
                                                                   sequence_then(3, packet)));
  EXPECT_NE(mac_with(hmac_sha1_mac_set_key, key), mac_with(hmac_sha1_mac_set_key, other_key));
}

TEST(SshPacketMac, Md5GeneratesAndVerifies)
{
  std::mt19937 rng(5);
  const Bytes key = random_bytes(rng, 16);
  void *context = hmac_md5_mac_new_context();
  hmac_md5_mac_set_key(context, key.data());
  MacPacket packet = make_packet(rng, 0);
  hmac_md5_mac_generate(context, packet.buffer.data(), packet.length, 0xffffffff);
  EXPECT_EQ(to_hex(packet.buffer.data(), 16), hmac_md5_hex(key, sequence_then(0xffffffff, packet)));
  EXPECT_EQ(hmac_md5_mac_verify(context, packet.buffer.data(), packet.length, 0xffffffff), 1);
  packet.buffer[8] ^= 4;
  EXPECT_EQ(hmac_md5_mac_verify(context, packet.buffer.data(), packet.length, 0xffffffff), 0);
  hmac_md5_mac_free_context(context);
}

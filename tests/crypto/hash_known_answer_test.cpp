// Hashes against the example digests of RFC 1321 and FIPS 180-2.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "crypto/md5.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

namespace {

struct HashVector {
  std::string message;
  int repeat;
  const char *digest;
};

template <typename State, std::size_t N>
std::string digest_of(const HashVector &v, void (*begin)(State *), void (*feed)(State *, const void *, std::size_t),
                      void (*finish)(State *, unsigned char *))
{
  State state;
  begin(&state);
  for (int i = 0; i < v.repeat; ++i)
    feed(&state, v.message.data(), v.message.size());
  unsigned char out[N];
  finish(&state, out);
  return to_hex(out, N);
}

const std::string million_a(1000, 'a');  // fed 1000 times

}  // namespace

TEST(HashKnownAnswer, Md5Rfc1321Suite)
{
  const HashVector vectors[] = {
      {"", 1, "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", 1, "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", 1, "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", 1, "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", 1, "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", 1, "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890", 8, "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto &v : vectors)
    EXPECT_EQ((digest_of<Md5State, 16>(v, md5_begin, md5_feed, md5_finish)), v.digest) << v.message;
  unsigned char out[16];
  md5_digest("abc", 3, out);
  EXPECT_EQ(to_hex(out, 16), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(HashKnownAnswer, Sha1Fips180Examples)
{
  const HashVector vectors[] = {
      {"", 1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", 1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {million_a, 1000, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const auto &v : vectors)
    EXPECT_EQ((digest_of<Sha1State, 20>(v, sha1_begin, sha1_feed, sha1_finish)), v.digest) << v.message.substr(0, 8);
  unsigned char out[20];
  sha1_digest("abc", 3, out);
  EXPECT_EQ(to_hex(out, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(HashKnownAnswer, Sha256Fips180Examples)
{
  const HashVector vectors[] = {
      {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {million_a, 1000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto &v : vectors)
    EXPECT_EQ((digest_of<Sha256State, 32>(v, sha256_begin, sha256_feed, sha256_finish)), v.digest)
        << v.message.substr(0, 8);
}

TEST(HashKnownAnswer, Sha512Fips180Examples)
{
  const HashVector vectors[] = {
      {"", 1,
       "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
       "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
      {"abc", 1,
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       1,
       "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
       "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
      {million_a, 1000,
       "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
       "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
  };
  for (const auto &v : vectors)
    EXPECT_EQ((digest_of<Sha512State, 64>(v, sha512_begin, sha512_feed, sha512_finish)), v.digest)
        << v.message.substr(0, 8);
}

TEST(HashKnownAnswer, Sha1TransformIsTheBareCompressionFunction)
{
  // "abc" padded to one block: one compression from the initial words gives the digest.
  unsigned char block[64] = {'a', 'b', 'c', 0x80};
  block[63] = 24;
  const Bytes before(block, block + 64);
  std::uint32_t h[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
  sha1_transform(h, block);
  EXPECT_EQ(h[0], 0xa9993e36u);
  EXPECT_EQ(h[1], 0x4706816au);
  EXPECT_EQ(h[2], 0xba3e2571u);
  EXPECT_EQ(h[3], 0x7850c26cu);
  EXPECT_EQ(h[4], 0x9cd0d89du);
  EXPECT_EQ(Bytes(block, block + 64), before);
}

TEST(HashKnownAnswer, HashRecordOperationsReleaseTheirState)
{
  void *state = sha1_hash_begin();
  sha1_hash_feed(state, "ab", 2);
  sha1_hash_feed(state, "c", 1);
  unsigned char out[32];
  sha1_hash_finish(state, out);
  EXPECT_EQ(to_hex(out, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");

  state = sha256_hash_begin();
  sha256_hash_feed(state, "abc", 3);
  sha256_hash_finish(state, out);
  EXPECT_EQ(to_hex(out, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(HashKnownAnswer, FinishWipesTheCallersState)
{
  auto all_zero = [](const void *p, std::size_t n) {
    const unsigned char *bytes = static_cast<const unsigned char *>(p);
    return std::all_of(bytes, bytes + n, [](unsigned char b) { return b == 0; });
  };
  unsigned char out[64];
  Md5State md5;
  md5_begin(&md5);
  md5_feed(&md5, "secret", 6);
  md5_finish(&md5, out);
  EXPECT_TRUE(all_zero(&md5, sizeof md5));
  Sha1State sha1;
  sha1_begin(&sha1);
  sha1_feed(&sha1, "secret", 6);
  sha1_finish(&sha1, out);
  EXPECT_TRUE(all_zero(&sha1, sizeof sha1));
  Sha256State sha256;
  sha256_begin(&sha256);
  sha256_feed(&sha256, "secret", 6);
  sha256_finish(&sha256, out);
  EXPECT_TRUE(all_zero(&sha256, sizeof sha256));
  Sha512State sha512;
  sha512_begin(&sha512);
  sha512_feed(&sha512, "secret", 6);
  sha512_finish(&sha512, out);
  EXPECT_TRUE(all_zero(&sha512, sizeof sha512));
}

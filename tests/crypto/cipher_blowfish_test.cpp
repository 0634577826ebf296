// Blowfish against the classic test set and OpenSSL: SSH-2 CBC and SDCTR, and the SSH-1
// little-endian variant built from byte-swapped big-endian CBC.

#include <gtest/gtest.h>

#include <random>

#include "crypto/blowfish.h"
#include "crypto/byte_order.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

namespace {

Bytes swap_words(Bytes data)
{
  for (std::size_t i = 0; i + 4 <= data.size(); i += 4)
    std::swap(data[i], data[i + 3]), std::swap(data[i + 1], data[i + 2]);
  return data;
}

}  // namespace

TEST(BlowfishKnownAnswer, ClassicEcbSet)
{
  struct {
    const char *key, *plain, *cipher;
  } const vectors[] = {
      {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
      {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
      {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
      {"1111111111111111", "1111111111111111", "2466dd878b963c9d"},
      {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
      {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
  };
  BlowfishContext *context = static_cast<BlowfishContext *>(blowfish_cipher_new_context());
  for (const auto &v : vectors) {
    const Bytes key = from_hex(v.key), plain = from_hex(v.plain);
    blowfish_key_setup(context, key.data(), key.size());
    std::uint32_t l = load_be32(plain.data()), r = load_be32(plain.data() + 4);
    blowfish_encrypt_block(context, l, r);
    unsigned char out[8];
    store_be32(out, l);
    store_be32(out + 4, r);
    EXPECT_EQ(to_hex(out, 8), v.cipher) << v.key;
    blowfish_decrypt_block(context, l, r);
    store_be32(out, l);
    store_be32(out + 4, r);
    EXPECT_EQ(to_hex(out, 8), v.plain) << v.key;
  }
  blowfish_cipher_free_context(context);
}

TEST(BlowfishDifferential, Ssh2ModesMatchOpensslAcrossSplitCalls)
{
  std::mt19937 rng(1993);
  struct Case {
    bool counter;
    Bytes key, iv, plain;
  };
  std::vector<Case> cases;
  std::vector<std::pair<std::string, Bytes>> cbc_commands;
  std::vector<EvpCase> counter_requests;
  for (int i = 0; i < 20; ++i) {
    Case c{i % 2 == 1, random_bytes(rng, i % 2 ? 32 : 16), random_bytes(rng, 8), random_bytes(rng, 8 * (rng() % 90))};
    if (i == 1)
      c.iv = from_hex("12345678ffffffff");
    if (c.counter) {
      // Reference: the counter blocks through Blowfish with the 32-byte key, XORed in.
      Bytes counters(c.plain.size());
      std::uint64_t counter = load_be64(c.iv.data());
      for (std::size_t at = 0; at < counters.size(); at += 8)
        store_be64(counters.data() + at, counter++);
      counter_requests.push_back({"BF-ECB", c.key, {}, counters});
    } else {
      cbc_commands.emplace_back(openssl_command("bf-cbc", to_hex(c.key), to_hex(c.iv), false), c.plain);
    }
    cases.push_back(std::move(c));
  }
  const auto cbc_expected = shell_batch(cbc_commands);
  const auto counter_expected = evp_batch(counter_requests);
  ASSERT_EQ(cbc_expected.size() + counter_expected.size(), cases.size());
  std::size_t next_cbc = 0, next_counter = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case &c = cases[i];
    Bytes reference = c.counter ? counter_expected[next_counter++] : cbc_expected[next_cbc++];
    if (c.counter) {
      ASSERT_EQ(reference.size(), c.plain.size());
      for (std::size_t j = 0; j < reference.size(); ++j)
        reference[j] ^= c.plain[j];
    }
    void *context = blowfish_cipher_new_context();
    (c.counter ? blowfish256_cipher_set_key : blowfish128_cipher_set_key)(context, c.key.data());
    blowfish_cipher_set_iv(context, c.iv.data());
    auto encrypt = c.counter ? blowfish_cipher_sdctr : blowfish_cipher_encrypt_cbc;
    auto decrypt = c.counter ? blowfish_cipher_sdctr : blowfish_cipher_decrypt_cbc;
    const Bytes cipher = in_three_calls([&](unsigned char *p, std::size_t n) { encrypt(context, p, n); }, c.plain,
                                        random_block_cuts(rng, c.plain.size(), 8));
    EXPECT_EQ(to_hex(cipher), to_hex(reference)) << "case " << i << " length " << c.plain.size();
    blowfish_cipher_set_iv(context, c.iv.data());
    EXPECT_EQ(in_three_calls([&](unsigned char *p, std::size_t n) { decrypt(context, p, n); }, cipher,
                             random_block_cuts(rng, cipher.size(), 8)),
              c.plain);
    blowfish_cipher_free_context(context);
  }
}

TEST(BlowfishDifferential, Ssh1IsByteSwappedCbcWithTheWholeSessionKey)
{
  std::mt19937 rng(1);
  std::vector<Bytes> keys, plains;
  std::vector<EvpCase> requests;
  for (int i = 0; i < 8; ++i) {
    keys.push_back(random_bytes(rng, 32));
    plains.push_back(random_bytes(rng, 8 * (1 + rng() % 60)));
    requests.push_back({"BF-CBC", keys[i], Bytes(8, 0), swap_words(plains[i])});
  }
  const auto expected = evp_batch(requests);
  ASSERT_EQ(expected.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    void *context = ssh1_blowfish_new_context();
    ssh1_blowfish_set_session_key(context, keys[i].data());
    const Bytes cipher =
        in_three_calls([&](unsigned char *p, std::size_t n) { ssh1_blowfish_encrypt(context, p, n); }, plains[i],
                       random_block_cuts(rng, plains[i].size(), 8));
    EXPECT_EQ(to_hex(cipher), to_hex(swap_words(expected[i])));
    EXPECT_EQ(in_three_calls([&](unsigned char *p, std::size_t n) { ssh1_blowfish_decrypt(context, p, n); }, cipher,
                             random_block_cuts(rng, cipher.size(), 8)),
              plains[i]);
    ssh1_blowfish_free_context(context);
  }
}

TEST(BlowfishModes, Ssh1AndSsh2WordOrdersDiffer)
{
  std::mt19937 rng(7);
  const Bytes key = random_bytes(rng, 32), plain = random_bytes(rng, 16), zero_iv(8, 0);
  Bytes ssh1 = plain, ssh2 = plain;
  void *one = ssh1_blowfish_new_context();
  ssh1_blowfish_set_session_key(one, key.data());
  ssh1_blowfish_encrypt(one, ssh1.data(), ssh1.size());
  void *two = blowfish_cipher_new_context();
  blowfish256_cipher_set_key(two, key.data());
  blowfish_cipher_set_iv(two, zero_iv.data());
  blowfish_cipher_encrypt_cbc(two, ssh2.data(), ssh2.size());
  EXPECT_NE(ssh1, ssh2);
  ssh1_blowfish_free_context(one);
  blowfish_cipher_free_context(two);
}

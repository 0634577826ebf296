// AES against FIPS 197 and OpenSSL, in the CBC and SDCTR modes of SSH-2 and for key files.

#include <gtest/gtest.h>

#include <random>

#include "crypto/aes.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

namespace {

Bytes ecb_encrypt(const Bytes &key, const Bytes &plain)
{
  AesContext *context = aes_make_context();
  EXPECT_TRUE(aes_setup(context, 16, key.data(), static_cast<int>(key.size())));
  Bytes out = plain;
  aes_encrypt_cbc(context, out.data(), out.size());  // zero IV, one block: plain AES
  aes_free_context(context);
  return out;
}

Bytes ecb_decrypt(const Bytes &key, const Bytes &cipher)
{
  AesContext *context = aes_make_context();
  EXPECT_TRUE(aes_setup(context, 16, key.data(), static_cast<int>(key.size())));
  Bytes out = cipher;
  aes_decrypt_cbc(context, out.data(), out.size());
  aes_free_context(context);
  return out;
}

}  // namespace

TEST(AesKnownAnswer, Fips197Examples)
{
  struct {
    const char *key, *plain, *cipher;
  } const vectors[] = {
      {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
       "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "00112233445566778899aabbccddeeff",
       "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const auto &v : vectors) {
    EXPECT_EQ(to_hex(ecb_encrypt(from_hex(v.key), from_hex(v.plain))), v.cipher) << v.key;
    EXPECT_EQ(to_hex(ecb_decrypt(from_hex(v.key), from_hex(v.cipher))), v.plain) << v.key;
  }
}

TEST(AesKnownAnswer, SetupRefusesOtherSizesAndAcceptsWideRijndaelBlocks)
{
  AesContext *context = aes_make_context();
  const Bytes key(32, 7);
  EXPECT_FALSE(aes_setup(context, 16, key.data(), 20));
  EXPECT_FALSE(aes_setup(context, 12, key.data(), 16));
  std::mt19937 rng(8);
  for (int block : {24, 32}) {
    for (int key_bytes : {16, 24, 32}) {
      ASSERT_TRUE(aes_setup(context, block, key.data(), key_bytes));
      EXPECT_EQ(context->Nr, std::max(block, key_bytes) / 4 + 6);
      const Bytes plain = random_bytes(rng, static_cast<std::size_t>(block) * 3);
      Bytes data = plain;
      const Bytes zero_iv(32, 0);
      aes_set_iv(context, zero_iv.data());
      aes_encrypt_cbc(context, data.data(), data.size());
      EXPECT_NE(data, plain);
      aes_set_iv(context, zero_iv.data());
      aes_decrypt_cbc(context, data.data(), data.size());
      EXPECT_EQ(data, plain) << block << "/" << key_bytes;
    }
  }
  aes_free_context(context);
}

TEST(AesModes, CounterWrapsFromAllOnesToZero)
{
  const Bytes key = from_hex("000102030405060708090a0b0c0d0e0f");
  const Bytes all_ones(16, 0xff);
  void *context = aes_cipher_new_context();
  aes_cipher_set_iv(context, all_ones.data());
  aes128_cipher_set_key(context, key.data());  // the IV survives a later key set-up
  Bytes data(48, 0);
  aes_cipher_sdctr(context, data.data(), data.size());
  aes_cipher_free_context(context);

  Bytes counter_one(16, 0);
  counter_one[15] = 1;
  EXPECT_EQ(to_hex(data.data(), 16), to_hex(ecb_encrypt(key, all_ones)));
  EXPECT_EQ(to_hex(data.data() + 16, 16), to_hex(ecb_encrypt(key, Bytes(16, 0))));
  EXPECT_EQ(to_hex(data.data() + 32, 16), to_hex(ecb_encrypt(key, counter_one)));
}

TEST(AesModes, KeyFileDecryptionIsCbcFromZeroIv)
{
  std::mt19937 rng(3106);
  const Bytes key = random_bytes(rng, 32), plain = random_bytes(rng, 64);
  void *context = aes_cipher_new_context();
  const Bytes zero_iv(16, 0);
  aes256_cipher_set_key(context, key.data());
  aes_cipher_set_iv(context, zero_iv.data());
  Bytes data = plain;
  aes_cipher_encrypt_cbc(context, data.data(), data.size());
  aes_cipher_free_context(context);
  aes256_decrypt_key_file(key.data(), data.data(), data.size());
  EXPECT_EQ(data, plain);
}

TEST(AesDifferential, CbcAndCounterMatchOpensslAcrossSplitCalls)
{
  std::mt19937 rng(197);
  struct Case {
    Bytes key, iv, plain;
    bool counter;
  };
  std::vector<Case> cases;
  std::vector<OpensslCase> requests;
  for (int i = 0; i < 36; ++i) {
    const std::size_t key_bytes = 16 + 8 * (i % 3);
    Case c{random_bytes(rng, key_bytes), random_bytes(rng, 16), random_bytes(rng, 16 * (rng() % 70)), i % 2 == 1};
    if (i == 1)
      c.iv.assign(16, 0xff), c.iv[0] = 0x7f, c.iv[15] = 0xfd;  // carry across words mid-buffer
    requests.push_back({"aes-" + std::to_string(key_bytes * 8) + (c.counter ? "-ctr" : "-cbc"), to_hex(c.key),
                        to_hex(c.iv), c.plain});
    cases.push_back(std::move(c));
  }
  const auto expected = openssl_batch(requests);
  ASSERT_EQ(expected.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case &c = cases[i];
    void *context = aes_cipher_new_context();
    (c.key.size() == 16 ? aes128_cipher_set_key : c.key.size() == 24 ? aes192_cipher_set_key
                                                                      : aes256_cipher_set_key)(context, c.key.data());
    aes_cipher_set_iv(context, c.iv.data());
    auto encrypt = [&](unsigned char *p, std::size_t n) {
      (c.counter ? aes_cipher_sdctr : aes_cipher_encrypt_cbc)(context, p, n);
    };
    const Bytes cipher = in_three_calls(encrypt, c.plain, random_block_cuts(rng, c.plain.size(), 16));
    EXPECT_EQ(to_hex(cipher), to_hex(expected[i])) << requests[i].cipher << " length " << c.plain.size();

    aes_cipher_set_iv(context, c.iv.data());
    auto decrypt = [&](unsigned char *p, std::size_t n) {
      (c.counter ? aes_cipher_sdctr : aes_cipher_decrypt_cbc)(context, p, n);
    };
    EXPECT_EQ(in_three_calls(decrypt, cipher, random_block_cuts(rng, cipher.size(), 16)), c.plain);
    aes_cipher_free_context(context);
  }
}

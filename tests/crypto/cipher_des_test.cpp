// DES and triple DES against the published examples and OpenSSL: SSH-2 CBC and SDCTR, SSH-1
// inner CBC built from three DES-CBC passes, key files and X11 authorisation.

#include <gtest/gtest.h>

#include <random>

#include "crypto/byte_order.h"
#include "crypto/des.h"
#include "crypto/triple_des.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

namespace {

std::string des_block_hex(const char *key_hex, const char *plain_hex, bool decrypt)
{
  DesContext context;
  des_key_setup(&context, from_hex(key_hex).data());
  const Bytes plain = from_hex(plain_hex);
  std::uint32_t l = load_be32(plain.data()), r = load_be32(plain.data() + 4);
  (decrypt ? des_decrypt_block : des_encrypt_block)(&context, l, r);
  unsigned char out[8];
  store_be32(out, l);
  store_be32(out + 4, r);
  return to_hex(out, 8);
}

const std::string zero_iv_hex = "0000000000000000";

std::string des_cbc(const Bytes &key, bool decrypt)
{
  return openssl_command("des-cbc", to_hex(key), zero_iv_hex, decrypt);
}

}  // namespace

TEST(DesKnownAnswer, PublishedBlockExamples)
{
  struct {
    const char *key, *plain, *cipher;
  } const vectors[] = {
      {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
      {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
      {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
      {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
      {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
      {"0000000000000000", "0000000000000000", "8ca64de9c1b123a7"},
  };
  for (const auto &v : vectors) {
    EXPECT_EQ(des_block_hex(v.key, v.plain, false), v.cipher) << v.key;
    EXPECT_EQ(des_block_hex(v.key, v.cipher, true), v.plain) << v.key;
  }
  // Parity bits play no part.
  EXPECT_EQ(des_block_hex("0000000000000000", "0000000000000000", false),
            des_block_hex("0101010101010101", "0000000000000000", false));
}

TEST(DesKnownAnswer, CbcExampleOfFips81)
{
  void *context = des_cipher_new_context();
  des_cipher_set_key(context, from_hex("0123456789abcdef").data());
  des_cipher_set_iv(context, from_hex("1234567890abcdef").data());
  Bytes data = text_bytes("Now is the time for all ");
  des_cipher_encrypt_cbc(context, data.data(), data.size());
  EXPECT_EQ(to_hex(data), "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6");
  des_cipher_set_iv(context, from_hex("1234567890abcdef").data());
  des_cipher_decrypt_cbc(context, data.data(), data.size());
  EXPECT_EQ(data, text_bytes("Now is the time for all "));
  des_cipher_free_context(context);
}

TEST(DesDifferential, Ssh2ModesMatchOpensslAcrossSplitCalls)
{
  std::mt19937 rng(463);
  enum Mode { single_cbc, triple_cbc, triple_ctr };
  struct Case {
    Mode mode;
    Bytes key, iv, plain;
  };
  std::vector<Case> cases;
  std::vector<std::pair<std::string, Bytes>> commands;
  for (int i = 0; i < 30; ++i) {
    const Mode mode = static_cast<Mode>(i % 3);
    Case c{mode, random_bytes(rng, mode == single_cbc ? 8 : 24), random_bytes(rng, 8),
           random_bytes(rng, 8 * (rng() % 90))};
    if (i == 2)
      c.iv = from_hex("00000000fffffffe");  // counter carries into the high word
    if (mode == triple_ctr) {
      // Reference: the counter blocks through triple DES, XORed into the data.
      Bytes counters(c.plain.size());
      std::uint64_t counter = load_be64(c.iv.data());
      for (std::size_t at = 0; at < counters.size(); at += 8)
        store_be64(counters.data() + at, counter++);
      commands.emplace_back(openssl_command("des-ede3", to_hex(c.key), "", false), counters);
    } else {
      commands.emplace_back(openssl_command(mode == single_cbc ? "des-cbc" : "des-ede3-cbc", to_hex(c.key),
                                            to_hex(c.iv), false),
                            c.plain);
    }
    cases.push_back(std::move(c));
  }
  const auto expected = shell_batch(commands);
  ASSERT_EQ(expected.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case &c = cases[i];
    Bytes reference = expected[i];
    if (c.mode == triple_ctr) {
      ASSERT_EQ(reference.size(), c.plain.size());
      for (std::size_t j = 0; j < reference.size(); ++j)
        reference[j] ^= c.plain[j];
    }
    const bool single = c.mode == single_cbc;
    void *context = single ? des_cipher_new_context() : des3_cipher_new_context();
    (single ? des_cipher_set_key : des3_cipher_set_key)(context, c.key.data());
    (single ? des_cipher_set_iv : des3_cipher_set_iv)(context, c.iv.data());
    auto encrypt = single ? des_cipher_encrypt_cbc : c.mode == triple_cbc ? des3_cipher_encrypt_cbc : des3_cipher_sdctr;
    auto decrypt = single ? des_cipher_decrypt_cbc : c.mode == triple_cbc ? des3_cipher_decrypt_cbc : des3_cipher_sdctr;
    const Bytes cipher = in_three_calls([&](unsigned char *p, std::size_t n) { encrypt(context, p, n); }, c.plain,
                                        random_block_cuts(rng, c.plain.size(), 8));
    EXPECT_EQ(to_hex(cipher), to_hex(reference)) << "case " << i << " length " << c.plain.size();
    (single ? des_cipher_set_iv : des3_cipher_set_iv)(context, c.iv.data());
    EXPECT_EQ(in_three_calls([&](unsigned char *p, std::size_t n) { decrypt(context, p, n); }, cipher,
                             random_block_cuts(rng, cipher.size(), 8)),
              c.plain);
    (single ? des_cipher_free_context : des3_cipher_free_context)(context);
  }
}

TEST(DesDifferential, Ssh1InnerCbcIsThreeDesCbcPasses)
{
  std::mt19937 rng(138);
  std::vector<Bytes> keys, plains;
  std::vector<std::pair<std::string, Bytes>> commands;
  for (int i = 0; i < 8; ++i) {
    keys.push_back(random_bytes(rng, 32));
    plains.push_back(random_bytes(rng, 8 * (1 + rng() % 60)));
    const Bytes k1(keys[i].begin(), keys[i].begin() + 8), k2(keys[i].begin() + 8, keys[i].begin() + 16),
        k3(keys[i].begin() + 16, keys[i].begin() + 24);
    commands.emplace_back(des_cbc(k1, false) + " | " + des_cbc(k2, true) + " | " + des_cbc(k3, false), plains[i]);
  }
  const auto expected = shell_batch(commands);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    void *context = ssh1_des3_new_context();
    ssh1_des3_set_session_key(context, keys[i].data());
    const Bytes cipher =
        in_three_calls([&](unsigned char *p, std::size_t n) { ssh1_des3_encrypt(context, p, n); }, plains[i],
                       random_block_cuts(rng, plains[i].size(), 8));
    EXPECT_EQ(to_hex(cipher), to_hex(expected[i])) << "length " << plains[i].size();
    EXPECT_EQ(in_three_calls([&](unsigned char *p, std::size_t n) { ssh1_des3_decrypt(context, p, n); }, cipher,
                             random_block_cuts(rng, cipher.size(), 8)),
              plains[i]);
    ssh1_des3_free_context(context);
  }
}

TEST(DesModes, Ssh1AndSsh2TripleDesDifferFromTheSecondBlockOn)
{
  std::mt19937 rng(2);
  const Bytes key = random_bytes(rng, 32), plain = random_bytes(rng, 16), zero_iv(8, 0);
  Bytes ssh1 = plain, ssh2 = plain;
  void *one = ssh1_des3_new_context();
  ssh1_des3_set_session_key(one, key.data());
  ssh1_des3_encrypt(one, ssh1.data(), ssh1.size());
  void *two = des3_cipher_new_context();
  des3_cipher_set_key(two, key.data());
  des3_cipher_set_iv(two, zero_iv.data());
  des3_cipher_encrypt_cbc(two, ssh2.data(), ssh2.size());
  // From zero IVs the first block is E3(D2(E1(x))) either way; chaining tells them apart.
  EXPECT_EQ(to_hex(ssh1.data(), 8), to_hex(ssh2.data(), 8));
  EXPECT_NE(to_hex(ssh1.data() + 8, 8), to_hex(ssh2.data() + 8, 8));
  ssh1_des3_decrypt(one, ssh1.data(), ssh1.size());
  des3_cipher_set_iv(two, zero_iv.data());
  des3_cipher_decrypt_cbc(two, ssh2.data(), ssh2.size());
  EXPECT_EQ(ssh1, plain);
  EXPECT_EQ(ssh2, plain);
  ssh1_des3_free_context(one);
  des3_cipher_free_context(two);
}

TEST(DesDifferential, SingleDesSshOneKeyFileAndX11)
{
  std::mt19937 rng(4120);
  const Bytes key8 = random_bytes(rng, 8), key16 = random_bytes(rng, 16), plain = random_bytes(rng, 64);
  const Bytes k1(key16.begin(), key16.begin() + 8), k2(key16.begin() + 8, key16.end());
  // X11: key bits 0..55 -> bytes of 7 bits each, shifted left by one.
  const Bytes key7 = from_hex("80ff0123456789");
  const Bytes spread = from_hex("807ec024342a9e12");
  const Bytes cipher24 = random_bytes(rng, 24);

  const auto expected = shell_batch({
      {des_cbc(key8, false), plain},
      {des_cbc(k1, true) + " | " + des_cbc(k2, false) + " | " + des_cbc(k1, true), plain},
      {des_cbc(spread, true), cipher24},
  });
  ASSERT_EQ(expected.size(), 3u);

  void *context = ssh1_des_new_context();
  ssh1_des_set_session_key(context, key8.data());
  Bytes data = plain;
  ssh1_des_encrypt(context, data.data(), data.size());
  EXPECT_EQ(to_hex(data), to_hex(expected[0]));
  ssh1_des_decrypt(context, data.data(), data.size());
  EXPECT_EQ(data, plain);
  ssh1_des_free_context(context);

  data = plain;
  des3_decrypt_key_file(key16.data(), data.data(), data.size());
  EXPECT_EQ(to_hex(data), to_hex(expected[1]));

  data = cipher24;
  des_decrypt_xdm_auth(key7.data(), data.data(), data.size());
  EXPECT_EQ(to_hex(data), to_hex(expected[2]));
}

// Arcfour against RFC 6229 and OpenSSL's RC4, with the 1536-byte discard of the SSH ciphers.

#include <gtest/gtest.h>

#include <random>

#include "crypto/arcfour.h"
#include "tests/crypto/symmetric_test_util.h"

using namespace symmetric_test;

TEST(ArcfourKnownAnswer, Rfc6229KeystreamStart)
{
  struct {
    const char *key, *keystream;
  } const vectors[] = {
      {"0102030405", "b2396305f03dc027ccc3524a0a1118a8"},
      {"0102030405060708090a0b0c0d0e0f10", "9ac7cc9a609d1ef7b2932899cde41b97"},
      {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", "eaa6bd25880bf93d3f5d1e4ca2611d91"},
  };
  for (const auto &v : vectors) {
    ArcfourContext context;
    const Bytes key = from_hex(v.key);
    arcfour_key_setup(&context, key.data(), key.size());
    Bytes stream(16, 0);
    arcfour_crypt(&context, stream.data(), 8);  // in two calls: the indices carry over
    arcfour_crypt(&context, stream.data() + 8, 8);
    EXPECT_EQ(to_hex(stream), v.keystream) << v.key;
  }
}

TEST(ArcfourDifferential, SshCiphersAreTheKeystreamFromByte1536)
{
  std::mt19937 rng(4345);
  std::vector<Bytes> keys, plains;
  std::vector<std::pair<std::string, Bytes>> commands;  // 16-byte keys through the command line
  std::vector<EvpCase> requests;                        // 32-byte keys through the library
  for (int i = 0; i < 12; ++i) {
    keys.push_back(random_bytes(rng, i % 2 ? 32 : 16));
    plains.push_back(random_bytes(rng, rng() % 3000));
    Bytes prefixed(ARCFOUR_DISCARD, 0);
    prefixed.insert(prefixed.end(), plains[i].begin(), plains[i].end());
    if (i % 2)
      requests.push_back({"RC4", keys[i], {}, prefixed});
    else
      commands.emplace_back(openssl_command("rc4", to_hex(keys[i]), "", false), prefixed);
  }
  const auto expected_16 = shell_batch(commands);
  const auto expected_32 = evp_batch(requests);
  ASSERT_EQ(expected_16.size() + expected_32.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const Bytes &full = i % 2 ? expected_32[i / 2] : expected_16[i / 2];
    ASSERT_EQ(full.size(), ARCFOUR_DISCARD + plains[i].size());
    const Bytes reference(full.begin() + ARCFOUR_DISCARD, full.end());
    void *context = arcfour_cipher_new_context();
    arcfour_cipher_set_iv(context, keys[i].data());  // no effect
    (i % 2 ? arcfour256_cipher_set_key : arcfour128_cipher_set_key)(context, keys[i].data());
    const Bytes cipher = in_three_calls([&](unsigned char *p, std::size_t n) { arcfour_cipher_crypt(context, p, n); },
                                        plains[i], random_cuts(rng, plains[i].size()));
    EXPECT_EQ(to_hex(cipher), to_hex(reference)) << "key length " << keys[i].size();
    arcfour_cipher_free_context(context);

    context = arcfour_cipher_new_context();
    (i % 2 ? arcfour256_cipher_set_key : arcfour128_cipher_set_key)(context, keys[i].data());
    Bytes back = cipher;
    arcfour_cipher_crypt(context, back.data(), back.size());
    EXPECT_EQ(back, plains[i]);
    arcfour_cipher_free_context(context);
  }
}

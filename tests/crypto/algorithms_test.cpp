#include "crypto/algorithms.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypto/diffie_hellman.h"
#include "crypto/dsa.h"
#include "base/memory.h"
#include "tests/crypto/bignum_test_support.h"

namespace {

struct CipherRow {
  const CipherAlgorithm *record;
  const char *name;
  const char *display_name;
  int block_size;
  int key_bits;
  unsigned flags;
};

const CipherRow cipher_rows[] = {
    {&ssh_aes256_ctr, "aes256-ctr", "AES-256 SDCTR", 16, 256, 0},
    {&ssh_aes256_cbc, "aes256-cbc", "AES-256 CBC", 16, 256, 1},
    {&ssh_rijndael_lysator, "rijndael-cbc@lysator.liu.se", "AES-256 CBC", 16, 256, 1},
    {&ssh_aes192_ctr, "aes192-ctr", "AES-192 SDCTR", 16, 192, 0},
    {&ssh_aes192_cbc, "aes192-cbc", "AES-192 CBC", 16, 192, 1},
    {&ssh_aes128_ctr, "aes128-ctr", "AES-128 SDCTR", 16, 128, 0},
    {&ssh_aes128_cbc, "aes128-cbc", "AES-128 CBC", 16, 128, 1},
    {&ssh_blowfish_ctr, "blowfish-ctr", "Blowfish-256 SDCTR", 8, 256, 0},
    {&ssh_blowfish_cbc, "blowfish-cbc", "Blowfish-128 CBC", 8, 128, 1},
    {&ssh_3des_ctr, "3des-ctr", "triple-DES SDCTR", 8, 168, 0},
    {&ssh_3des_cbc, "3des-cbc", "triple-DES CBC", 8, 168, 1},
    {&ssh_arcfour256, "arcfour256", "Arcfour-256", 1, 256, 0},
    {&ssh_arcfour128, "arcfour128", "Arcfour-128", 1, 128, 0},
    {&ssh_des_cbc, "des-cbc", "single-DES CBC", 8, 56, 1},
    {&ssh_des_sshcom, "des-cbc@ssh.com", "single-DES CBC", 8, 56, 1},
};

std::vector<std::string> member_names(const CipherGroup &group)
{
  std::vector<std::string> names;
  for (int i = 0; i < group.count; ++i)
    names.emplace_back(group.list[i]->name);
  return names;
}

TEST(AlgorithmTables, CipherRecords)
{
  for (const CipherRow &row : cipher_rows) {
    SCOPED_TRACE(row.name);
    EXPECT_STREQ(row.record->name, row.name);
    EXPECT_STREQ(row.record->display_name, row.display_name);
    EXPECT_EQ(row.record->block_size, row.block_size);
    EXPECT_EQ(row.record->key_bits, row.key_bits);
    EXPECT_EQ(row.record->flags, row.flags);
    // Counter modes and the stream cipher encrypt and decrypt alike.
    EXPECT_EQ(row.record->encrypt == row.record->decrypt, row.flags == 0);
  }
}

TEST(AlgorithmTables, CipherGroupsInPreferenceOrder)
{
  using Names = std::vector<std::string>;
  EXPECT_EQ(member_names(ssh2_aes), (Names{"aes256-ctr", "aes256-cbc", "rijndael-cbc@lysator.liu.se", "aes192-ctr",
                                           "aes192-cbc", "aes128-ctr", "aes128-cbc"}));
  EXPECT_EQ(member_names(ssh2_blowfish), (Names{"blowfish-ctr", "blowfish-cbc"}));
  EXPECT_EQ(member_names(ssh2_3des), (Names{"3des-ctr", "3des-cbc"}));
  EXPECT_EQ(member_names(ssh2_arcfour), (Names{"arcfour256", "arcfour128"}));
  EXPECT_EQ(member_names(ssh2_des), (Names{"des-cbc", "des-cbc@ssh.com"}));
}

TEST(AlgorithmTables, PrivateNameAesSharesEveryOperation)
{
  const CipherAlgorithm &a = ssh_aes256_cbc, &b = ssh_rijndael_lysator;
  EXPECT_EQ(a.new_context, b.new_context);
  EXPECT_EQ(a.free_context, b.free_context);
  EXPECT_EQ(a.set_iv, b.set_iv);
  EXPECT_EQ(a.set_key, b.set_key);
  EXPECT_EQ(a.encrypt, b.encrypt);
  EXPECT_EQ(a.decrypt, b.decrypt);
  EXPECT_STRNE(a.name, b.name);
}

// Every cipher record decrypts what it encrypted, with key and IV of the record's sizes.
TEST(AlgorithmTables, CipherRecordsRoundTrip)
{
  for (const CipherRow &row : cipher_rows) {
    SCOPED_TRACE(row.name);
    const CipherAlgorithm *cipher = row.record;
    std::vector<unsigned char> key(32), iv(16), plain(96), buffer;
    for (std::size_t i = 0; i < key.size(); ++i)
      key[i] = static_cast<unsigned char>(3 * i + 1);
    for (std::size_t i = 0; i < plain.size(); ++i)
      plain[i] = static_cast<unsigned char>(i);
    void *sender = cipher->new_context();
    void *receiver = cipher->new_context();
    for (void *context : {sender, receiver}) {
      cipher->set_key(context, key.data());
      cipher->set_iv(context, iv.data());
    }
    buffer = plain;
    cipher->encrypt(sender, buffer.data(), buffer.size());
    EXPECT_NE(buffer, plain);
    cipher->decrypt(receiver, buffer.data(), buffer.size());
    EXPECT_EQ(buffer, plain);
    cipher->free_context(sender);
    cipher->free_context(receiver);
  }
}

TEST(AlgorithmTables, Ssh1CipherRecords)
{
  struct Row {
    const Ssh1CipherAlgorithm *record;
    const char *display_name;
  };
  for (const Row &row : {Row{&ssh1_3des, "triple-DES inner-CBC"}, Row{&ssh1_des, "single-DES CBC"},
                         Row{&ssh1_blowfish, "Blowfish-128 CBC"}}) {
    SCOPED_TRACE(row.display_name);
    EXPECT_STREQ(row.record->display_name, row.display_name);
    EXPECT_EQ(row.record->block_size, 8);
    unsigned char key[32];
    for (int i = 0; i < 32; ++i)
      key[i] = static_cast<unsigned char>(i * 7);
    std::vector<unsigned char> plain(64, 0x33), buffer = plain;
    void *context = row.record->new_context();
    row.record->set_session_key(context, key);
    row.record->encrypt(context, buffer.data(), buffer.size());
    EXPECT_NE(buffer, plain);
    row.record->decrypt(context, buffer.data(), buffer.size());  // separate state per direction
    EXPECT_EQ(buffer, plain);
    row.record->free_context(context);
  }
}

TEST(AlgorithmTables, MacRecordsAndLists)
{
  struct Row {
    const MacAlgorithm *record;
    const char *name;
    const char *display_name;
    int length;
  };
  for (const Row &row : {Row{&ssh_hmac_sha1, "hmac-sha1", "HMAC-SHA1", 20},
                         Row{&ssh_hmac_sha1_96, "hmac-sha1-96", "HMAC-SHA1-96", 12},
                         Row{&ssh_hmac_sha1_buggy, "hmac-sha1", "bug-compatible HMAC-SHA1", 20},
                         Row{&ssh_hmac_sha1_96_buggy, "hmac-sha1-96", "bug-compatible HMAC-SHA1-96", 12},
                         Row{&ssh_hmac_md5, "hmac-md5", "HMAC-MD5", 16}}) {
    SCOPED_TRACE(row.display_name);
    EXPECT_STREQ(row.record->name, row.name);
    EXPECT_STREQ(row.record->display_name, row.display_name);
    EXPECT_EQ(row.record->mac_length, row.length);

    unsigned char key[20] = {1, 2, 3};
    std::vector<unsigned char> packet(40 + row.length, 0x61);
    void *context = row.record->new_context();
    row.record->set_key(context, key);
    row.record->generate(context, packet.data(), 40, 9);
    EXPECT_EQ(row.record->verify(context, packet.data(), 40, 9), 1);
    EXPECT_EQ(row.record->verify(context, packet.data(), 40, 10), 0);
    row.record->free_context(context);
  }
  EXPECT_EQ(ssh2_macs[0], &ssh_hmac_sha1);
  EXPECT_EQ(ssh2_macs[1], &ssh_hmac_sha1_96);
  EXPECT_EQ(ssh2_macs[2], &ssh_hmac_md5);
  EXPECT_EQ(ssh2_buggy_macs[0], &ssh_hmac_sha1_buggy);
  EXPECT_EQ(ssh2_buggy_macs[1], &ssh_hmac_sha1_96_buggy);
  EXPECT_EQ(ssh2_buggy_macs[2], &ssh_hmac_md5);
}

std::vector<unsigned char> mac_of(const MacAlgorithm &mac, const unsigned char key[20])
{
  std::vector<unsigned char> packet(32 + mac.mac_length, 0x42);
  void *context = mac.new_context();
  mac.set_key(context, key);
  mac.generate(context, packet.data(), 32, 77);
  mac.free_context(context);
  return std::vector<unsigned char>(packet.begin() + 32, packet.end());
}

TEST(AlgorithmTables, SixteenByteKeyMacsIgnoreTheLastFourKeyBytes)
{
  unsigned char key_a[20], key_b[20];
  for (int i = 0; i < 20; ++i)
    key_a[i] = key_b[i] = static_cast<unsigned char>(i + 100);
  for (int i = 16; i < 20; ++i)
    key_b[i] ^= 0xFF;
  for (const MacAlgorithm *buggy : {&ssh_hmac_sha1_buggy, &ssh_hmac_sha1_96_buggy})
    EXPECT_EQ(mac_of(*buggy, key_a), mac_of(*buggy, key_b));
  EXPECT_NE(mac_of(ssh_hmac_sha1, key_a), mac_of(ssh_hmac_sha1, key_b));
  EXPECT_NE(mac_of(ssh_hmac_sha1, key_a), mac_of(ssh_hmac_sha1_buggy, key_a));
  // The 96-bit forms are the first 12 bytes of the full MAC.
  std::vector<unsigned char> full = mac_of(ssh_hmac_sha1, key_a);
  EXPECT_EQ(mac_of(ssh_hmac_sha1_96, key_a), std::vector<unsigned char>(full.begin(), full.begin() + 12));
}

TEST(AlgorithmTables, HashRecords)
{
  EXPECT_STREQ(ssh_sha1.name, "SHA-1");
  EXPECT_EQ(ssh_sha1.digest_length, 20);
  EXPECT_STREQ(ssh_sha256.name, "SHA-256");
  EXPECT_EQ(ssh_sha256.digest_length, 32);
  unsigned char digest[32];
  void *state = ssh_sha256.begin();
  ssh_sha256.feed(state, "abc", 3);
  ssh_sha256.finish(state, digest);
  EXPECT_EQ(digest[0], 0xBA);  // SHA-256("abc") begins ba7816bf
  EXPECT_EQ(digest[31], 0xAD);
}

TEST(AlgorithmTables, KeyExchangeRecordsAndGroups)
{
  const KexAlgorithm &g1 = ssh_diffiehellman_group1_sha1, &g14 = ssh_diffiehellman_group14_sha1;
  EXPECT_STREQ(g1.name, "diffie-hellman-group1-sha1");
  EXPECT_STREQ(g1.group_name, "group1");
  EXPECT_EQ(g1.prime_length, 128);
  EXPECT_STREQ(g14.name, "diffie-hellman-group14-sha1");
  EXPECT_STREQ(g14.group_name, "group14");
  EXPECT_EQ(g14.prime_length, 256);
  for (const KexAlgorithm *fixed : {&g1, &g14}) {
    EXPECT_EQ(fixed->generator_length, 1);
    EXPECT_EQ(fixed->generator[0], 2);
    EXPECT_EQ(fixed->hash, &ssh_sha1);
    DhContext *context = dh_new_from_group(fixed);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(bn_bit_count(context->p), 8 * fixed->prime_length);
    dh_destroy(context);
  }
  for (const KexAlgorithm *gex : {&ssh_diffiehellman_gex_sha256, &ssh_diffiehellman_gex_sha1}) {
    EXPECT_EQ(gex->group_name, nullptr);
    EXPECT_EQ(gex->prime, nullptr);
    EXPECT_EQ(gex->generator, nullptr);
  }
  EXPECT_STREQ(ssh_diffiehellman_gex_sha256.name, "diffie-hellman-group-exchange-sha256");
  EXPECT_EQ(ssh_diffiehellman_gex_sha256.hash, &ssh_sha256);
  EXPECT_STREQ(ssh_diffiehellman_gex_sha1.name, "diffie-hellman-group-exchange-sha1");
  EXPECT_EQ(ssh_diffiehellman_gex_sha1.hash, &ssh_sha1);

  EXPECT_EQ(ssh_diffiehellman_group1.count, 1);
  EXPECT_EQ(ssh_diffiehellman_group1.list[0], &g1);
  EXPECT_EQ(ssh_diffiehellman_group14.count, 1);
  EXPECT_EQ(ssh_diffiehellman_group14.list[0], &g14);
  EXPECT_EQ(ssh_diffiehellman_gex.count, 2);
  EXPECT_EQ(ssh_diffiehellman_gex.list[0], &ssh_diffiehellman_gex_sha256);
  EXPECT_EQ(ssh_diffiehellman_gex.list[1], &ssh_diffiehellman_gex_sha1);
}

TEST(AlgorithmTables, HostKeyRecordsAndLists)
{
  EXPECT_STREQ(ssh_rsa.name, "ssh-rsa");
  EXPECT_STREQ(ssh_rsa.cache_type, "rsa2");
  EXPECT_STREQ(ssh_dss.name, "ssh-dss");
  EXPECT_STREQ(ssh_dss.cache_type, "dss");
  EXPECT_EQ(ssh2_host_keys[0], &ssh_rsa);
  EXPECT_EQ(ssh2_host_keys[1], &ssh_dss);

  // A small DSA key through the record: p = 23, q = 11, g = 4, x = 3, y = 4^3 mod 23 = 18.
  const unsigned char openssh[] = {0, 0, 0, 1, 23, 0, 0, 0, 1, 11, 0, 0, 0, 1, 4, 0, 0, 0, 1, 18, 0, 0, 0, 1, 3};
  void *key = ssh_dss.key_from_openssh_blob(openssh, sizeof openssh);
  ASSERT_NE(key, nullptr);
  int length = 0;
  unsigned char *signature = ssh_dss.sign(key, reinterpret_cast<const unsigned char *>("data"), 4, &length);
  ASSERT_NE(signature, nullptr);
  EXPECT_EQ(ssh_dss.verify_signature(key, signature, length, reinterpret_cast<const unsigned char *>("data"), 4), 1);
  checked_free(signature);
  char *fingerprint = ssh_dss.fingerprint(key);
  EXPECT_EQ(std::string(fingerprint).rfind("ssh-dss 5 ", 0), 0u);
  checked_free(fingerprint);
  ssh_dss.free_key(key);
}

// Corrupted blobs and signatures reach every reading operation without harm: each call either
// refuses or yields a key that the other operations can use.
TEST(AlgorithmTables, CorruptedBlobsAreHandled)
{
  // RSA p = 61, q = 53, e = 17, d = 2753, iqmp = 38; DSA p = 23, q = 11, g = 4, y = 18, x = 3.
  const std::vector<unsigned char> rsa_public = {0, 0, 0, 7, 's', 's', 'h', '-', 'r', 's', 'a', 0, 0, 0, 1, 17,
                                                 0, 0, 0, 2, 0x0C, 0xA1};
  const std::vector<unsigned char> rsa_private = {0, 0, 0, 2, 0x0A, 0xC1, 0, 0, 0, 1, 61, 0, 0, 0, 1, 53, 0, 0, 0, 1, 38};
  const std::vector<unsigned char> dsa_public = {0, 0, 0, 7, 's', 's', 'h', '-', 'd', 's', 's', 0, 0, 0, 1, 23,
                                                 0, 0, 0, 1, 11, 0, 0, 0, 1, 4, 0, 0, 0, 1, 18};
  const std::vector<unsigned char> dsa_private = {0, 0, 0, 1, 3};
  struct Case {
    const HostKeyAlgorithm *algorithm;
    std::vector<unsigned char> public_blob, private_blob;
  };
  std::mt19937 random(4242);
  for (const Case &c : {Case{&ssh_rsa, rsa_public, rsa_private}, Case{&ssh_dss, dsa_public, dsa_private}}) {
    SCOPED_TRACE(c.algorithm->name);
    void *good = c.algorithm->key_from_blobs(c.public_blob.data(), static_cast<int>(c.public_blob.size()),
                                             c.private_blob.data(), static_cast<int>(c.private_blob.size()));
    ASSERT_NE(good, nullptr);
    for (int round = 0; round < 3000; ++round) {
      std::vector<unsigned char> pub = c.public_blob, priv = c.private_blob;
      std::vector<unsigned char> &target = round % 2 ? pub : priv;
      int edits = 1 + static_cast<int>(random() % 3);
      for (int e = 0; e < edits; ++e) {
        switch (random() % 3) {
          case 0: target[random() % target.size()] = static_cast<unsigned char>(random()); break;
          case 1: target.resize(random() % (target.size() + 1)); break;
          default: target.push_back(static_cast<unsigned char>(random())); break;
        }
        if (target.empty())
          target.push_back(0);
      }
      int pub_length = static_cast<int>(pub.size()), priv_length = static_cast<int>(priv.size());
      c.algorithm->public_bits(pub.data(), pub_length);
      for (void *key : {c.algorithm->key_from_public_blob(pub.data(), pub_length),
                        c.algorithm->key_from_blobs(pub.data(), pub_length, priv.data(), priv_length)}) {
        if (!key)
          continue;
        int length = 0;
        checked_free(c.algorithm->public_blob(key, &length));
        checked_free(c.algorithm->key_text(key));
        checked_free(c.algorithm->fingerprint(key));
        c.algorithm->verify_signature(key, pub.data(), pub_length, priv.data(), priv_length);
        c.algorithm->free_key(key);
      }
      std::vector<unsigned char> openssh(static_cast<std::size_t>(c.algorithm->openssh_private_blob(good, nullptr, 0)));
      c.algorithm->openssh_private_blob(good, openssh.data(), static_cast<int>(openssh.size()));
      openssh[random() % openssh.size()] ^= static_cast<unsigned char>(1 + random() % 255);
      c.algorithm->free_key(c.algorithm->key_from_openssh_blob(openssh.data(), static_cast<int>(openssh.size())));
      // Signatures of any shape against the good key.
      c.algorithm->verify_signature(good, target.data(), static_cast<int>(target.size()), pub.data(), pub_length);
    }
    c.algorithm->free_key(good);
  }
}

TEST(AlgorithmTables, CompressionList)
{
  EXPECT_EQ(ssh2_compressions[0], &ssh_zlib);
  EXPECT_STREQ(ssh2_compressions[0]->name, "zlib");
  EXPECT_STREQ(ssh2_compressions[0]->display_name, "zlib (RFC1950)");
  EXPECT_EQ(ssh2_compressions[1], &ssh_compression_none);
  EXPECT_STREQ(ssh2_compressions[1]->name, "none");
  EXPECT_EQ(ssh2_compressions[1]->display_name, nullptr);
}

}  // namespace

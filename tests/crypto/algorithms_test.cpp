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

// Every SSH-2 cipher record, for the round trip below.
const CipherAlgorithm* const cipher_records[] = {
    &ssh_aes256_ctr, &ssh_aes256_cbc, &ssh_rijndael_lysator, &ssh_aes192_ctr,   &ssh_aes192_cbc,
    &ssh_aes128_ctr, &ssh_aes128_cbc, &ssh_blowfish_ctr,     &ssh_blowfish_cbc, &ssh_3des_ctr,
    &ssh_3des_cbc,   &ssh_arcfour256, &ssh_arcfour128,       &ssh_des_cbc,      &ssh_des_sshcom,
};

std::vector<std::string> member_names(const CipherGroup &group)
{
  std::vector<std::string> names;
  for (int i = 0; i < group.count; ++i)
    names.emplace_back(group.list[i]->name);
  return names;
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
  for (const CipherAlgorithm* cipher : cipher_records) {
    SCOPED_TRACE(cipher->name);
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

TEST(AlgorithmTables, Ssh1CipherRecordsRoundTrip) {
  for (const Ssh1CipherAlgorithm* record : {&ssh1_3des, &ssh1_des, &ssh1_blowfish}) {
    SCOPED_TRACE(record->display_name);
    unsigned char key[32];
    for (int i = 0; i < 32; ++i)
      key[i] = static_cast<unsigned char>(i * 7);
    std::vector<unsigned char> plain(64, 0x33), buffer = plain;
    void* context = record->new_context();
    record->set_session_key(context, key);
    record->encrypt(context, buffer.data(), buffer.size());
    EXPECT_NE(buffer, plain);
    record->decrypt(context, buffer.data(), buffer.size());  // separate state per direction
    EXPECT_EQ(buffer, plain);
    record->free_context(context);
  }
}

TEST(AlgorithmTables, MacRecordsVerifyWhatTheyGenerate) {
  for (const MacAlgorithm* record :
       {&ssh_hmac_sha1, &ssh_hmac_sha1_96, &ssh_hmac_sha1_buggy, &ssh_hmac_sha1_96_buggy, &ssh_hmac_md5}) {
    SCOPED_TRACE(record->display_name);
    unsigned char key[20] = {1, 2, 3};
    std::vector<unsigned char> packet(40 + record->mac_length, 0x61);
    void* context = record->new_context();
    record->set_key(context, key);
    record->generate(context, packet.data(), 40, 9);
    EXPECT_EQ(record->verify(context, packet.data(), 40, 9), 1);
    EXPECT_EQ(record->verify(context, packet.data(), 40, 10), 0);
    record->free_context(context);
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

// The fixed groups' primes have the lengths their records give.
TEST(AlgorithmTables, FixedGroupsHaveTheirPrimes) {
  for (const KexAlgorithm* fixed : {&ssh_diffiehellman_group1_sha1, &ssh_diffiehellman_group14_sha1}) {
    DhContext *context = dh_new_from_group(fixed);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(bn_bit_count(context->p), 8 * fixed->prime_length);
    dh_destroy(context);
  }
}

TEST(AlgorithmTables, DsaRecordSignsAndVerifies) {
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

}  // namespace

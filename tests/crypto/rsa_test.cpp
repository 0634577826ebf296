#include "crypto/rsa.h"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/public_key_limits.h"
#include "crypto/random_pool.h"
#include "crypto/wire_buffer.h"
#include "base/memory.h"
#include "tests/crypto/bignum_test_support.h"
#include "tests/support/scoped_env.h"

using namespace bignum_testing;

namespace {

using RsaKeyPtr = std::unique_ptr<RsaKey, FreedBy<rsa_free_key>>;

// A key made by OpenSSL, read into our form with p > q as the SSH-1 files keep it.
class OpensslRsaKey {
 public:
  OpensslRsaKey(const std::string &folder, const std::string &name, int bits) : path_(folder + "/" + name + ".pem")
  {
    run_command("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" + std::to_string(bits) + " -out " + path_ +
                " 2>/dev/null");
    values_ = parse_openssl_text(run_command("openssl pkey -in " + path_ + " -text -noout"));
  }

  RsaKeyPtr key() const
  {
    auto *key = static_cast<RsaKey *>(checked_alloc(1, sizeof(RsaKey)));
    std::memset(key, 0, sizeof *key);
    key->modulus = from_hex(values_.at("modulus")).release();
    key->exponent = from_hex(values_.at("publicExponent")).release();
    key->private_exponent = from_hex(values_.at("privateExponent")).release();
    BigNumPtr p = from_hex(values_.at("prime1")), q = from_hex(values_.at("prime2"));
    if (bn_compare(p.get(), q.get()) < 0)
      std::swap(p, q);
    key->iqmp = bn_mod_inverse(q.get(), p.get());
    key->p = p.release();
    key->q = q.release();
    key->bits = bn_bit_count(key->modulus);
    key->bytes = (key->bits + 7) / 8;
    return RsaKeyPtr(key);
  }

  const std::string &path() const { return path_; }

 private:
  std::string path_;
  std::map<std::string, std::string> values_;
};

class RsaAgainstOpenssl : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    folder_ = new testing_support::TempFolder;
    key2048_ = new OpensslRsaKey(folder_->path(), "rsa2048", 2048);
    key1024_ = new OpensslRsaKey(folder_->path(), "rsa1024", 1024);
  }
  static void TearDownTestSuite()
  {
    delete key2048_;
    delete key1024_;
    delete folder_;
  }

  static std::string path(const std::string &name) { return *folder_ / name; }

  // Our signature blob's value, and OpenSSL's signature of the same data.
  static std::vector<unsigned char> signature_value(const std::vector<unsigned char> &blob)
  {
    WireBuffer reader(blob.data(), static_cast<int>(blob.size()));
    EXPECT_TRUE(reader.get_string_equal("ssh-rsa"));
    std::string_view value = reader.get_string();
    EXPECT_FALSE(reader.failed());
    return std::vector<unsigned char>(value.begin(), value.end());
  }

  static testing_support::TempFolder *folder_;
  static OpensslRsaKey *key2048_;
  static OpensslRsaKey *key1024_;
};

testing_support::TempFolder *RsaAgainstOpenssl::folder_;
OpensslRsaKey *RsaAgainstOpenssl::key2048_;
OpensslRsaKey *RsaAgainstOpenssl::key1024_;

TEST_F(RsaAgainstOpenssl, SignatureEqualsOpensslAndVerifiesBothWays)
{
  RsaKeyPtr key = key2048_->key();
  ASSERT_EQ(rsa_key_check(key.get()), 1);
  const std::string data = "host key exchange hash";
  write_file(path("data"), data.data(), data.size());

  OwnedBlob ours;
  ours.bytes = rsa2_sign(key.get(), reinterpret_cast<const unsigned char *>(data.data()),
                         static_cast<int>(data.size()), &ours.length);
  ASSERT_NE(ours.bytes, nullptr);
  std::vector<unsigned char> our_value = signature_value(ours.vector());

  int status = -1;
  run_command("openssl dgst -sha1 -sign " + key2048_->path() + " -out " + path("theirs.sig") + " " + path("data"),
              &status);
  ASSERT_EQ(status, 0);
  std::vector<unsigned char> theirs = read_file(path("theirs.sig"));
  BigNumPtr their_value(bn_from_bytes_be(theirs.data(), static_cast<int>(theirs.size())));
  EXPECT_EQ(our_value, to_bytes(their_value.get()));

  // OpenSSL wants the signature padded to the modulus length.
  std::vector<unsigned char> padded(256 - our_value.size(), 0);
  padded.insert(padded.end(), our_value.begin(), our_value.end());
  write_file(path("ours.sig"), padded.data(), padded.size());
  std::string verified = run_command("openssl pkey -in " + key2048_->path() + " -pubout -out " + path("pub.pem") +
                                     " && openssl dgst -sha1 -verify " + path("pub.pem") + " -signature " +
                                     path("ours.sig") + " " + path("data"));
  EXPECT_EQ(verified, "Verified OK\n");

  WireBuffer their_blob;
  their_blob.put_string("ssh-rsa");
  their_blob.put_string(theirs.data(), static_cast<int>(theirs.size()));
  EXPECT_EQ(rsa2_verify_signature(key.get(), their_blob.bytes().data(), their_blob.size(),
                                  reinterpret_cast<const unsigned char *>(data.data()), static_cast<int>(data.size())),
            1);
}

TEST_F(RsaAgainstOpenssl, SigningIsDeterministicAndNoCorruptedSignatureVerifies) {
  RsaKeyPtr key = key1024_->key();
  const unsigned char data[] = "abc";
  OwnedBlob first, second;
  first.bytes = rsa2_sign(key.get(), data, 3, &first.length);
  second.bytes = rsa2_sign(key.get(), data, 3, &second.length);
  ASSERT_NE(first.bytes, nullptr);
  EXPECT_EQ(first.vector(), second.vector());
  EXPECT_EQ(rsa2_verify_signature(key.get(), first.bytes, first.length, data, 3), 1);
  EXPECT_EQ(rsa2_verify_signature(key.get(), first.bytes, first.length, data, 2), 0);
  // Every single-bit change, in the blob's framing as in the value, is refused.
  std::vector<unsigned char> good = first.vector();
  for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
    std::vector<unsigned char> tampered = good;
    tampered[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    ASSERT_EQ(rsa2_verify_signature(key.get(), tampered.data(), static_cast<int>(tampered.size()), data, 3), 0)
        << "bit " << bit;
  }
  EXPECT_EQ(rsa2_verify_signature(key.get(), first.bytes, first.length - 1, data, 3), 0);
  EXPECT_EQ(rsa2_verify_signature(key.get(), first.bytes, 5, data, 3), 0);

  // s + n has the same value modulo n but is no valid signature.
  std::vector<unsigned char> value = signature_value(first.vector());
  BigNumPtr s_value(bn_from_bytes_be(value.data(), static_cast<int>(value.size())));
  BigNumPtr s_plus_n(bn_add(s_value.get(), key->modulus));
  std::vector<unsigned char> large = to_bytes(s_plus_n.get());
  WireBuffer blob;
  blob.put_string("ssh-rsa");
  blob.put_string(large.data(), static_cast<int>(large.size()));
  EXPECT_EQ(rsa2_verify_signature(key.get(), blob.bytes().data(), blob.size(), data, 3), 0);
}

TEST_F(RsaAgainstOpenssl, ShortSignatureValueIsEmittedShortAndVerifies)
{
  RsaKeyPtr key = key1024_->key();
  int k = key->bytes;
  for (uint32_t counter = 0; counter < 20000; ++counter) {
    unsigned char data[4] = {static_cast<unsigned char>(counter >> 24), static_cast<unsigned char>(counter >> 16),
                             static_cast<unsigned char>(counter >> 8), static_cast<unsigned char>(counter)};
    OwnedBlob signature;
    signature.bytes = rsa2_sign(key.get(), data, 4, &signature.length);
    std::vector<unsigned char> value = signature_value(signature.vector());
    if (static_cast<int>(value.size()) == k)
      continue;
    EXPECT_LT(static_cast<int>(value.size()), k);
    EXPECT_NE(value[0], 0);
    EXPECT_EQ(rsa2_verify_signature(key.get(), signature.bytes, signature.length, data, 4), 1);
    return;
  }
  FAIL() << "no signature with a leading zero byte found";
}

TEST_F(RsaAgainstOpenssl, FingerprintEqualsSshKeygen)
{
  RsaKeyPtr key = key2048_->key();
  OwnedBlob blob;
  blob.bytes = rsa2_public_blob(key.get(), &blob.length);
  std::string keygen = ssh_keygen_fingerprint(folder_->path(), "ssh-rsa", blob.bytes, blob.length);
  char *ours = rsa2_fingerprint(key.get());
  std::string text(ours);
  checked_free(ours);
  ASSERT_EQ(text.rfind("ssh-rsa 2048 ", 0), 0u) << text;
  EXPECT_EQ(keygen, "2048 MD5:" + text.substr(13) + " test (RSA)\n");
  EXPECT_EQ(rsa2_public_bits(blob.bytes, blob.length), 2048);
}

TEST_F(RsaAgainstOpenssl, BlobsRoundTripAndInconsistentKeysAreRefused)
{
  RsaKeyPtr key = key1024_->key();
  OwnedBlob public_blob, private_blob;
  public_blob.bytes = rsa2_public_blob(key.get(), &public_blob.length);
  private_blob.bytes = rsa2_private_blob(key.get(), &private_blob.length);
  RsaKeyPtr loaded(static_cast<RsaKey *>(
      rsa2_key_from_blobs(public_blob.bytes, public_blob.length, private_blob.bytes, private_blob.length)));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(bn_compare(loaded->private_exponent, key->private_exponent), 0);

  WireBuffer wrong_iqmp;
  wrong_iqmp.put_mpint(key->private_exponent);
  wrong_iqmp.put_mpint(key->p);
  wrong_iqmp.put_mpint(key->q);
  BigNumPtr other(bn_add(key->iqmp, bn_one));
  wrong_iqmp.put_mpint(other.get());
  EXPECT_EQ(rsa2_key_from_blobs(public_blob.bytes, public_blob.length, wrong_iqmp.bytes().data(), wrong_iqmp.size()),
            nullptr);

  int needed = rsa2_openssh_private_blob(key.get(), nullptr, 0);
  std::vector<unsigned char> openssh(static_cast<std::size_t>(needed));
  EXPECT_EQ(rsa2_openssh_private_blob(key.get(), openssh.data(), needed), needed);
  RsaKeyPtr from_openssh(static_cast<RsaKey *>(rsa2_key_from_openssh_blob(openssh.data(), needed)));
  ASSERT_TRUE(from_openssh);
  EXPECT_EQ(bn_compare(from_openssh->modulus, key->modulus), 0);
  EXPECT_EQ(bn_compare(from_openssh->q, key->q), 0);
  EXPECT_EQ(rsa2_key_from_openssh_blob(openssh.data(), needed - 1), nullptr);

  char *text = rsa2_key_text(key.get());
  EXPECT_EQ(std::string(text), "0x10001,0x" + to_hex(key->modulus));
  EXPECT_LT(static_cast<int>(std::strlen(text)), rsa_key_text_size(key.get()));
  checked_free(text);
}

TEST(RsaHostileInput, MalformedPublicBlobsAreRefused)
{
  auto blob_with = [](const std::string &name, std::vector<unsigned char> e, std::vector<unsigned char> n) {
    WireBuffer blob;
    blob.put_string(name);
    blob.put_string(e.data(), static_cast<int>(e.size()));
    blob.put_string(n.data(), static_cast<int>(n.size()));
    return blob.bytes();
  };
  auto refused = [](const std::vector<unsigned char> &blob) {
    void *key = rsa2_key_from_public_blob(blob.data(), static_cast<int>(blob.size()));
    rsa2_free_key(key);
    return key == nullptr;
  };
  EXPECT_FALSE(refused(blob_with("ssh-rsa", {0x03}, {0x00, 0xC5, 0x11})));
  EXPECT_TRUE(refused(blob_with("ssh-rsa", {0x03}, {})));           // zero modulus
  EXPECT_TRUE(refused(blob_with("ssh-rsa", {}, {0x00, 0xC5, 0x11})));  // zero exponent
  EXPECT_TRUE(refused(blob_with("ssh-rsa", {0x03}, {0x85, 0x11})));   // negative modulus
  EXPECT_TRUE(refused(blob_with("ssh-rsa", {0x7F, 0x11}, {0x05})));   // exponent beyond the modulus
  EXPECT_TRUE(refused(blob_with("ssh-rsb", {0x03}, {0x00, 0xC5, 0x11})));
  std::vector<unsigned char> good = blob_with("ssh-rsa", {0x03}, {0x00, 0xC5, 0x11});
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_TRUE(refused(std::vector<unsigned char>(good.begin(), good.begin() + cut)));
  EXPECT_EQ(rsa2_public_bits(good.data(), 3), -1);

  // Sizes: a modulus of 16384 bits and an exponent of 64 bits are the largest taken.
  std::vector<unsigned char> largest(2049, 0xFF), wider(2049, 0xFF);
  largest[0] = 0;
  wider[0] = 1;
  std::vector<unsigned char> e64(9, 0xFF), e65(10, 0xFF);
  e64[0] = 0;
  e65[0] = 0;
  e65[1] = 1;
  EXPECT_FALSE(refused(blob_with("ssh-rsa", e64, largest)));
  EXPECT_TRUE(refused(blob_with("ssh-rsa", e65, largest)));
  EXPECT_TRUE(refused(blob_with("ssh-rsa", {0x03}, wider)));
  std::vector<unsigned char> too_wide = blob_with("ssh-rsa", {0x03}, wider);
  EXPECT_EQ(public_key_size_refusal(too_wide.data(), static_cast<int>(too_wide.size())),
            "RSA modulus of 16385 bits is larger than the 16384 bits accepted");
  std::vector<unsigned char> long_exponent = blob_with("ssh-rsa", e65, largest);
  EXPECT_EQ(public_key_size_refusal(long_exponent.data(), static_cast<int>(long_exponent.size())),
            "RSA exponent of 65 bits is larger than the 64 bits accepted");
}

TEST(RsaHostileInput, UnusableKeysDoNotCrash)
{
  RsaKey key{};
  key.modulus = bn_new(1);
  key.modulus[1] = 2;
  key.exponent = bn_copy(bn_one);
  key.private_exponent = bn_copy(bn_one);
  EXPECT_EQ(rsa_private_decrypt(bn_one, &key), nullptr);  // no blinding factor below 2
  key.modulus[1] = 4;  // every candidate 1 < r < 4 that is even has no inverse
  BigNumPtr result(rsa_private_decrypt(bn_one, &key));
  if (result) {
    EXPECT_EQ(to_hex(result.get()), "1");
  }
  EXPECT_EQ(rsa_key_check(&key), 0);
  int length = 0;
  unsigned char data[8] = {};
  EXPECT_EQ(rsa2_sign(&key, data, 8, &length), nullptr);  // modulus too small for the block
  rsa_key_clear(&key);
  EXPECT_EQ(key.modulus, nullptr);
}

TEST_F(RsaAgainstOpenssl, Ssh1EncryptionPadsAndDecryptsWithOpenssl)
{
  RsaKeyPtr key = key1024_->key();
  unsigned char buffer[128] = {};
  for (int i = 0; i < 32; ++i)
    buffer[i] = static_cast<unsigned char>(i + 1);
  EXPECT_EQ(rsa_public_encrypt_ssh1(buffer, 32, 127, key.get()), 0);  // the result needs 128 bytes
  EXPECT_EQ(buffer[0], 1);
  ASSERT_EQ(rsa_public_encrypt_ssh1(buffer, 32, sizeof buffer, key.get()), 1);

  // Our private operation shows the padded block.
  BigNumPtr encrypted(bn_from_bytes_be(buffer, 128));
  BigNumPtr block(rsa_private_decrypt(encrypted.get(), key.get()));
  std::vector<unsigned char> bytes(128, 0);
  for (int i = 0; i < 128; ++i)
    bytes[i] = static_cast<unsigned char>(bn_byte_at(block.get(), 127 - i));
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x02);
  for (int i = 2; i < 95; ++i)
    EXPECT_NE(bytes[i], 0) << i;
  EXPECT_EQ(bytes[95], 0x00);
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(bytes[96 + i], i + 1);

  write_file(path("ssh1.bin"), buffer, sizeof buffer);
  std::string plain = run_command("openssl pkeyutl -decrypt -inkey " + key1024_->path() +
                                  " -pkeyopt rsa_padding_mode:pkcs1 -in " + path("ssh1.bin") + " | od -An -tx1 | tr -d ' \\n'");
  EXPECT_EQ(plain, "0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20");

  RsaKey small{};
  small.modulus = bn_power_of_two(255);
  small.exponent = bn_copy(bn_one);
  small.bytes = 32;
  unsigned char data[32] = {1};
  EXPECT_EQ(rsa_public_encrypt_ssh1(data, 32, sizeof data, &small), 0);
  EXPECT_EQ(data[0], 1);
  rsa_key_clear(&small);
}

TEST_F(RsaAgainstOpenssl, Ssh1KeyFormsAndFingerprint)
{
  RsaKeyPtr key = key1024_->key();
  OwnedBlob blob;
  blob.bytes = rsa_ssh1_public_blob(key.get(), &blob.length);

  RsaKey read{};
  const unsigned char *modulus_start = nullptr;
  ASSERT_EQ(rsa_read_ssh1_key(blob.bytes, blob.length, &read, &modulus_start, 0), blob.length);
  EXPECT_EQ(bn_compare(read.modulus, key->modulus), 0);
  EXPECT_EQ(bn_compare(read.exponent, key->exponent), 0);
  EXPECT_EQ(read.bits, 1024);
  EXPECT_EQ(read.bytes, 128);
  EXPECT_EQ(modulus_start, blob.bytes + 4 + bn_ssh1_size(key->exponent));
  EXPECT_EQ(rsa_read_ssh1_key(blob.bytes, blob.length, nullptr, nullptr, 0), blob.length);
  EXPECT_EQ(rsa_read_ssh1_key(blob.bytes, blob.length - 1, nullptr, nullptr, 0), -1);
  EXPECT_EQ(rsa_read_ssh1_key(blob.bytes, 3, nullptr, nullptr, 0), -1);
  const unsigned char zero_modulus[] = {0, 0, 0, 8, 0, 2, 3, 0, 0};
  EXPECT_EQ(rsa_read_ssh1_key(zero_modulus, sizeof zero_modulus, nullptr, nullptr, 0), -1);

  // MD5 over the modulus bytes, then the exponent bytes.
  std::vector<unsigned char> hashed = to_bytes(key->modulus);
  std::vector<unsigned char> exponent = to_bytes(key->exponent);
  hashed.insert(hashed.end(), exponent.begin(), exponent.end());
  write_file(path("md5.bin"), hashed.data(), hashed.size());
  std::string md5 = run_command("openssl dgst -md5 -r " + path("md5.bin") + " | cut -c1-32");
  std::string expected = "1024 ";
  for (int i = 0; i < 32; i += 2)
    expected += (i ? ":" : "") + md5.substr(i, 2);
  read.comment = text_clone("imported-openssh-key");
  char text[200];
  rsa_fingerprint_text(text, sizeof text, &read);
  EXPECT_EQ(std::string(text), expected + " imported-openssh-key");
  char short_text[20];
  rsa_fingerprint_text(short_text, sizeof short_text, &read);
  EXPECT_EQ(std::string(short_text), expected.substr(0, 19));
  rsa_key_clear(&read);
}

}  // namespace

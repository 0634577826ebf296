#include "crypto/dsa.h"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/public_key_limits.h"
#include "crypto/sha1.h"
#include "crypto/wire_buffer.h"
#include "base/memory.h"
#include "tests/crypto/bignum_test_support.h"
#include "tests/support/scoped_env.h"

using namespace bignum_testing;

namespace {

using DsaKeyPtr = std::unique_ptr<DsaKey, FreedBy<dsa_free_key>>;

// DER SEQUENCE of two INTEGERs, as OpenSSL writes DSA signatures.
std::vector<unsigned char> der_signature(ConstBigNum r, ConstBigNum s)
{
  std::vector<unsigned char> body;
  for (ConstBigNum value : {r, s}) {
    std::vector<unsigned char> bytes = to_bytes(value);
    if (bytes.empty() || bytes[0] & 0x80)
      bytes.insert(bytes.begin(), 0);
    body.push_back(0x02);
    body.push_back(static_cast<unsigned char>(bytes.size()));
    body.insert(body.end(), bytes.begin(), bytes.end());
  }
  std::vector<unsigned char> out = {0x30, static_cast<unsigned char>(body.size())};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// r and s of a DER signature, as 20-byte big-endian numbers each.
std::vector<unsigned char> raw_signature(const std::vector<unsigned char> &der)
{
  std::vector<unsigned char> raw;
  std::size_t at = 2;
  for (int i = 0; i < 2; ++i) {
    std::size_t length = der.at(at + 1);
    std::vector<unsigned char> value(der.begin() + static_cast<long>(at + 2),
                                     der.begin() + static_cast<long>(at + 2 + length));
    while (value.size() > 20 && value[0] == 0)
      value.erase(value.begin());
    raw.insert(raw.end(), 20 - value.size(), 0);
    raw.insert(raw.end(), value.begin(), value.end());
    at += 2 + length;
  }
  return raw;
}

class DsaAgainstOpenssl : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    folder_ = new testing_support::TempFolder;
    std::string folder = folder_->path();
    run_command("openssl genpkey -genparam -algorithm DSA -pkeyopt dsa_paramgen_bits:1024 "
                "-pkeyopt dsa_paramgen_q_bits:160 -out " + folder + "/params.pem 2>/dev/null && "
                "openssl genpkey -paramfile " + folder + "/params.pem -out " + folder + "/dsa.pem && "
                "openssl pkey -in " + folder + "/dsa.pem -pubout -out " + folder + "/pub.pem");
    values_ = new std::map<std::string, std::string>(
        parse_openssl_text(run_command("openssl pkey -in " + folder + "/dsa.pem -text -noout")));
  }
  static void TearDownTestSuite()
  {
    delete values_;
    delete folder_;
  }

  static DsaKeyPtr key()
  {
    auto *key = static_cast<DsaKey *>(checked_alloc(1, sizeof(DsaKey)));
    std::memset(key, 0, sizeof *key);
    key->p = from_hex(values_->at("P")).release();
    key->q = from_hex(values_->at("Q")).release();
    key->g = from_hex(values_->at("G")).release();
    key->y = from_hex(values_->at("pub")).release();
    key->x = from_hex(values_->at("priv")).release();
    return DsaKeyPtr(key);
  }

  static std::string path(const std::string &name) { return *folder_ / name; }

  static testing_support::TempFolder *folder_;
  static std::map<std::string, std::string> *values_;
};

testing_support::TempFolder *DsaAgainstOpenssl::folder_;
std::map<std::string, std::string> *DsaAgainstOpenssl::values_;

const unsigned char message[] = "exchange hash to be signed";
constexpr int message_length = sizeof message - 1;

TEST_F(DsaAgainstOpenssl, OurSignaturesVerifyWithOpensslAndTheirsWithOurs)
{
  DsaKeyPtr dsa = key();
  write_file(path("data"), message, message_length);
  for (int round = 0; round < 3; ++round) {
    // Different data each round gives different k.
    unsigned char data[message_length + 1];
    std::memcpy(data, message, message_length);
    data[message_length] = static_cast<unsigned char>(round);
    write_file(path("data"), data, sizeof data);

    OwnedBlob ours;
    ours.bytes = dsa_sign(dsa.get(), data, sizeof data, &ours.length);
    ASSERT_EQ(ours.length, 55);
    BigNumPtr r(bn_from_bytes_be(ours.bytes + 15, 20)), s(bn_from_bytes_be(ours.bytes + 35, 20));
    std::vector<unsigned char> der = der_signature(r.get(), s.get());
    write_file(path("ours.sig"), der.data(), der.size());
    EXPECT_EQ(run_command("openssl dgst -sha1 -verify " + path("pub.pem") + " -signature " + path("ours.sig") + " " +
                          path("data")),
              "Verified OK\n");

    int status = -1;
    run_command("openssl dgst -sha1 -sign " + *folder_ / "dsa.pem" + " -out " + path("theirs.sig") + " " + path("data"),
                &status);
    ASSERT_EQ(status, 0);
    std::vector<unsigned char> raw = raw_signature(read_file(path("theirs.sig")));
    EXPECT_EQ(dsa_verify_signature(dsa.get(), raw.data(), 40, data, sizeof data), 1);
    WireBuffer wrapped;
    wrapped.put_string("ssh-dss");
    wrapped.put_string(raw.data(), 40);
    EXPECT_EQ(dsa_verify_signature(dsa.get(), wrapped.bytes().data(), wrapped.size(), data, sizeof data), 1);
    EXPECT_EQ(dsa_verify_signature(dsa.get(), wrapped.bytes().data(), wrapped.size(), data, sizeof data - 1), 0);
  }
}

TEST_F(DsaAgainstOpenssl, SigningIsDeterministicRawFormMatchesBlobAndNoCorruptedSignatureVerifies) {
  DsaKeyPtr dsa = key();
  OwnedBlob first, second;
  first.bytes = dsa_sign(dsa.get(), message, message_length, &first.length);
  second.bytes = dsa_sign(dsa.get(), message, message_length, &second.length);
  EXPECT_EQ(first.vector(), second.vector());
  EXPECT_EQ(dsa_verify_signature(dsa.get(), first.bytes, first.length, message, message_length), 1);
  EXPECT_EQ(dsa_verify_signature(dsa.get(), first.bytes + 15, 40, message, message_length), 1);
  // Every single-bit change of the name or of r and s is refused. The length before r and s is
  // skipped unread, as peers' blobs have always been taken: the values carry the signature.
  std::vector<unsigned char> good = first.vector();
  for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
    if (bit / 8 >= 11 && bit / 8 < 15) continue;
    std::vector<unsigned char> tampered = good;
    tampered[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    ASSERT_EQ(
        dsa_verify_signature(dsa.get(), tampered.data(), static_cast<int>(tampered.size()), message, message_length), 0)
        << "bit " << bit;
  }
  EXPECT_EQ(dsa_verify_signature(dsa.get(), first.bytes, 30, message, message_length), 0);
}

TEST_F(DsaAgainstOpenssl, OutOfRangeSignatureValuesAreRefused)
{
  DsaKeyPtr dsa = key();
  // r = 0 or s = 0 would make the inverse vanish; r or s = q must not pass either.
  std::vector<unsigned char> q = to_bytes(dsa->q);
  std::vector<unsigned char> zero(20, 0), one(20, 0);
  one[19] = 1;
  auto pair = [](const std::vector<unsigned char> &r, const std::vector<unsigned char> &s) {
    std::vector<unsigned char> out(r);
    out.insert(out.end(), s.begin(), s.end());
    return out;
  };
  for (const auto &signature : {pair(zero, one), pair(one, zero), pair(q, one), pair(one, q), pair(zero, zero)})
    EXPECT_EQ(dsa_verify_signature(dsa.get(), signature.data(), 40, message, message_length), 0);
}

TEST_F(DsaAgainstOpenssl, FingerprintEqualsSshKeygen)
{
  DsaKeyPtr dsa = key();
  OwnedBlob blob;
  blob.bytes = dsa_public_blob(dsa.get(), &blob.length);
  std::string keygen = ssh_keygen_fingerprint(folder_->path(), "ssh-dss", blob.bytes, blob.length);
  char *ours = dsa_fingerprint(dsa.get());
  std::string text(ours);
  checked_free(ours);
  ASSERT_EQ(text.rfind("ssh-dss 1024 ", 0), 0u) << text;
  EXPECT_EQ(keygen, "1024 MD5:" + text.substr(13) + " test (DSA)\n");
  EXPECT_EQ(dsa_public_bits(blob.bytes, blob.length), 1024);
  char *values = dsa_key_text(dsa.get());
  EXPECT_EQ(std::string(values),
            "0x" + to_hex(dsa->p) + ",0x" + to_hex(dsa->q) + ",0x" + to_hex(dsa->g) + ",0x" + to_hex(dsa->y));
  checked_free(values);
}

TEST_F(DsaAgainstOpenssl, PrivateBlobsAreChecked)
{
  DsaKeyPtr dsa = key();
  OwnedBlob public_blob, private_blob;
  public_blob.bytes = dsa_public_blob(dsa.get(), &public_blob.length);
  private_blob.bytes = dsa_private_blob(dsa.get(), &private_blob.length);
  DsaKeyPtr loaded(static_cast<DsaKey *>(
      dsa_key_from_blobs(public_blob.bytes, public_blob.length, private_blob.bytes, private_blob.length)));
  ASSERT_TRUE(loaded);

  // With the parameter hash behind x: the right one passes, a wrong one is refused.
  WireBuffer parameters;
  parameters.put_mpint(dsa->p);
  parameters.put_mpint(dsa->q);
  parameters.put_mpint(dsa->g);
  unsigned char digest[20];
  sha1_digest(parameters.bytes().data(), parameters.bytes().size(), digest);
  for (int wrong = 0; wrong < 2; ++wrong) {
    WireBuffer with_hash;
    with_hash.put_mpint(dsa->x);
    digest[0] ^= static_cast<unsigned char>(wrong);
    with_hash.put_string(digest, 20);
    void *key = dsa_key_from_blobs(public_blob.bytes, public_blob.length, with_hash.bytes().data(), with_hash.size());
    EXPECT_EQ(key != nullptr, wrong == 0);
    dsa_free_key_any(key);
  }

  WireBuffer wrong_x;
  BigNumPtr other(bn_add(dsa->x, bn_one));
  wrong_x.put_mpint(other.get());
  EXPECT_EQ(dsa_key_from_blobs(public_blob.bytes, public_blob.length, wrong_x.bytes().data(), wrong_x.size()), nullptr);

  int needed = dsa_openssh_private_blob(dsa.get(), nullptr, 0);
  std::vector<unsigned char> openssh(static_cast<std::size_t>(needed));
  EXPECT_EQ(dsa_openssh_private_blob(dsa.get(), openssh.data(), needed), needed);
  DsaKeyPtr from_openssh(static_cast<DsaKey *>(dsa_key_from_openssh_blob(openssh.data(), needed)));
  ASSERT_TRUE(from_openssh);
  EXPECT_EQ(bn_compare(from_openssh->x, dsa->x), 0);
}

TEST(DsaHostileInput, UnusableGroupsAreRefused)
{
  auto blob = [](std::vector<std::vector<unsigned char>> values) {
    WireBuffer out;
    out.put_string("ssh-dss");
    for (auto &value : values)
      out.put_string(value.data(), static_cast<int>(value.size()));
    return out.bytes();
  };
  auto accepted = [](const std::vector<unsigned char> &bytes) {
    void *key = dsa_key_from_public_blob(bytes.data(), static_cast<int>(bytes.size()));
    dsa_free_key_any(key);
    return key != nullptr;
  };
  // p = 23, q = 11, g = 4, y = 8.
  EXPECT_TRUE(accepted(blob({{23}, {11}, {4}, {8}})));
  EXPECT_FALSE(accepted(blob({{}, {11}, {4}, {8}})));    // p = 0
  EXPECT_FALSE(accepted(blob({{23}, {}, {4}, {8}})));    // q = 0
  EXPECT_FALSE(accepted(blob({{23}, {23}, {4}, {8}})));  // q = p
  EXPECT_FALSE(accepted(blob({{23}, {11}, {1}, {8}})));  // g = 1
  EXPECT_FALSE(accepted(blob({{23}, {11}, {4}, {}})));   // y = 0
  EXPECT_FALSE(accepted(blob({{23}, {11}, {4}, {23}})));  // y = p
  EXPECT_FALSE(accepted(blob({{0x97}, {11}, {4}, {8}})));  // negative p
  std::vector<unsigned char> wide_p(1025, 0xFF);  // 8193 bits
  wide_p[0] = 1;
  EXPECT_FALSE(accepted(blob({wide_p, {11}, {4}, {8}})));
  std::vector<unsigned char> wide = blob({wide_p, {11}, {4}, {8}});
  EXPECT_EQ(public_key_size_refusal(wide.data(), static_cast<int>(wide.size())),
            "DSA prime p of 8193 bits is larger than the 8192 bits accepted");
  std::vector<unsigned char> big_q(22, 0xFF);
  big_q[0] = 0;
  std::vector<unsigned char> bigger_p(23, 0xFF);
  bigger_p[0] = 0;
  EXPECT_FALSE(accepted(blob({bigger_p, big_q, {4}, {8}})));  // q too long for 20-byte r and s
  std::vector<unsigned char> good = blob({{23}, {11}, {4}, {8}});
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(accepted(std::vector<unsigned char>(good.begin(), good.begin() + cut)));
}

}  // namespace

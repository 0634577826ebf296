// SSH-1 key files built from an ssh-keygen RSA key, and recognition of every key-file type.
#include <gtest/gtest.h>

#include "crypto/key_file.h"
#include "tests/crypto/keyfile_test_support.h"

using namespace keyfile_test;

namespace {

constexpr size_t first_line = 32;

struct LoadedRsa {
  RsaKey key{};
  const char* message = "unset";
  int result = 99;
  ~LoadedRsa() { rsa_key_clear(&key); }
};

class Ssh1KeyFiles : public KeyFiles {
 protected:
  static void load(const std::string& file, const char* pass, LoadedRsa& out) {
    out.result = ssh1_key_file_load(file.c_str(), &out.key, pass, &out.message);
  }
  // Offset of the comment's length field after the first line.
  static size_t comment_field() {
    size_t modulus_bytes = expected("rsa.n").size();
    size_t exponent_bytes = expected("rsa.e").size();
    return first_line + 1 + 1 + 4 + 4 + 2 + modulus_bytes + 2 + exponent_bytes;
  }
};

TEST_F(Ssh1KeyFiles, LoadsPlainAndEncrypted) {
  std::string pass = passphrase();
  for (auto [file, secret] : {std::pair<const char*, const char*>{"ssh1_rsa_plain.key", nullptr},
                              {"ssh1_rsa_pass.key", pass.c_str()}}) {
    SCOPED_TRACE(file);
    LoadedRsa l;
    load(path(file), secret, l);
    ASSERT_EQ(l.result, 1) << l.message;
    EXPECT_EQ(l.message, nullptr);
    EXPECT_TRUE(same_number(l.key.modulus, "rsa.n"));
    EXPECT_TRUE(same_number(l.key.exponent, "rsa.e"));
    EXPECT_TRUE(same_number(l.key.private_exponent, "rsa.d"));
    EXPECT_TRUE(same_number(l.key.p, "rsa.p"));
    EXPECT_TRUE(same_number(l.key.q, "rsa.q"));
    EXPECT_TRUE(same_number(l.key.iqmp, "rsa.iqmp"));
    EXPECT_EQ(l.key.bits, 2048);
    EXPECT_STREQ(l.key.comment, "ssh1 rsa key");
  }
}

TEST_F(Ssh1KeyFiles, WrongPassphraseAndBrokenKeys) {
  for (const char* wrong : {"not it", "", static_cast<const char*>(nullptr)}) {
    LoadedRsa l;
    load(path("ssh1_rsa_pass.key"), wrong, l);
    EXPECT_EQ(l.result, -1);
    EXPECT_STREQ(l.message, "wrong passphrase");
    EXPECT_EQ(l.key.modulus, nullptr);  // nothing is left in the key
  }
  LoadedRsa bad;
  load(path("ssh1_rsa_bad_key.key"), nullptr, bad);
  EXPECT_EQ(bad.result, 0);
  EXPECT_STREQ(bad.message, "rsa_verify failed");
  EXPECT_EQ(bad.key.modulus, nullptr);

  LoadedRsa missing;
  load(path("no such file"), nullptr, missing);
  EXPECT_EQ(missing.result, 0);
  EXPECT_STREQ(missing.message, "can't open file");
  for (const char* other : {"v2_rsa_plain.key", "openssh_rsa"}) {
    LoadedRsa l;
    load(path(other), nullptr, l);
    EXPECT_STREQ(l.message, "not an SSH-1 RSA file") << other;
  }
}

TEST_F(Ssh1KeyFiles, StructuralFaults) {
  const std::string whole = read_file(path("ssh1_rsa_plain.key"));
  auto message_for = [&](const std::string& data) {
    LoadedRsa l;
    load(scratch(data), nullptr, l);
    EXPECT_NE(l.result, 1);
    return std::string(l.message ? l.message : "(none)");
  };
  std::string cipher = whole;
  cipher[first_line + 1] = 2;
  EXPECT_EQ(message_for(cipher), "file format error");
  std::string huge_comment = whole;
  size_t field = comment_field();
  for (int i = 0; i < 4; ++i) huge_comment[field + i] = '\xFF';
  EXPECT_EQ(message_for(huge_comment), "file format error");
  std::string too_long = whole + std::string(16384, 'x');
  EXPECT_EQ(message_for(too_long), "error reading file");
  // Every truncation fails without reading past the data (ASan watches).
  for (size_t cut = first_line + 1; cut < whole.size() - 8; cut += cut < 400 ? 1 : 3) {
    LoadedRsa l;
    load(scratch(whole.substr(0, cut)), nullptr, l);
    ASSERT_NE(l.result, 1) << cut;
    ASSERT_NE(l.message, nullptr) << cut;
  }
}

// The private part is decrypted in whole 8-byte blocks; at the very end of the largest file
// the last partial block must stay inside the buffer.
TEST_F(Ssh1KeyFiles, EncryptedPartEndingAtTheBufferLimit) {
  std::string file = read_file(path("ssh1_rsa_pass.key"));
  size_t field = comment_field();
  uint32_t comment_length = static_cast<unsigned char>(file[field + 3]);
  std::string tail = "\x01\x02\x03";  // a partial block after the padded private part
  size_t body = file.size() - first_line + tail.size();
  size_t extra = 16383 - body;
  comment_length += static_cast<uint32_t>(extra);
  std::string grown = file.substr(0, field) + std::string{char(comment_length >> 24), char(comment_length >> 16),
                                                          char(comment_length >> 8), char(comment_length)};
  grown += file.substr(field + 4, 12) + std::string(extra, '.') + file.substr(field + 4 + 12) + tail;
  ASSERT_EQ(grown.size() - first_line, 16383u);
  std::string pass = passphrase();
  LoadedRsa l;
  load(scratch(grown), pass.c_str(), l);
  EXPECT_EQ(l.result, 1) << (l.message ? l.message : "");
  EXPECT_EQ(std::string(l.key.comment).size(), comment_length);
}

TEST_F(Ssh1KeyFiles, PublicPartAndEncryptionTest) {
  for (const char* file : {"ssh1_rsa_plain.key", "ssh1_rsa_pass.key"}) {
    unsigned char* blob = nullptr;
    int length = 0;
    char* comment = nullptr;
    const char* message = "unset";
    ASSERT_EQ(ssh1_key_file_load_public(path(file).c_str(), &blob, &length, &comment, &message), 1);
    Bytes n = expected("rsa.n"), e = expected("rsa.e");
    Bytes want = {0, 0, 8, 0, 0, 17};  // modulus of 2048 bits; exponent 65537 of 17 bits
    want.insert(want.end(), e.begin(), e.end());
    want.insert(want.end(), {8, 0});
    want.insert(want.end(), n.begin(), n.end());
    EXPECT_EQ(take_blob(blob, length), want) << file;
    EXPECT_EQ(take_text(comment), "ssh1 rsa key");
    EXPECT_EQ(message, nullptr);
  }
  char* comment = nullptr;
  EXPECT_EQ(ssh1_key_file_is_encrypted(path("ssh1_rsa_pass.key").c_str(), &comment), 1);
  EXPECT_EQ(take_text(comment), "ssh1 rsa key");
  EXPECT_EQ(ssh1_key_file_is_encrypted(path("ssh1_rsa_plain.key").c_str(), nullptr), 0);
  EXPECT_EQ(ssh1_key_file_is_encrypted(path("v2_rsa_pass.key").c_str(), nullptr), 0);
}

TEST_F(KeyFiles, TypeDetection) {
  const std::pair<const char*, int> cases[] = {
      {"no such file", key_file_unopenable}, {"ssh1_rsa_pass.key", key_file_ssh1},
      {"v2_rsa_plain.key", key_file_ssh2},   {"v1_dsa_hash.key", key_file_ssh2},
      {"openssh_rsa", key_file_openssh},     {"openssh_dsa", key_file_openssh},
      {"pem_rsa", key_file_openssh},         {"commercial.key", key_file_commercial},
      {"openssh_rsa.pub", key_file_unknown}, {"manifest.txt", key_file_unknown},
  };
  for (auto [file, type] : cases) EXPECT_EQ(key_file_detect_type(path(file).c_str()), type) << file;
  EXPECT_EQ(key_file_detect_type(scratch("-----BEGIN short").c_str()), key_file_unknown);

  EXPECT_STREQ(key_file_type_text(0), "unable to open file");
  EXPECT_STREQ(key_file_type_text(1), "not a private key");
  EXPECT_STREQ(key_file_type_text(2), "SSH-1 private key");
  EXPECT_STREQ(key_file_type_text(3), "Mirsh SSH-2 private key");
  EXPECT_STREQ(key_file_type_text(4), "OpenSSH SSH-2 private key");
  EXPECT_STREQ(key_file_type_text(5), "Commercial SSH-2 private key");
  EXPECT_STREQ(key_file_type_text(6), "INTERNAL ERROR");
  EXPECT_STREQ(key_file_type_text(-1), "INTERNAL ERROR");
}

}  // namespace

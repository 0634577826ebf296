// SSH-2 text key files built from ssh-keygen keys: every variant loads to the same key, and
// every kind of damage gives its message.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/algorithms.h"
#include "crypto/key_file.h"
#include "tests/crypto/keyfile_test_support.h"

using namespace keyfile_test;

namespace {

struct Loaded {
  Ssh2KeyResult* result = nullptr;
  const char* message = "unset";
  ~Loaded() { ssh2_key_result_free(result); }
};

class Ssh2KeyFiles : public KeyFiles {
 protected:
  static void load(const std::string& file, const char* pass, Loaded& out) {
    out.result = ssh2_key_file_load(file.c_str(), pass, &out.message);
  }
  static std::string text(const std::string& name) { return read_file(path(name)); }
  static std::string replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  }
  std::string load_message(const std::string& data, const char* pass = nullptr) {
    Loaded l;
    load(scratch(data), pass, l);
    EXPECT_TRUE(l.result == nullptr || l.result == WrongPassphrase);
    return l.message ? l.message : "(none)";
  }
};

TEST_F(Ssh2KeyFiles, EveryVariantLoadsTheSameKey) {
  struct Case {
    const char* file;
    bool encrypted;
    const char* tag;
  };
  const Case cases[] = {
      {"v2_rsa_plain.key", false, "rsa"},      {"v2_rsa_pass.key", true, "rsa"},
      {"v2_dsa_plain.key", false, "dsa"},      {"v2_dsa_pass.key", true, "dsa"},
      {"v1_rsa_plain.key", false, "rsa"},      {"v1_rsa_pass.key", true, "rsa"},
      {"v1_dsa_hash.key", false, "dsa"},       {"v1_dsa_pass_hash.key", true, "dsa"},
      {"v1_rsa_hash.key", false, "rsa"},       {"v2_rsa_crlf.key", true, "rsa"},
      {"v2_rsa_lfcr.key", false, "rsa"},       {"v2_rsa_cr.key", false, "rsa"},
  };
  std::string pass = passphrase();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Loaded l;
    load(path(c.file), c.encrypted ? pass.c_str() : nullptr, l);
    ASSERT_NE(l.result, nullptr) << l.message;
    ASSERT_NE(l.result, WrongPassphrase);
    EXPECT_EQ(l.message, nullptr);
    const HostKeyAlgorithm* algorithm = std::string(c.tag) == "rsa" ? &ssh_rsa : &ssh_dss;
    EXPECT_EQ(l.result->algorithm, algorithm);
    EXPECT_STREQ(l.result->comment, (std::string(c.tag) + " key").c_str());
    int length = 0;
    unsigned char* blob = algorithm->public_blob(l.result->key, &length);
    EXPECT_EQ(take_blob(blob, length), expected(std::string(c.tag) + ".public_blob"));
    blob = algorithm->private_blob(l.result->key, &length);
    EXPECT_EQ(take_blob(blob, length), expected(std::string(c.tag) + ".private_blob"));
    const unsigned char data[] = "sign me";
    int signature_length = 0;
    unsigned char* signature = algorithm->sign(l.result->key, data, sizeof data, &signature_length);
    ASSERT_NE(signature, nullptr);
    EXPECT_EQ(algorithm->verify_signature(l.result->key, signature, signature_length, data, sizeof data), 1);
    checked_free(signature);
  }
}

TEST_F(Ssh2KeyFiles, OldFormatWarnsAndStillLoads) {
  testing::internal::CaptureStderr();
  Loaded l;
  load(path("v1_rsa_plain.key"), nullptr, l);
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_NE(l.result, nullptr);
  EXPECT_NE(printed.find("old version of the file format"), std::string::npos);

  testing::internal::CaptureStderr();
  Loaded current;
  load(path("v2_rsa_plain.key"), nullptr, current);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Ssh2KeyFiles, WrongPassphraseAndBadMac) {
  for (const char* file : {"v2_rsa_pass.key", "v2_dsa_pass.key", "v1_rsa_pass.key", "v1_dsa_pass_hash.key"}) {
    Loaded l;
    load(path(file), "not the pass phrase", l);
    EXPECT_EQ(l.result, WrongPassphrase) << file;
    EXPECT_STREQ(l.message, "wrong passphrase") << file;
  }
  Loaded bad_mac;
  load(path("v2_rsa_bad_mac.key"), nullptr, bad_mac);
  EXPECT_EQ(bad_mac.result, nullptr);
  EXPECT_STREQ(bad_mac.message, "MAC failed");

  std::string pass = passphrase();
  Loaded bad_encrypted_mac;
  load(path("v2_rsa_pass_bad_mac.key"), pass.c_str(), bad_encrypted_mac);
  EXPECT_EQ(bad_encrypted_mac.result, WrongPassphrase);
  EXPECT_STREQ(bad_encrypted_mac.message, "wrong passphrase");

  // A pass phrase given for an unencrypted file plays no part.
  Loaded plain;
  load(path("v2_rsa_plain.key"), "anything", plain);
  EXPECT_NE(plain.result, nullptr);
  EXPECT_NE(plain.result, WrongPassphrase);
}

TEST_F(Ssh2KeyFiles, InconsistentKeyIsRefusedAfterTheMac) {
  Loaded l;
  load(path("v2_rsa_bad_key.key"), nullptr, l);
  EXPECT_EQ(l.result, nullptr);
  EXPECT_STREQ(l.message, "createkey failed");
}

TEST_F(Ssh2KeyFiles, OpeningAndRecognitionFailures) {
  Loaded missing;
  load(path("no such file"), nullptr, missing);
  EXPECT_EQ(missing.result, nullptr);
  EXPECT_STREQ(missing.message, "can't open file");
  for (const char* other : {"openssh_rsa", "pem_rsa", "ssh1_rsa_plain.key", "commercial.key"}) {
    Loaded l;
    load(path(other), nullptr, l);
    EXPECT_EQ(l.result, nullptr) << other;
    EXPECT_STREQ(l.message, "not a Mirsh SSH-2 private key") << other;
  }
  EXPECT_EQ(load_message("Mirsh-User-Key-File-3: ssh-rsa\n"), "not a Mirsh SSH-2 private key");
  EXPECT_EQ(load_message(""), "not a Mirsh SSH-2 private key");
}

TEST_F(Ssh2KeyFiles, StructuralFaultsAreFormatErrors) {
  const std::string plain = text("v2_rsa_plain.key");
  const std::string encrypted = text("v2_rsa_pass.key");
  const std::string pass = passphrase();
  const std::string format_error = "file format error";

  EXPECT_EQ(load_message(text("v2_rsa_hash.key")), format_error);       // Private-Hash in version 2
  EXPECT_EQ(load_message(text("v2_rsa_long_line.key")), format_error);  // 68-character line
  EXPECT_EQ(load_message(encrypted), format_error);                     // encrypted, no pass phrase
  EXPECT_EQ(load_message(replaced(plain, "ssh-rsa\n", "ssh-ed25519\n")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "Encryption: none", "Encryption: aes128-cbc")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "Comment:", "Comments:")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "Comment: ", "Comment:")), format_error);  // no blank
  EXPECT_EQ(load_message(replaced(plain, "Comment:", std::string(40, 'C') + ":")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "Public-Lines: 6", "Public-Lines: 99999999999999999999")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "Public-Lines: 6", "Public-Lines: -6")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "Public-Lines: 6", "Public-Lines: 7")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "Private-MAC:", "Private-Mac:")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "AAAAB3NzaC1yc2E", "AAAAB3NzaC1yc2!")), format_error);
  EXPECT_EQ(load_message(replaced(plain, "AAAAB3NzaC1yc2E", "AAAAB3NzaC1yc2=")), format_error);
  // An encrypted private part that is not a whole number of AES blocks.
  size_t at = encrypted.find("Private-Lines: ");
  size_t line = encrypted.find('\n', at) + 1;
  std::string short_private = encrypted;
  short_private.insert(line, "AAAA");
  EXPECT_EQ(load_message(short_private, pass.c_str()), format_error);
}

TEST_F(Ssh2KeyFiles, EveryTruncationFailsCleanly) {
  const std::string whole = text("v2_dsa_pass.key");
  const std::string pass = passphrase();
  for (size_t cut = 0; cut + 1 < whole.size(); cut += cut < 160 ? 1 : 5) {  // every byte of the headers
    Loaded l;
    load(scratch(whole.substr(0, cut)), pass.c_str(), l);
    ASSERT_TRUE(l.result == nullptr || l.result == WrongPassphrase) << cut;
    ASSERT_NE(l.message, nullptr) << cut;
  }
}

TEST_F(Ssh2KeyFiles, PublicPartLoadsWithoutPassphraseOrMac) {
  for (const char* file : {"v2_rsa_pass.key", "v2_rsa_bad_mac.key", "v1_dsa_hash.key"}) {
    SCOPED_TRACE(file);
    char* algorithm = nullptr;
    char* comment = nullptr;
    const char* message = "unset";
    int length = 0;
    unsigned char* loaded = ssh2_key_file_load_public(path(file).c_str(), &algorithm, &length, &comment, &message);
    Bytes blob = take_blob(loaded, length);
    bool dsa = std::strstr(file, "dsa") != nullptr;
    EXPECT_EQ(blob, expected(dsa ? "dsa.public_blob" : "rsa.public_blob"));
    EXPECT_EQ(take_text(algorithm), dsa ? "ssh-dss" : "ssh-rsa");
    EXPECT_EQ(take_text(comment), dsa ? "dsa key" : "rsa key");
    EXPECT_EQ(message, nullptr);
  }
  const char* message = nullptr;
  int length = 0;
  EXPECT_EQ(ssh2_key_file_load_public(path("openssh_dsa").c_str(), nullptr, &length, nullptr, &message), nullptr);
  EXPECT_STREQ(message, "not a Mirsh SSH-2 private key");
}

TEST_F(Ssh2KeyFiles, EncryptionTest) {
  char* comment = nullptr;
  EXPECT_EQ(ssh2_key_file_is_encrypted(path("v2_dsa_pass.key").c_str(), &comment), 1);
  EXPECT_EQ(take_text(comment), "dsa key");
  comment = nullptr;
  EXPECT_EQ(ssh2_key_file_is_encrypted(path("v1_rsa_plain.key").c_str(), &comment), 0);
  EXPECT_EQ(take_text(comment), "rsa key");
  EXPECT_EQ(ssh2_key_file_is_encrypted(path("no such file").c_str(), nullptr), 0);
  EXPECT_EQ(ssh2_key_file_is_encrypted(path("openssh_rsa").c_str(), nullptr), 0);
  const std::string plain = text("v2_rsa_plain.key");
  EXPECT_EQ(ssh2_key_file_is_encrypted(scratch(replaced(plain, "Encryption:", "Encryption")).c_str(), nullptr), 0);
  // A readable "Encryption" line without a "Comment" header after it counts as encrypted.
  EXPECT_EQ(ssh2_key_file_is_encrypted(scratch(replaced(plain, "Comment:", "Remark:")).c_str(), nullptr), 1);
}

}  // namespace

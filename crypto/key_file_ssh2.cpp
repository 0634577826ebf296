// The SSH-2 text key format: headers naming the algorithm, encryption and comment, the public
// and private blobs in base64, and a check value over them.
#include <cstring>
#include <string>
#include <string_view>

#include "base/client_notices.h"
#include "base/memory.h"
#include "crypto/algorithms.h"
#include "crypto/key_file.h"
#include "crypto/key_file_ssh2_secrets.h"
#include "crypto/key_file_text.h"

namespace {

const char* const format_error = "file format error";
constexpr std::string_view version_2_header = "Mirsh-User-Key-File-2";
constexpr std::string_view version_1_header = "Mirsh-User-Key-File-1";
constexpr std::string_view aes_encryption = "aes256-cbc";
constexpr size_t aes_block = 16;

void set_message(const char** message, const char* text) {
  if (message) *message = text;
}

char* new_text(std::string_view text) {
  char* copy = checked_new_array<char>(text.size() + 1);
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

const HostKeyAlgorithm* algorithm_named(std::string_view name) {
  if (name == ssh_rsa.name) return &ssh_rsa;
  if (name == ssh_dss.name) return &ssh_dss;
  return nullptr;
}

// The parts of a key file up to and including the public blob.
struct PublicPart {
  KeyFileText text;
  bool version_1 = false;
  const HostKeyAlgorithm* algorithm = nullptr;
  std::string_view algorithm_name;
  std::string_view encryption;
  std::string_view comment;
  WipedBytes public_blob;
};

// Reads the first header alone; false when it names no version of this format.
bool read_version(PublicPart& k) {
  std::string_view name;
  if (!k.text.read_header(&name)) return false;
  if (name != version_2_header && name != version_1_header) return false;
  k.version_1 = name == version_1_header;
  return true;
}

// Reads the rest of the public part; the message on failure.
const char* read_public_part(PublicPart& k) {
  k.algorithm_name = k.text.read_value();
  k.algorithm = algorithm_named(k.algorithm_name);
  if (!k.algorithm || !k.text.expect_header("Encryption")) return format_error;
  k.encryption = k.text.read_value();
  if (k.encryption != aes_encryption && k.encryption != "none") return format_error;
  if (!k.text.expect_header("Comment")) return format_error;
  k.comment = k.text.read_value();
  int lines = 0;
  if (!k.text.expect_header("Public-Lines") || !k.text.read_count(static_cast<int>(k.text.bytes_left()), &lines) ||
      !k.text.read_base64_lines(lines, k.public_blob))
    return format_error;
  return nullptr;
}

const char* open_public_part(const char* file, PublicPart& k) {
  if (!k.text.open(file)) return "can't open file";
  if (!read_version(k)) return "not a Mirsh SSH-2 private key";
  return nullptr;
}

}  // namespace

void ssh2_key_result_free(Ssh2KeyResult* result) {
  if (!result || result == WrongPassphrase) return;
  if (result->key) result->algorithm->free_key(result->key);
  checked_free(result->comment);
  delete result;
}

Ssh2KeyResult* ssh2_key_file_load(const char* file, const char* passphrase, const char** message) {
  set_message(message, nullptr);
  PublicPart k;
  const char* error = open_public_part(file, k);
  if (!error && k.version_1) old_key_format_warning();
  if (!error) error = read_public_part(k);

  WipedBytes private_blob;
  std::string_view check_header;
  std::string_view stored_value;
  int lines = 0;
  if (!error) {
    if (!k.text.expect_header("Private-Lines") || !k.text.read_count(static_cast<int>(k.text.bytes_left()), &lines) ||
        !k.text.read_base64_lines(lines, private_blob) || !k.text.read_header(&check_header))
      error = format_error;
  }
  bool use_hmac = check_header == "Private-MAC";
  if (!error && !use_hmac && !(check_header == "Private-Hash" && k.version_1)) error = format_error;
  bool encrypted = k.encryption == aes_encryption;
  if (!error && encrypted && (!passphrase || private_blob.size() % aes_block != 0)) error = format_error;
  if (error) {
    set_message(message, error);
    return nullptr;
  }
  stored_value = k.text.read_value();

  std::string_view secret = encrypted ? std::string_view(passphrase) : std::string_view("");
  if (encrypted) key_file_decrypt_private_blob(secret, private_blob);
  std::string value = key_file_check_value(
      {k.version_1, k.algorithm_name, k.encryption, k.comment, &k.public_blob, &private_blob}, use_hmac, secret);
  if (value != stored_value) {
    set_message(message, encrypted ? "wrong passphrase" : "MAC failed");
    return encrypted ? WrongPassphrase : nullptr;
  }

  void* key = k.algorithm->key_from_blobs(k.public_blob.data(), k.public_blob.length(), private_blob.data(),
                                          private_blob.length());
  if (!key) {
    set_message(message, "createkey failed");
    return nullptr;
  }
  return new Ssh2KeyResult{k.algorithm, key, new_text(k.comment)};
}

unsigned char* ssh2_key_file_load_public(const char* file, char** algorithm, int* length, char** comment,
                                         const char** message) {
  set_message(message, nullptr);
  PublicPart k;
  const char* error = open_public_part(file, k);
  if (!error) error = read_public_part(k);
  if (error) {
    set_message(message, error);
    return nullptr;
  }
  if (algorithm) *algorithm = new_text(k.algorithm_name);
  if (comment) *comment = new_text(k.comment);
  *length = k.public_blob.length();
  unsigned char* blob = checked_new_array<unsigned char>(k.public_blob.size());
  if (k.public_blob.size() != 0) std::memcpy(blob, k.public_blob.data(), k.public_blob.size());
  return blob;
}

int ssh2_key_file_is_encrypted(const char* file, char** comment) {
  PublicPart k;
  if (open_public_part(file, k)) return 0;
  k.text.read_value();
  if (!k.text.expect_header("Encryption")) return 0;
  bool encrypted = k.text.read_value() == aes_encryption;
  if (!k.text.expect_header("Comment")) return 1;
  if (comment) *comment = new_text(k.text.read_value());
  return encrypted;
}

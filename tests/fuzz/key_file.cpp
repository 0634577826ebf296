// Private key files as a user's file holds them: the type detection, both loaders of the
// SSH-1 binary format and the SSH-2 text format (with and without a pass phrase), their
// public-part readers and the encryption checks. A loaded key must be one we can use.
#include "crypto/key_file.h"

#include "base/memory.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  const char* passphrase = (data[0] & 1) ? "correct horse battery" : nullptr;
  fuzz_support::InputFile file(data + 1, size - 1);
  const std::string path = file.path();
  key_file_type_text(key_file_detect_type(path.c_str()));
  const char* message = nullptr;

  char* comment = nullptr;
  ssh1_key_file_is_encrypted(path.c_str(), &comment);
  checked_free(comment);
  unsigned char* blob = nullptr;
  int length = 0;
  comment = nullptr;
  ssh1_key_file_load_public(path.c_str(), &blob, &length, &comment, &message);
  checked_free(blob);
  checked_free(comment);
  RsaKey key{};
  if (ssh1_key_file_load(path.c_str(), &key, passphrase, &message) == 1) {
    int blob_length = 0;
    checked_free(rsa_ssh1_public_blob(&key, &blob_length));
  }
  rsa_key_clear(&key);

  comment = nullptr;
  ssh2_key_file_is_encrypted(path.c_str(), &comment);
  checked_free(comment);
  char* algorithm = nullptr;
  comment = nullptr;
  checked_free(ssh2_key_file_load_public(path.c_str(), &algorithm, &length, &comment, &message));
  checked_free(algorithm);
  checked_free(comment);
  Ssh2KeyResult* result = ssh2_key_file_load(path.c_str(), passphrase, &message);
  if (result != nullptr && result != WrongPassphrase) {
    // A loaded key gives its public blob and signs.
    int blob_length = 0;
    checked_free(result->algorithm->public_blob(result->key, &blob_length));
    int signature_length = 0;
    checked_free(result->algorithm->sign(result->key, data, static_cast<int>(size), &signature_length));
  }
  ssh2_key_result_free(result);
  return 0;
}

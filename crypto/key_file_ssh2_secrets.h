#pragma once
// The secrets of the SSH-2 text key format: the AES-256 key derived from the pass phrase, and
// the check value (HMAC-SHA1 or, in old files, SHA-1) over the key's contents.
#include <string_view>

#include "crypto/key_file_wiped_bytes.h"

// Decrypts the private blob in place (AES-256-CBC from a zero IV); its length is a multiple
// of 16.
void key_file_decrypt_private_blob(std::string_view passphrase, WipedBytes& private_blob);

struct KeyFileMacInput {
  bool version_1;
  std::string_view algorithm;
  std::string_view encryption;
  std::string_view comment;
  const WipedBytes* public_blob;
  const WipedBytes* private_blob;  // decrypted
};

// The check value as 40 lower-case hex digits. With `use_hmac` the HMAC-SHA1 under a key from
// the pass phrase (`passphrase` is empty for unencrypted files), else the plain SHA-1.
std::string key_file_check_value(const KeyFileMacInput& input, bool use_hmac, std::string_view passphrase);

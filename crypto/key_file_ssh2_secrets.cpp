#include "crypto/key_file_ssh2_secrets.h"

#include <string>

#include "crypto/aes.h"
#include "crypto/byte_order.h"
#include "crypto/hmac.h"
#include "crypto/secure_clear.h"
#include "crypto/sha1.h"
#include "crypto/wire_buffer.h"

namespace {

constexpr std::string_view mac_key_prefix = "mirsh-private-key-file-mac-key";

}  // namespace

void key_file_decrypt_private_blob(std::string_view passphrase, WipedBytes& private_blob) {
  unsigned char key[2 * SHA1_DIGEST_LENGTH];
  for (uint32_t i = 0; i < 2; ++i) {
    Sha1State state;
    unsigned char counter[4];
    store_be32(counter, i);
    sha1_begin(&state);
    sha1_feed(&state, counter, 4);
    sha1_feed(&state, passphrase.data(), passphrase.size());
    sha1_finish(&state, key + i * SHA1_DIGEST_LENGTH);
  }
  aes256_decrypt_key_file(key, private_blob.data(), private_blob.size());
  secure_clear(key, sizeof key);
}

std::string key_file_check_value(const KeyFileMacInput& input, bool use_hmac, std::string_view passphrase) {
  WireBuffer joined;
  if (input.version_1) {
    joined.put_raw(input.private_blob->data(), input.private_blob->size());
  } else {
    joined.put_string(input.algorithm);
    joined.put_string(input.encryption);
    joined.put_string(input.comment);
    joined.put_string(input.public_blob->data(), input.public_blob->size());
    joined.put_string(input.private_blob->data(), input.private_blob->size());
  }
  const WireBuffer* data = &joined;

  unsigned char value[SHA1_DIGEST_LENGTH];
  if (use_hmac) {
    unsigned char mac_key[SHA1_DIGEST_LENGTH];
    Sha1State state;
    sha1_begin(&state);
    sha1_feed(&state, mac_key_prefix.data(), mac_key_prefix.size());
    sha1_feed(&state, passphrase.data(), passphrase.size());
    sha1_finish(&state, mac_key);
    hmac_sha1_digest(mac_key, sizeof mac_key, data->data(), data->size(), value);
    secure_clear(mac_key, sizeof mac_key);
  } else {
    sha1_digest(data->data(), data->size(), value);
  }

  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : value) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  secure_clear(value, sizeof value);
  return text;
}

#include "crypto/host_key_text.h"

#include <cstdio>
#include <cstring>

#include "base/memory.h"
#include "crypto/md5.h"

namespace {

char* owned_copy(const std::string& text) {
  auto* copy = static_cast<char*>(checked_alloc(text.size() + 1, 1));
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

char* host_key_fingerprint(const char* name, int bits, const std::vector<unsigned char>& public_blob) {
  unsigned char digest[MD5_DIGEST_LENGTH];
  md5_digest(public_blob.data(), public_blob.size(), digest);
  std::string text = std::string(name) + " " + std::to_string(bits) + " ";
  char pair[4];
  for (std::size_t i = 0; i < MD5_DIGEST_LENGTH; ++i) {
    std::snprintf(pair, sizeof pair, "%s%02x", i ? ":" : "", digest[i]);
    text += pair;
  }
  return owned_copy(text);
}

std::string bn_hex_text(ConstBigNum value) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (int nibble = (bn_bit_count(value) + 3) / 4 - 1; nibble >= 0; --nibble)
    text += digits[(bn_byte_at(value, nibble / 2) >> (4 * (nibble % 2))) & 0xF];
  return text.empty() ? "0" : text;
}

char* host_key_values_text(std::initializer_list<ConstBigNum> values) {
  std::string text;
  for (ConstBigNum value : values) text += (text.empty() ? "0x" : ",0x") + bn_hex_text(value);
  return owned_copy(text);
}

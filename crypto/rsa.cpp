// RSA keys: the SSH-1 encodings, encryption with PKCS #1 type 2 padding, texts, the
// consistency check, release.
#include "crypto/rsa.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/memory.h"
#include "crypto/host_key_text.h"
#include "crypto/md5.h"
#include "crypto/random_pool.h"
#include "crypto/secure_clear.h"

namespace {

void release(BigNum* value) {
  bn_release(*value);
  *value = nullptr;
}

void append_value_bytes(std::vector<unsigned char>& out, ConstBigNum value) {
  int length = (bn_bit_count(value) + 7) / 8;
  for (int i = length - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(bn_byte_at(value, i)));
}

}  // namespace

int rsa_read_ssh1_key(const unsigned char* buffer, int length, RsaKey* key, const unsigned char** modulus_start,
                      int order) {
  if (length < 4) return -1;
  const unsigned char* cursor = buffer + 4;
  int left = length - 4;
  BigNum exponent = nullptr, modulus = nullptr;
  bool ok = true;
  auto read = [&](BigNum* out) {
    int used = ok ? bn_read_ssh1(cursor, left, out) : -1;
    if (used < 0) {
      ok = false;
      return;
    }
    cursor += used;
    left -= used;
  };
  if (order == 0) read(&exponent);
  if (modulus_start) *modulus_start = cursor;
  read(&modulus);
  if (order == 1) read(&exponent);

  if (ok && (bn_is_zero(modulus) || (exponent && bn_is_zero(exponent)))) ok = false;
  if (!ok || !key) {
    bn_release(exponent);
    bn_release(modulus);
    return ok ? static_cast<int>(cursor - buffer) : -1;
  }
  key->bits = static_cast<int>((uint32_t{buffer[0]} << 24) | (uint32_t{buffer[1]} << 16) | (uint32_t{buffer[2]} << 8) |
                               buffer[3]);
  key->bytes = (bn_bit_count(modulus) + 7) / 8;
  key->modulus = modulus;
  if (exponent) key->exponent = exponent;
  return static_cast<int>(cursor - buffer);
}

int rsa_read_ssh1_private_exponent(const unsigned char* buffer, int length, RsaKey* key) {
  return bn_read_ssh1(buffer, length, &key->private_exponent);
}

int rsa_public_encrypt_ssh1(unsigned char* buffer, int length, int capacity, const RsaKey* key) {
  if (!key->modulus || !key->exponent || length < 0 || key->bytes < length + 4 || capacity < key->bytes ||
      key->bytes != (bn_bit_count(key->modulus) + 7) / 8)
    return 0;
  int bytes = key->bytes;
  std::memmove(buffer + bytes - length, buffer, static_cast<std::size_t>(length));
  buffer[0] = 0x00;
  buffer[1] = 0x02;
  for (int i = 2; i < bytes - length - 1; ++i) {
    unsigned char pad;
    do pad = random_next_byte();
    while (pad == 0);
    buffer[i] = pad;
  }
  buffer[bytes - length - 1] = 0x00;

  BigNumPtr block(bn_from_bytes_be(buffer, bytes));
  BigNumPtr encrypted(bn_mod_pow(block.get(), key->exponent, key->modulus));
  for (int i = 0; i < bytes; ++i) buffer[i] = static_cast<unsigned char>(bn_byte_at(encrypted.get(), bytes - 1 - i));
  return 1;
}

unsigned char* rsa_ssh1_public_blob(const RsaKey* key, int* length) {
  int bits = bn_bit_count(key->modulus);
  int size = 4 + bn_ssh1_size(key->exponent) + bn_ssh1_size(key->modulus);
  auto* blob = static_cast<unsigned char*>(checked_alloc(static_cast<std::size_t>(size), 1));
  blob[0] = static_cast<unsigned char>(bits >> 24);
  blob[1] = static_cast<unsigned char>(bits >> 16);
  blob[2] = static_cast<unsigned char>(bits >> 8);
  blob[3] = static_cast<unsigned char>(bits);
  int used = 4 + bn_write_ssh1(blob + 4, key->exponent);
  bn_write_ssh1(blob + used, key->modulus);
  *length = size;
  return blob;
}

int rsa_key_text_size(const RsaKey* key) {
  return ((bn_bit_count(key->modulus) + 15) / 16 + (bn_bit_count(key->exponent) + 15) / 16) * 4 + 20;
}

void rsa_key_text(char* buffer, const RsaKey* key) {
  std::string text = "0x" + bn_hex_text(key->exponent) + ",0x" + bn_hex_text(key->modulus);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

void rsa_fingerprint_text(char* buffer, int size, const RsaKey* key) {
  if (size <= 0) return;
  std::vector<unsigned char> hashed;
  append_value_bytes(hashed, key->modulus);
  append_value_bytes(hashed, key->exponent);
  unsigned char digest[MD5_DIGEST_LENGTH];
  md5_digest(hashed.data(), hashed.size(), digest);

  std::string text = std::to_string(bn_bit_count(key->modulus)) + " ";
  char pair[4];
  for (std::size_t i = 0; i < MD5_DIGEST_LENGTH; ++i) {
    std::snprintf(pair, sizeof pair, "%s%02x", i ? ":" : "", digest[i]);
    text += pair;
  }
  if (key->comment && static_cast<int>(text.size()) + 1 < size - 1) text += std::string(" ") + key->comment;
  std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text.c_str());
}

int rsa_key_check(const RsaKey* key) {
  if (!key->modulus || !key->exponent || !key->private_exponent || !key->p || !key->q || !key->iqmp) return 0;
  if (bn_compare(key->q, bn_one) <= 0 || bn_compare(key->p, key->q) <= 0) return 0;
  BigNumPtr product(bn_mul(key->p, key->q));
  if (bn_compare(product.get(), key->modulus) != 0) return 0;
  BigNumPtr ed(bn_mul(key->exponent, key->private_exponent));
  for (ConstBigNum prime : {key->p, key->q}) {
    BigNumPtr order(bn_copy(prime));
    bn_decrement(order.get());
    BigNumPtr residue(bn_mod(ed.get(), order.get()));
    if (!residue || bn_compare(residue.get(), bn_one) != 0) return 0;
  }
  BigNumPtr inverse_check(bn_mod_mul(key->iqmp, key->q, key->p));
  return inverse_check && bn_compare(inverse_check.get(), bn_one) == 0 ? 1 : 0;
}

void rsa_key_clear(RsaKey* key) {
  release(&key->modulus);
  release(&key->exponent);
  release(&key->private_exponent);
  release(&key->p);
  release(&key->q);
  release(&key->iqmp);
  if (key->comment) {
    secure_clear(key->comment, std::strlen(key->comment));
    checked_free(key->comment);
    key->comment = nullptr;
  }
  key->bits = 0;
  key->bytes = 0;
}

void rsa_free_key(RsaKey* key) {
  if (!key) return;
  rsa_key_clear(key);
  checked_free(key);
}

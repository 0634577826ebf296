// The "ssh-rsa" public-key algorithm: blobs, fingerprint, PKCS #1 v1.5 signatures over SHA-1.
#include <cstring>
#include <string>

#include "base/memory.h"
#include "crypto/host_key_text.h"
#include "crypto/public_key_limits.h"
#include "crypto/rsa.h"
#include "crypto/sha1.h"
#include "crypto/wire_buffer.h"

namespace {

constexpr char rsa_name[] = "ssh-rsa";

// The separator byte and the DER prefix of a SHA-1 DigestInfo.
constexpr unsigned char sha1_digest_info[16] = {0x00, 0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B,
                                                0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};

RsaKey* new_key() {
  auto* key = static_cast<RsaKey*>(checked_alloc(1, sizeof(RsaKey)));
  std::memset(key, 0, sizeof *key);
  return key;
}

// Reads the public blob into a new key; null when malformed or when n or e is out of range.
RsaKey* read_public(WireBuffer& reader) {
  if (!reader.get_string_equal(rsa_name)) return nullptr;
  RsaKey* key = new_key();
  key->exponent = reader.get_mpint();
  key->modulus = reader.get_mpint();
  if (!key->exponent || !key->modulus || bn_is_zero(key->modulus) || bn_is_zero(key->exponent) ||
      bn_compare(key->exponent, key->modulus) >= 0) {
    rsa_free_key(key);
    return nullptr;
  }
  key->bits = bn_bit_count(key->modulus);
  key->bytes = (key->bits + 7) / 8;
  return key;
}

void build_public_blob(const RsaKey* key, WireBuffer& blob) {
  blob.put_string(rsa_name);
  blob.put_mpint(key->exponent);
  blob.put_mpint(key->modulus);
}

bool has_private_parts(const RsaKey* key) { return key->private_exponent && key->p && key->q && key->iqmp; }

}  // namespace

void* rsa2_key_from_public_blob(const unsigned char* blob, int length) {
  if (!public_key_size_refusal(blob, length).empty()) return nullptr;
  WireBuffer reader(blob, length);
  return read_public(reader);
}

void rsa2_free_key(void* key) { rsa_free_key(static_cast<RsaKey*>(key)); }

char* rsa2_key_text(void* key) {
  auto* rsa = static_cast<RsaKey*>(key);
  int size = rsa_key_text_size(rsa);
  auto* text = static_cast<char*>(checked_alloc(static_cast<std::size_t>(size), 1));
  rsa_key_text(text, rsa);
  return text;
}

unsigned char* rsa2_public_blob(void* key, int* length) {
  WireBuffer blob;
  build_public_blob(static_cast<RsaKey*>(key), blob);
  return blob.release_copy(length);
}

unsigned char* rsa2_private_blob(void* key, int* length) {
  auto* rsa = static_cast<RsaKey*>(key);
  if (!has_private_parts(rsa)) return nullptr;
  WireBuffer blob;
  blob.put_mpint(rsa->private_exponent);
  blob.put_mpint(rsa->p);
  blob.put_mpint(rsa->q);
  blob.put_mpint(rsa->iqmp);
  return blob.release_copy(length);
}

void* rsa2_key_from_blobs(const unsigned char* public_blob, int public_length, const unsigned char* private_blob,
                          int private_length) {
  if (!public_key_size_refusal(public_blob, public_length).empty()) return nullptr;
  WireBuffer public_reader(public_blob, public_length);
  RsaKey* key = read_public(public_reader);
  if (!key) return nullptr;
  WireBuffer reader(private_blob, private_length);
  key->private_exponent = reader.get_mpint();
  key->p = reader.get_mpint();
  key->q = reader.get_mpint();
  key->iqmp = reader.get_mpint();
  if (!has_private_parts(key) || !rsa_key_check(key)) {
    rsa_free_key(key);
    return nullptr;
  }
  return key;
}

void* rsa2_key_from_openssh_blob(const unsigned char* blob, int length) {
  WireBuffer reader(blob, length);
  RsaKey* key = new_key();
  key->modulus = reader.get_mpint();
  key->exponent = reader.get_mpint();
  key->private_exponent = reader.get_mpint();
  key->iqmp = reader.get_mpint();
  key->p = reader.get_mpint();
  key->q = reader.get_mpint();
  if (!key->modulus || !key->exponent || !has_private_parts(key) || bn_is_zero(key->modulus) ||
      bn_is_zero(key->exponent) || bn_is_zero(key->private_exponent)) {
    rsa_free_key(key);
    return nullptr;
  }
  key->bits = bn_bit_count(key->modulus);
  key->bytes = (key->bits + 7) / 8;
  return key;
}

int rsa2_openssh_private_blob(void* key, unsigned char* buffer, int size) {
  auto* rsa = static_cast<RsaKey*>(key);
  if (!has_private_parts(rsa)) return 0;
  WireBuffer blob;
  for (ConstBigNum value : {rsa->modulus, rsa->exponent, rsa->private_exponent, rsa->iqmp, rsa->p, rsa->q})
    blob.put_mpint(value);
  if (size >= 0 && static_cast<size_t>(size) >= blob.size())
    std::memcpy(buffer, blob.bytes().data(), blob.bytes().size());
  return static_cast<int>(blob.size());
}

int rsa2_public_bits(const unsigned char* blob, int length) {
  RsaKey* key = static_cast<RsaKey*>(rsa2_key_from_public_blob(blob, length));
  if (!key) return -1;
  int bits = bn_bit_count(key->modulus);
  rsa_free_key(key);
  return bits;
}

char* rsa2_fingerprint(void* key) {
  WireBuffer blob;
  build_public_blob(static_cast<RsaKey*>(key), blob);
  return host_key_fingerprint(rsa_name, bn_bit_count(static_cast<RsaKey*>(key)->modulus), blob.bytes());
}

int rsa2_verify_signature(void* key, const unsigned char* signature, int signature_length, const unsigned char* data,
                          int data_length) {
  auto* rsa = static_cast<RsaKey*>(key);
  WireBuffer reader(signature, signature_length);
  if (!reader.get_string_equal(rsa_name)) return 0;
  std::string_view value = reader.get_string();
  if (reader.failed()) return 0;
  BigNumPtr s(bn_from_bytes_be(wire_bytes(value), static_cast<int>(value.size())));
  if (bn_compare(s.get(), rsa->modulus) >= 0) return 0;
  BigNumPtr m(bn_mod_pow(s.get(), rsa->exponent, rsa->modulus));
  if (!m) return 0;

  unsigned char hash[SHA1_DIGEST_LENGTH];
  sha1_digest(data, static_cast<std::size_t>(data_length), hash);
  int k = (bn_bit_count(rsa->modulus) + 7) / 8;
  bool valid = bn_byte_at(m.get(), k - 1) == 0 && bn_byte_at(m.get(), k - 2) == 1;
  for (int i = k - 3; i >= 36; --i) valid = valid && bn_byte_at(m.get(), i) == 0xFF;
  for (int i = 0; i < 16; ++i) valid = valid && bn_byte_at(m.get(), 35 - i) == sha1_digest_info[i];
  for (int i = 0; i < 20; ++i) valid = valid && bn_byte_at(m.get(), 19 - i) == hash[i];
  return valid ? 1 : 0;
}

unsigned char* rsa2_sign(void* key, const unsigned char* data, int data_length, int* signature_length) {
  auto* rsa = static_cast<RsaKey*>(key);
  int block_length = (bn_bit_count(rsa->modulus) - 1) / 8;
  constexpr int fixed_length = 1 + sizeof sha1_digest_info + SHA1_DIGEST_LENGTH;
  if (!rsa->private_exponent || block_length < fixed_length) return nullptr;

  std::basic_string<unsigned char> block(static_cast<std::size_t>(block_length), 0xFF);
  block[0] = 0x01;
  std::memcpy(&block[block_length - 36], sha1_digest_info, sizeof sha1_digest_info);
  sha1_digest(data, static_cast<std::size_t>(data_length), &block[block_length - 20]);
  BigNumPtr m(bn_from_bytes_be(block.data(), block_length));
  BigNumPtr s(rsa_private_decrypt(m.get(), rsa));
  if (!s) return nullptr;

  int length = (bn_bit_count(s.get()) + 7) / 8;
  std::basic_string<unsigned char> bytes(static_cast<std::size_t>(length), 0);
  for (int i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(bn_byte_at(s.get(), length - 1 - i));
  WireBuffer blob;
  blob.put_string(rsa_name);
  blob.put_string(bytes.data(), length);
  return blob.release_copy(signature_length);
}

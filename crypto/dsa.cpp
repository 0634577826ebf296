// The "ssh-dss" public-key algorithm.
#include "crypto/dsa.h"

#include <cstring>

#include "base/memory.h"
#include "crypto/host_key_text.h"
#include "crypto/public_key_limits.h"
#include "crypto/secure_clear.h"
#include "crypto/sha1.h"
#include "crypto/sha512.h"
#include "crypto/wire_buffer.h"

namespace {

constexpr char dsa_name[] = "ssh-dss";
constexpr char k_label[] = "DSA deterministic k generator";  // hashed with its terminating zero
constexpr int dsa_value_length = 20;                         // r and s, as SHA-1 fixes q at 160 bits

DsaKey* new_key() {
  auto* key = static_cast<DsaKey*>(checked_alloc(1, sizeof(DsaKey)));
  std::memset(key, 0, sizeof *key);
  return key;
}

bool in_open_range(ConstBigNum value, ConstBigNum low, ConstBigNum high) {
  return bn_compare(value, low) > 0 && bn_compare(value, high) < 0;
}

// The public values must describe a usable group, whatever a server sends: 1 < q < p with q
// small enough for 20-byte r and s, 1 < g < p and 0 < y < p.
bool public_values_usable(const DsaKey* key) {
  if (!key->p || !key->q || !key->g || !key->y) return false;
  return in_open_range(key->q, bn_one, key->p) && bn_bit_count(key->q) <= 8 * dsa_value_length &&
         in_open_range(key->g, bn_one, key->p) && in_open_range(key->y, bn_zero, key->p);
}

bool private_value_usable(const DsaKey* key) { return key->x && in_open_range(key->x, bn_zero, key->q); }

void read_values(WireBuffer& reader, DsaKey* key) {
  key->p = reader.get_mpint();
  key->q = reader.get_mpint();
  key->g = reader.get_mpint();
  key->y = reader.get_mpint();
}

DsaKey* read_public(WireBuffer& reader) {
  if (!reader.get_string_equal(dsa_name)) return nullptr;
  DsaKey* key = new_key();
  read_values(reader, key);
  if (!public_values_usable(key)) {
    dsa_free_key(key);
    return nullptr;
  }
  return key;
}

void build_public_blob(const DsaKey* key, WireBuffer& blob) {
  blob.put_string(dsa_name);
  for (ConstBigNum value : {key->p, key->q, key->g, key->y}) blob.put_mpint(value);
}

void write_fixed(ConstBigNum value, unsigned char* out) {
  for (int i = 0; i < dsa_value_length; ++i)
    out[i] = static_cast<unsigned char>(bn_byte_at(value, dsa_value_length - 1 - i));
}

// k = SHA-512(SHA-512(label, x as mpint), h) mod q.
BigNum deterministic_k(const DsaKey* key, const unsigned char hash[SHA1_DIGEST_LENGTH]) {
  unsigned char first[SHA512_DIGEST_LENGTH], second[SHA512_DIGEST_LENGTH];
  Sha512State state;
  sha512_begin(&state);
  sha512_feed(&state, k_label, sizeof k_label);
  {
    WireBuffer x_mpint;
    x_mpint.put_mpint(key->x);
    sha512_feed(&state, x_mpint.bytes().data(), x_mpint.bytes().size());
  }
  sha512_finish(&state, first);
  sha512_begin(&state);
  sha512_feed(&state, first, sizeof first);
  sha512_feed(&state, hash, SHA1_DIGEST_LENGTH);
  sha512_finish(&state, second);
  secure_clear_object(state);
  BigNumPtr wide(bn_from_bytes_be(second, sizeof second));
  secure_clear(first, sizeof first);
  secure_clear(second, sizeof second);
  return bn_mod(wide.get(), key->q);
}

}  // namespace

void dsa_free_key(DsaKey* key) {
  if (!key) return;
  for (BigNum value : {key->p, key->q, key->g, key->y, key->x}) bn_release(value);
  checked_free(key);
}

void* dsa_key_from_public_blob(const unsigned char* blob, int length) {
  if (!public_key_size_refusal(blob, length).empty()) return nullptr;
  WireBuffer reader(blob, length);
  return read_public(reader);
}

void dsa_free_key_any(void* key) { dsa_free_key(static_cast<DsaKey*>(key)); }

char* dsa_key_text(void* key) {
  auto* dsa = static_cast<DsaKey*>(key);
  return host_key_values_text({dsa->p, dsa->q, dsa->g, dsa->y});
}

unsigned char* dsa_public_blob(void* key, int* length) {
  WireBuffer blob;
  build_public_blob(static_cast<DsaKey*>(key), blob);
  return blob.release_copy(length);
}

unsigned char* dsa_private_blob(void* key, int* length) {
  auto* dsa = static_cast<DsaKey*>(key);
  if (!dsa->x) return nullptr;
  WireBuffer blob;
  blob.put_mpint(dsa->x);
  return blob.release_copy(length);
}

void* dsa_key_from_blobs(const unsigned char* public_blob, int public_length, const unsigned char* private_blob,
                         int private_length) {
  if (!public_key_size_refusal(public_blob, public_length).empty()) return nullptr;
  WireBuffer public_reader(public_blob, public_length);
  DsaKey* key = read_public(public_reader);
  if (!key) return nullptr;
  WireBuffer reader(private_blob, private_length);
  key->x = reader.get_mpint();
  bool usable = private_value_usable(key);

  // An optional 20-byte string holds SHA-1 of p, q and g as mpints.
  std::string_view check = reader.get_string();
  if (usable && !reader.failed() && check.size() == SHA1_DIGEST_LENGTH) {
    WireBuffer parameters;
    parameters.put_mpint(key->p);
    parameters.put_mpint(key->q);
    parameters.put_mpint(key->g);
    unsigned char digest[SHA1_DIGEST_LENGTH];
    sha1_digest(parameters.bytes().data(), parameters.bytes().size(), digest);
    usable = std::memcmp(digest, check.data(), SHA1_DIGEST_LENGTH) == 0;
  }
  if (usable) {
    BigNumPtr y(bn_mod_pow(key->g, key->x, key->p));
    usable = bn_compare(y.get(), key->y) == 0;
  }
  if (!usable) {
    dsa_free_key(key);
    return nullptr;
  }
  return key;
}

void* dsa_key_from_openssh_blob(const unsigned char* blob, int length) {
  WireBuffer reader(blob, length);
  DsaKey* key = new_key();
  read_values(reader, key);
  key->x = reader.get_mpint();
  if (!public_values_usable(key) || !private_value_usable(key)) {
    dsa_free_key(key);
    return nullptr;
  }
  return key;
}

int dsa_openssh_private_blob(void* key, unsigned char* buffer, int size) {
  auto* dsa = static_cast<DsaKey*>(key);
  if (!dsa->x) return 0;
  WireBuffer blob;
  for (ConstBigNum value : {dsa->p, dsa->q, dsa->g, dsa->y, dsa->x}) blob.put_mpint(value);
  if (size >= 0 && static_cast<size_t>(size) >= blob.size())
    std::memcpy(buffer, blob.bytes().data(), blob.bytes().size());
  return static_cast<int>(blob.size());
}

int dsa_public_bits(const unsigned char* blob, int length) {
  auto* key = static_cast<DsaKey*>(dsa_key_from_public_blob(blob, length));
  if (!key) return -1;
  int bits = bn_bit_count(key->p);
  dsa_free_key(key);
  return bits;
}

char* dsa_fingerprint(void* key) {
  auto* dsa = static_cast<DsaKey*>(key);
  WireBuffer blob;
  build_public_blob(dsa, blob);
  return host_key_fingerprint(dsa_name, bn_bit_count(dsa->p), blob.bytes());
}

int dsa_verify_signature(void* key, const unsigned char* signature, int signature_length, const unsigned char* data,
                         int data_length) {
  auto* dsa = static_cast<DsaKey*>(key);
  const unsigned char* values = signature;
  if (signature_length != 2 * dsa_value_length) {
    WireBuffer reader(signature, signature_length);
    if (!reader.get_string_equal(dsa_name) || !reader.skip(4) || reader.remaining() < 2u * dsa_value_length) return 0;
    values = reader.position();
  }
  BigNumPtr r(bn_from_bytes_be(values, dsa_value_length));
  BigNumPtr s(bn_from_bytes_be(values + dsa_value_length, dsa_value_length));
  if (!in_open_range(r.get(), bn_zero, dsa->q) || !in_open_range(s.get(), bn_zero, dsa->q)) return 0;
  BigNumPtr w(bn_mod_inverse(s.get(), dsa->q));
  if (!w) return 0;

  unsigned char hash[SHA1_DIGEST_LENGTH];
  sha1_digest(data, static_cast<std::size_t>(data_length), hash);
  BigNumPtr h(bn_from_bytes_be(hash, SHA1_DIGEST_LENGTH));
  BigNumPtr u1(bn_mod_mul(h.get(), w.get(), dsa->q));
  BigNumPtr u2(bn_mod_mul(r.get(), w.get(), dsa->q));
  BigNumPtr g_part(bn_mod_pow(dsa->g, u1.get(), dsa->p));
  BigNumPtr y_part(bn_mod_pow(dsa->y, u2.get(), dsa->p));
  BigNumPtr combined(bn_mod_mul(g_part.get(), y_part.get(), dsa->p));
  BigNumPtr v(bn_mod(combined.get(), dsa->q));
  return bn_compare(v.get(), r.get()) == 0 ? 1 : 0;
}

unsigned char* dsa_sign(void* key, const unsigned char* data, int data_length, int* signature_length) {
  auto* dsa = static_cast<DsaKey*>(key);
  if (!dsa->x) return nullptr;
  unsigned char hash[SHA1_DIGEST_LENGTH];
  sha1_digest(data, static_cast<std::size_t>(data_length), hash);
  BigNumPtr k(deterministic_k(dsa, hash));
  BigNumPtr k_inverse(bn_mod_inverse(k.get(), dsa->q));
  if (!k_inverse) return nullptr;  // k = 0: no signature can be made from it
  BigNumPtr g_power(bn_mod_pow(dsa->g, k.get(), dsa->p));
  BigNumPtr r(bn_mod(g_power.get(), dsa->q));
  BigNumPtr h(bn_from_bytes_be(hash, SHA1_DIGEST_LENGTH));
  BigNumPtr xr_plus_h(bn_mul_add(dsa->x, r.get(), h.get()));
  BigNumPtr s(bn_mod_mul(k_inverse.get(), xr_plus_h.get(), dsa->q));

  unsigned char values[2 * dsa_value_length];
  write_fixed(r.get(), values);
  write_fixed(s.get(), values + dsa_value_length);
  WireBuffer blob;
  blob.put_string(dsa_name);
  blob.put_string(values, sizeof values);
  return blob.release_copy(signature_length);
}

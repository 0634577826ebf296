// Public-key blobs and signatures as a server sends them (host keys, signatures over the
// exchange hash): every blob is read or refused, and a signature we accept must verify with
// OpenSSL too. Input: a blob length byte, the blob, a signature length byte, the signature,
// the signed data.
#include <openssl/bn.h>
#include <openssl/dsa.h>
#include <openssl/obj_mac.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include "base/memory.h"
#include "crypto/algorithms.h"
#include "crypto/wire_buffer.h"

namespace {

// The string at *at, moved past; false when the blob ends first.
bool TakeString(const unsigned char* blob, size_t size, size_t* at, std::string* out) {
  if (size - *at < 4) return false;
  const uint32_t length =
      (uint32_t{blob[*at]} << 24) | (uint32_t{blob[*at + 1]} << 16) | (uint32_t{blob[*at + 2]} << 8) | blob[*at + 3];
  *at += 4;
  if (size - *at < length) return false;
  out->assign(reinterpret_cast<const char*>(blob + *at), length);
  *at += length;
  return true;
}

BIGNUM* Number(const std::string& bytes) {
  return BN_bin2bn(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()), nullptr);
}

// The blob's strings after its name; empty when it does not read.
std::vector<std::string> Fields(const unsigned char* blob, size_t size, int count) {
  std::vector<std::string> fields(static_cast<size_t>(count) + 1);
  size_t at = 0;
  for (std::string& field : fields)
    if (!TakeString(blob, size, &at, &field)) return {};
  fields.erase(fields.begin());
  return fields;
}

// OpenSSL's own limits on keys it will check (beyond them it refuses, proving nothing): a
// modulus of 512 to 16384 bits, odd, above the exponent. The signature is padded to the
// modulus length, as servers that drop leading zeros make us do.
bool OpenSslVerifiesRsa(const std::vector<std::string>& key, const std::vector<std::string>& signature,
                        const unsigned char* data, size_t size, bool* checked) {
  RSA* rsa = RSA_new();
  BIGNUM* n = Number(key[1]);
  BIGNUM* e = Number(key[0]);
  *checked = BN_num_bits(n) >= 512 && BN_num_bits(n) <= 16384 && BN_is_odd(n) && BN_ucmp(n, e) > 0 &&
             signature[0].size() <= static_cast<size_t>(BN_num_bytes(n));
  RSA_set0_key(rsa, n, e, nullptr);
  int ok = 0;
  if (*checked) {
    std::string padded = std::string(static_cast<size_t>(RSA_size(rsa)) - signature[0].size(), '\0') + signature[0];
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(data, size, digest);
    ok = RSA_verify(NID_sha1, digest, sizeof digest, reinterpret_cast<const unsigned char*>(padded.data()),
                    static_cast<unsigned>(padded.size()), rsa);
  }
  RSA_free(rsa);
  return ok == 1;
}

// OpenSSL checks DSA only with a 160-bit q and a p of 512 to 10000 bits.
bool OpenSslVerifiesDsa(const std::vector<std::string>& key, const std::string& values, const unsigned char* data,
                        size_t size, bool* checked) {
  DSA* dsa = DSA_new();
  BIGNUM* p = Number(key[0]);
  BIGNUM* q = Number(key[1]);
  *checked = BN_num_bits(q) == 160 && BN_num_bits(p) >= 512 && BN_num_bits(p) <= 10000;
  DSA_set0_pqg(dsa, p, q, Number(key[2]));
  DSA_set0_key(dsa, Number(key[3]), nullptr);
  DSA_SIG* sig = DSA_SIG_new();
  DSA_SIG_set0(sig, Number(values.substr(0, 20)), Number(values.substr(20, 20)));
  unsigned char digest[SHA_DIGEST_LENGTH];
  SHA1(data, size, digest);
  const int ok = *checked ? DSA_do_verify(digest, sizeof digest, sig, dsa) : 0;
  DSA_SIG_free(sig);
  DSA_free(dsa);
  return ok == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 2) return 0;
  const size_t blob_size = std::min<size_t>(data[0] * 4u, size - 1);
  const unsigned char* blob = data + 1;
  size_t at = 1 + blob_size;
  if (at >= size) return 0;
  const size_t signature_size = std::min<size_t>(data[at] * 2u, size - at - 1);
  const unsigned char* signature = data + at + 1;
  at += 1 + signature_size;
  const unsigned char* signed_data = data + at;
  const size_t signed_size = size - at;

  for (const HostKeyAlgorithm* algorithm : {&ssh_rsa, &ssh_dss}) {
    algorithm->public_bits(blob, static_cast<int>(blob_size));
    void* key = algorithm->key_from_public_blob(blob, static_cast<int>(blob_size));
    if (key == nullptr) continue;
    checked_free(algorithm->key_text(key));
    checked_free(algorithm->fingerprint(key));
    int length = 0;
    checked_free(algorithm->public_blob(key, &length));
    const bool accepted = algorithm->verify_signature(key, signature, static_cast<int>(signature_size), signed_data,
                                                      static_cast<int>(signed_size)) == 1;
    algorithm->free_key(key);
    if (!accepted) continue;
    const bool rsa = algorithm == &ssh_rsa;
    const std::vector<std::string> key_fields = Fields(blob, blob_size, rsa ? 2 : 4);
    if (key_fields.empty()) __builtin_trap();  // we read a blob that does not hold the key
    bool checked = false, verified = false;
    if (rsa) {
      const std::vector<std::string> fields = Fields(signature, signature_size, 1);
      if (!fields.empty()) verified = OpenSslVerifiesRsa(key_fields, fields, signed_data, signed_size, &checked);
    } else {
      // The bare 40 bytes of old servers, or the name, a length we do not read, and the values.
      std::string values(reinterpret_cast<const char*>(signature), signature_size);
      std::string name;
      size_t at = 0;
      if (signature_size != 40)
        values =
            TakeString(signature, signature_size, &at, &name) && at + 4 <= signature_size ? values.substr(at + 4) : "";
      values.resize(40);
      verified = OpenSslVerifiesDsa(key_fields, values, signed_data, signed_size, &checked);
    }
    if (checked && !verified) __builtin_trap();
  }
  return 0;
}

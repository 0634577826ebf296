// The RSA private operation: blinded by a factor drawn deterministically from SHA-512 of the
// private exponent and the input, and computed through the prime factors when the key holds
// consistent ones (the result is the same, m^d mod n, only faster).
#include <cstring>

#include "crypto/rsa.h"
#include "crypto/secure_clear.h"
#include "crypto/sha512.h"
#include "crypto/wire_buffer.h"

namespace {

constexpr char blinding_label[] = "RSA deterministic blinding";
constexpr int blinding_attempts = 1000;

void feed_mpint(Sha512State* state, ConstBigNum value) {
  WireBuffer encoded;
  encoded.put_mpint(value);
  sha512_feed(state, encoded.bytes().data(), encoded.bytes().size());
}

class BlindingSource {
 public:
  BlindingSource(ConstBigNum d, ConstBigNum m) : d_(d), m_(m) {}
  ~BlindingSource() { secure_clear(buffer_, sizeof buffer_); }

  // A candidate with as many bits as n: bit positions from the top down, each buffer byte
  // giving its bits from the least significant upwards.
  BigNum next_candidate(ConstBigNum n) {
    int bits = bn_bit_count(n);
    BigNum r = bn_new(static_cast<int>(n[0]));
    int byte = 0, bit_in_byte = 8;
    for (int position = bits - 1; position >= 0; --position) {
      if (bit_in_byte == 8) {
        byte = next_byte();
        bit_in_byte = 0;
      }
      bn_set_bit(r, position, (byte >> bit_in_byte) & 1);
      ++bit_in_byte;
    }
    return r;
  }

 private:
  int next_byte() {
    if (used_ == sizeof buffer_) refill();
    return buffer_[used_++];
  }

  void refill() {
    unsigned char first[SHA512_DIGEST_LENGTH];
    unsigned char counter_bytes[4] = {static_cast<unsigned char>(counter_ >> 24),
                                      static_cast<unsigned char>(counter_ >> 16),
                                      static_cast<unsigned char>(counter_ >> 8), static_cast<unsigned char>(counter_)};
    Sha512State state;
    sha512_begin(&state);
    sha512_feed(&state, blinding_label, sizeof blinding_label - 1);
    sha512_feed(&state, counter_bytes, 4);
    feed_mpint(&state, d_);
    sha512_finish(&state, first);
    sha512_begin(&state);
    sha512_feed(&state, first, sizeof first);
    feed_mpint(&state, m_);
    sha512_finish(&state, buffer_);
    secure_clear(first, sizeof first);
    ++counter_;
    used_ = 0;
  }

  ConstBigNum d_;
  ConstBigNum m_;
  uint32_t counter_ = 0;
  unsigned char buffer_[SHA512_DIGEST_LENGTH] = {};
  std::size_t used_ = sizeof buffer_;
};

bool has_consistent_factors(const RsaKey* key) {
  if (!key->p || !key->q || !key->iqmp || bn_compare(key->p, bn_one) <= 0 || bn_compare(key->q, bn_one) <= 0)
    return false;
  BigNumPtr product(bn_mul(key->p, key->q));
  if (bn_compare(product.get(), key->modulus) != 0) return false;
  BigNumPtr check(bn_mod_mul(key->iqmp, key->q, key->p));
  return check && bn_compare(check.get(), bn_one) == 0;
}

// x^d mod n through x^(d mod p-1) mod p and x^(d mod q-1) mod q.
BigNum power_through_factors(ConstBigNum x, const RsaKey* key) {
  BigNumPtr p_minus_1(bn_copy(key->p)), q_minus_1(bn_copy(key->q));
  bn_decrement(p_minus_1.get());
  bn_decrement(q_minus_1.get());
  BigNumPtr dp(bn_mod(key->private_exponent, p_minus_1.get()));
  BigNumPtr dq(bn_mod(key->private_exponent, q_minus_1.get()));
  BigNumPtr mp(bn_mod_pow(x, dp.get(), key->p));
  BigNumPtr mq(bn_mod_pow(x, dq.get(), key->q));
  BigNumPtr mq_mod_p(bn_mod(mq.get(), key->p));
  BigNumPtr lifted(bn_add(mp.get(), key->p));
  BigNumPtr difference(bn_subtract(lifted.get(), mq_mod_p.get()));
  BigNumPtr h(bn_mod_mul(key->iqmp, difference.get(), key->p));
  return bn_mul_add(h.get(), key->q, mq.get());
}

}  // namespace

BigNum rsa_private_decrypt(ConstBigNum value, const RsaKey* key) {
  ConstBigNum n = key->modulus;
  if (!n || !key->exponent || !key->private_exponent) return nullptr;
  BigNumPtr three(bn_new(1));
  three.get()[1] = 3;
  if (bn_compare(n, three.get()) < 0) return nullptr;  // no blinding factor 1 < r < n exists

  BlindingSource source(key->private_exponent, value);
  bool use_factors = has_consistent_factors(key);
  for (int attempt = 0; attempt < blinding_attempts; ++attempt) {
    BigNumPtr r(source.next_candidate(n));
    if (bn_compare(r.get(), bn_one) <= 0 || bn_compare(r.get(), n) >= 0) continue;
    BigNumPtr r_inverse(bn_mod_inverse(r.get(), n));
    if (!r_inverse) continue;  // r shares a factor with n: draw again
    BigNumPtr r_power(bn_mod_pow(r.get(), key->exponent, n));
    BigNumPtr blinded(bn_mod_mul(value, r_power.get(), n));
    BigNumPtr powered(use_factors ? power_through_factors(blinded.get(), key)
                                  : bn_mod_pow(blinded.get(), key->private_exponent, n));
    return bn_mod_mul(powered.get(), r_inverse.get(), n);
  }
  return nullptr;
}

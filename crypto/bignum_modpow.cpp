// Modular exponentiation: fixed-window exponentiation over Montgomery multiplication in
// 64-bit limbs for odd moduli (every RSA, DSA and Diffie-Hellman modulus), and over plain
// multiply-and-divide for even ones. Both give base^exponent mod m exactly.
#include <algorithm>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/bignum_detail.h"
#include "crypto/secure_clear.h"

using namespace bignum_detail;

namespace {

using Limb = uint64_t;
using WideLimb = unsigned __int128;

struct Limbs {
  std::vector<Limb> limbs;
  explicit Limbs(std::size_t count = 0) : limbs(count, 0) {}
  Limbs(const Limbs&) = default;
  Limbs& operator=(const Limbs&) = default;
  ~Limbs() { secure_clear(limbs.data(), limbs.size() * sizeof(Limb)); }
  Limb* data() { return limbs.data(); }
  const Limb* data() const { return limbs.data(); }
};

Limbs to_limbs(ConstBigNum a, int count) {
  Limbs out(count);
  for (int i = 0; i < count; ++i) out.limbs[i] = Limb{word_at(a, 2 * i)} | (Limb{word_at(a, 2 * i + 1)} << 32);
  return out;
}

BigNum from_limbs(const Limbs& a, int words) {
  BigNum out = allocate(words);
  for (int i = 0; i < words; ++i) {
    Limb limb = static_cast<std::size_t>(i / 2) < a.limbs.size() ? a.limbs[i / 2] : 0;
    out[i + 1] = static_cast<BigNumWord>(i % 2 ? limb >> 32 : limb);
  }
  return out;
}

// a * 2^(64 * shift_limbs) mod m, as n limbs.
Limbs shifted_mod(ConstBigNum a, int shift_limbs, ConstBigNum m, int n) {
  int words = used_words(a);
  BigNumPtr shifted(allocate(words + 2 * shift_limbs));
  std::copy(a + 1, a + 1 + words, shifted.get() + 1 + 2 * shift_limbs);
  BigNumPtr reduced(bn_mod(shifted.get(), m));
  return to_limbs(reduced.get(), n);
}

class Montgomery {
 public:
  Montgomery(ConstBigNum m, int n) : n_(n), m_(to_limbs(m, n)), scratch_(n + 2) {
    // -m^-1 mod 2^64 by Newton's iteration: each step doubles the correct low bits.
    Limb inverse = m_.limbs[0];
    for (int i = 0; i < 6; ++i) inverse *= 2 - m_.limbs[0] * inverse;
    m_inverse_ = ~inverse + 1;
  }

  // out = a * b / R mod m (out may alias a or b).
  void multiply(const Limb* a, const Limb* b, Limb* out) {
    Limb* t = scratch_.data();
    std::fill(t, t + n_ + 2, 0);
    const Limb* m = m_.data();
    for (int i = 0; i < n_; ++i) {
      Limb carry = 0;
      Limb bi = b[i];
      for (int j = 0; j < n_; ++j) {
        WideLimb sum = WideLimb{a[j]} * bi + t[j] + carry;
        t[j] = static_cast<Limb>(sum);
        carry = static_cast<Limb>(sum >> 64);
      }
      WideLimb top = WideLimb{t[n_]} + carry;
      t[n_] = static_cast<Limb>(top);
      t[n_ + 1] = static_cast<Limb>(top >> 64);

      Limb factor = t[0] * m_inverse_;
      WideLimb sum = WideLimb{factor} * m[0] + t[0];
      carry = static_cast<Limb>(sum >> 64);
      for (int j = 1; j < n_; ++j) {
        sum = WideLimb{factor} * m[j] + t[j] + carry;
        t[j - 1] = static_cast<Limb>(sum);
        carry = static_cast<Limb>(sum >> 64);
      }
      top = WideLimb{t[n_]} + carry;
      t[n_ - 1] = static_cast<Limb>(top);
      t[n_] = t[n_ + 1] + static_cast<Limb>(top >> 64);
    }
    // t < 2m here; one conditional subtraction brings it below m.
    bool subtract = t[n_] != 0;
    if (!subtract) {
      subtract = true;
      for (int j = n_ - 1; j >= 0; --j) {
        if (t[j] != m[j]) {
          subtract = t[j] > m[j];
          break;
        }
      }
    }
    if (subtract) {
      Limb borrow = 0;
      for (int j = 0; j < n_; ++j) {
        WideLimb diff = WideLimb{t[j]} - m[j] - borrow;
        out[j] = static_cast<Limb>(diff);
        borrow = static_cast<Limb>(diff >> 64) & 1;
      }
    } else {
      std::copy(t, t + n_, out);
    }
  }

 private:
  int n_;
  Limbs m_;
  Limbs scratch_;
  Limb m_inverse_ = 0;
};

int window_bits(int exponent_bits) {
  if (exponent_bits > 512) return 5;
  if (exponent_bits > 128) return 4;
  if (exponent_bits > 24) return 3;
  return 1;
}

int exponent_window(ConstBigNum exponent, int top_bit, int width) {
  int value = 0;
  for (int bit = top_bit; bit > top_bit - width; --bit) {
    value <<= 1;
    if (bit >= 0 && (word_at(exponent, bit / 32) >> (bit % 32)) & 1) value |= 1;
  }
  return value;
}

BigNum mod_pow_montgomery(ConstBigNum base, ConstBigNum exponent, ConstBigNum m) {
  int mwords = used_words(m);
  int n = (mwords + 1) / 2;
  Montgomery mont(m, n);
  int ebits = bn_bit_count(exponent);
  int width = window_bits(ebits);

  // table[i] = base^i in Montgomery form.
  std::vector<Limbs> table(std::size_t{1} << width, Limbs(n));
  table[0] = shifted_mod(bn_one, n, m, n);
  table[1] = shifted_mod(base, n, m, n);
  for (std::size_t i = 2; i < table.size(); ++i) mont.multiply(table[i - 1].data(), table[1].data(), table[i].data());

  // Windows are aligned from the top so the first one absorbs the remainder of the bits.
  int windows = (ebits + width - 1) / width;
  Limbs accumulator = table[0];
  for (int w = windows - 1; w >= 0; --w) {
    if (w != windows - 1)
      for (int s = 0; s < width; ++s) mont.multiply(accumulator.data(), accumulator.data(), accumulator.data());
    int digit = exponent_window(exponent, w * width + width - 1, width);
    if (digit) mont.multiply(accumulator.data(), table[digit].data(), accumulator.data());
  }
  // Leave Montgomery form: multiply by plain 1.
  Limbs plain_one(n);
  plain_one.limbs[0] = 1;
  mont.multiply(accumulator.data(), plain_one.data(), accumulator.data());
  return from_limbs(accumulator, mwords);
}

BigNum mod_pow_plain(ConstBigNum base, ConstBigNum exponent, ConstBigNum m) {
  BigNumPtr result(bn_mod(bn_one, m));
  BigNumPtr power(bn_mod(base, m));
  for (int bit = bn_bit_count(exponent) - 1; bit >= 0; --bit) {
    result.reset(bn_mod_mul(result.get(), result.get(), m));
    if ((word_at(exponent, bit / 32) >> (bit % 32)) & 1) result.reset(bn_mod_mul(result.get(), power.get(), m));
  }
  BigNum sized = allocate(used_words(m));
  std::copy(result.get() + 1, result.get() + 1 + used_words(result.get()), sized + 1);
  return sized;
}

}  // namespace

BigNum bn_mod_pow(ConstBigNum base, ConstBigNum exponent, ConstBigNum m) {
  if (bn_is_zero(m)) return nullptr;
  if (m[1] & 1) return mod_pow_montgomery(base, exponent, m);
  return mod_pow_plain(base, exponent, m);
}

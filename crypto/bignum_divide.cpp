// Long division (Knuth's algorithm D on 32-bit digits) and the reductions built on it.
#include <algorithm>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/bignum_detail.h"
#include "crypto/secure_clear.h"

using namespace bignum_detail;

namespace {

constexpr uint64_t digit_base = uint64_t{1} << 32;

// Scratch digits that may hold key material are wiped when they go out of scope.
struct Digits {
  std::vector<BigNumWord> words;
  explicit Digits(std::size_t count) : words(count, 0) {}
  ~Digits() { secure_clear(words.data(), words.size() * sizeof(BigNumWord)); }
  BigNumWord& operator[](std::size_t i) { return words[i]; }
};

// Divides u (ulen digits) by the single digit v; the quotient goes to q, returns the remainder.
BigNumWord divide_by_digit(const BigNumWord* u, int ulen, BigNumWord v, BigNumWord* q) {
  uint64_t rest = 0;
  for (int i = ulen - 1; i >= 0; --i) {
    uint64_t current = (rest << 32) | u[i];
    if (q) q[i] = static_cast<BigNumWord>(current / v);
    rest = current % v;
  }
  return static_cast<BigNumWord>(rest);
}

// u has ulen >= vlen digits, v has vlen >= 2 digits with v[vlen-1] != 0. Writes the quotient
// (ulen - vlen + 1 digits) to q when given and the remainder (vlen digits) to r.
void divide_long(const BigNumWord* u, int ulen, const BigNumWord* v, int vlen, BigNumWord* q, BigNumWord* r) {
  // Normalise so the divisor's top digit has its high bit set; the estimates then overshoot
  // by at most two.
  int shift = __builtin_clz(v[vlen - 1]);
  Digits vn(vlen), un(ulen + 1);
  for (int i = vlen - 1; i > 0; --i) vn[i] = shift ? (v[i] << shift) | (v[i - 1] >> (32 - shift)) : v[i];
  vn[0] = v[0] << shift;
  un[ulen] = shift ? u[ulen - 1] >> (32 - shift) : 0;
  for (int i = ulen - 1; i > 0; --i) un[i] = shift ? (u[i] << shift) | (u[i - 1] >> (32 - shift)) : u[i];
  un[0] = u[0] << shift;

  for (int j = ulen - vlen; j >= 0; --j) {
    uint64_t top = (uint64_t{un[j + vlen]} << 32) | un[j + vlen - 1];
    uint64_t qhat = top / vn[vlen - 1];
    uint64_t rhat = top % vn[vlen - 1];
    while (qhat >= digit_base || qhat * vn[vlen - 2] > ((rhat << 32) | un[j + vlen - 2])) {
      --qhat;
      rhat += vn[vlen - 1];
      if (rhat >= digit_base) break;
    }
    // Multiply and subtract.
    int64_t borrow = 0;
    uint64_t carry = 0;
    for (int i = 0; i < vlen; ++i) {
      uint64_t product = qhat * vn[i] + carry;
      carry = product >> 32;
      int64_t t = int64_t{un[i + j]} - borrow - static_cast<int64_t>(product & 0xFFFFFFFFu);
      un[i + j] = static_cast<BigNumWord>(t);
      borrow = t < 0 ? 1 : 0;
    }
    int64_t t = int64_t{un[j + vlen]} - borrow - static_cast<int64_t>(carry);
    un[j + vlen] = static_cast<BigNumWord>(t);
    if (t < 0) {
      // The estimate was one too large: add the divisor back.
      --qhat;
      uint64_t add_carry = 0;
      for (int i = 0; i < vlen; ++i) {
        uint64_t sum = uint64_t{un[i + j]} + vn[i] + add_carry;
        un[i + j] = static_cast<BigNumWord>(sum);
        add_carry = sum >> 32;
      }
      un[j + vlen] = static_cast<BigNumWord>(un[j + vlen] + add_carry);
    }
    if (q) q[j] = static_cast<BigNumWord>(qhat);
  }
  for (int i = 0; i < vlen; ++i) r[i] = shift ? (un[i] >> shift) | (un[i + 1] << (32 - shift)) : un[i];
}

}  // namespace

bool bn_divide(ConstBigNum a, ConstBigNum m, BigNum* remainder, BigNum* quotient) {
  int mlen = used_words(m);
  if (mlen == 0) return false;
  int alen = used_words(a);
  if (alen < mlen) {
    if (remainder) {
      *remainder = allocate(mlen);
      std::copy(a + 1, a + 1 + alen, *remainder + 1);
    }
    if (quotient) *quotient = allocate(1);
    return true;
  }
  BigNum q = quotient ? allocate(alen - mlen + 1) : nullptr;
  BigNum r = allocate(mlen);
  if (mlen == 1)
    r[1] = divide_by_digit(a + 1, alen, m[1], q ? q + 1 : nullptr);
  else
    divide_long(a + 1, alen, m + 1, mlen, q ? q + 1 : nullptr, r + 1);
  if (quotient) *quotient = q;
  if (remainder)
    *remainder = r;
  else
    bn_release(r);
  return true;
}

BigNum bn_mod(ConstBigNum a, ConstBigNum m) {
  BigNum remainder = nullptr;
  if (!bn_divide(a, m, &remainder, nullptr)) return nullptr;
  return remainder;
}

BigNum bn_mod_mul(ConstBigNum a, ConstBigNum b, ConstBigNum m) {
  if (bn_is_zero(m)) return nullptr;
  BigNumPtr product(bn_mul(a, b));
  return bn_mod(product.get(), m);
}

BigNum bn_mod_inverse(ConstBigNum a, ConstBigNum m) {
  // Extended Euclid keeping only the coefficient of a. Its magnitudes grow as
  // t(i+1) = t(i-1) + q(i) * t(i) while the signs alternate, so one flag carries the sign.
  if (bn_compare(m, bn_one) <= 0) return nullptr;
  BigNumPtr r0(bn_copy(m));
  BigNumPtr r1(bn_mod(a, m));
  BigNumPtr t0(bn_copy(bn_zero));
  BigNumPtr t1(bn_copy(bn_one));
  bool t1_negative = false;
  while (bn_compare(r1.get(), bn_one) > 0) {
    BigNum q = nullptr, r = nullptr;
    bn_divide(r0.get(), r1.get(), &r, &q);
    BigNumPtr quotient(q);
    BigNumPtr t2(bn_mul_add(quotient.get(), t1.get(), t0.get()));
    r0 = std::move(r1);
    r1.reset(r);
    t0 = std::move(t1);
    t1 = std::move(t2);
    t1_negative = !t1_negative;
  }
  if (bn_is_zero(r1.get())) return nullptr;  // gcd(a, m) > 1
  BigNumPtr magnitude(bn_mod(t1.get(), m));
  BigNum inverse =
      t1_negative && !bn_is_zero(magnitude.get()) ? bn_subtract(m, magnitude.get()) : bn_copy(magnitude.get());
  BigNum sized = allocate(used_words(m));
  std::copy(inverse + 1, inverse + 1 + used_words(inverse), sized + 1);
  bn_release(inverse);
  return sized;
}

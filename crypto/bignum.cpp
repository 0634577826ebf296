// BigNum storage, conversions, comparison and the plain arithmetic.
#include "crypto/bignum.h"

#include <algorithm>
#include <cstring>

#include "base/memory.h"
#include "crypto/bignum_detail.h"
#include "crypto/secure_clear.h"

using namespace bignum_detail;

namespace {

BigNumWord zero_words[1] = {0};
BigNumWord one_words[2] = {1, 1};

}  // namespace

const BigNum bn_zero = zero_words;
const BigNum bn_one = one_words;

namespace bignum_detail {

BigNum allocate(int words) {
  if (words < 0) words = 0;
  auto* a = static_cast<BigNum>(checked_alloc(static_cast<std::size_t>(words) + 1, sizeof(BigNumWord)));
  std::memset(a, 0, (static_cast<std::size_t>(words) + 1) * sizeof(BigNumWord));
  a[0] = static_cast<BigNumWord>(words);
  return a;
}

}  // namespace bignum_detail

BigNum bn_new(int words) { return allocate(words); }

BigNum bn_copy(ConstBigNum a) {
  BigNum copy = allocate(capacity(a));
  std::memcpy(copy + 1, a + 1, sizeof(BigNumWord) * capacity(a));
  return copy;
}

BigNum bn_power_of_two(int k) {
  BigNum a = allocate(k / 32 + 1);
  a[k / 32 + 1] = BigNumWord{1} << (k % 32);
  return a;
}

void bn_release(BigNum a) {
  if (!a || a == bn_zero || a == bn_one) return;
  secure_clear(a, sizeof(BigNumWord) * (static_cast<std::size_t>(a[0]) + 1));
  checked_free(a);
}

void bn_decrement(BigNum a) {
  for (int i = 1; i <= capacity(a); ++i)
    if (a[i]-- != 0) return;
}

BigNum bn_from_bytes_be(const unsigned char* bytes, int length) {
  int words = (length + 3) / 4;
  BigNum a = allocate(words);
  for (int i = 0; i < length; ++i) {
    int from_end = length - 1 - i;
    a[from_end / 4 + 1] |= BigNumWord{bytes[i]} << (8 * (from_end % 4));
  }
  while (a[0] > 0 && a[a[0]] == 0) --a[0];
  return a;
}

int bn_read_ssh1(const unsigned char* buffer, int length, BigNum* out) {
  if (length < 2) return -1;
  int bits = (buffer[0] << 8) | buffer[1];
  int bytes = (bits + 7) / 8;
  if (length - 2 < bytes) return -1;
  if (out) *out = bn_from_bytes_be(buffer + 2, bytes);
  return bytes + 2;
}

int bn_write_ssh1(unsigned char* buffer, ConstBigNum a) {
  int bits = bn_bit_count(a);
  int bytes = (bits + 7) / 8;
  buffer[0] = static_cast<unsigned char>(bits >> 8);
  buffer[1] = static_cast<unsigned char>(bits);
  for (int i = 0; i < bytes; ++i) buffer[2 + i] = static_cast<unsigned char>(bn_byte_at(a, bytes - 1 - i));
  return bytes + 2;
}

int bn_ssh1_size(ConstBigNum a) { return 2 + (bn_bit_count(a) + 7) / 8; }

int bn_mpint_size(ConstBigNum a) { return 4 + (bn_bit_count(a) + 8) / 8; }

int bn_bit_count(ConstBigNum a) {
  int n = used_words(a);
  if (n == 0) return 0;
  return 32 * (n - 1) + (32 - __builtin_clz(a[n]));
}

int bn_byte_at(ConstBigNum a, int i) {
  if (i < 0 || i / 4 >= capacity(a)) return 0;
  return (a[i / 4 + 1] >> (8 * (i % 4))) & 0xFF;
}

void bn_set_bit(BigNum a, int i, int value) {
  if (i < 0 || i / 32 >= capacity(a)) return;
  BigNumWord bit = BigNumWord{1} << (i % 32);
  if (value)
    a[i / 32 + 1] |= bit;
  else
    a[i / 32 + 1] &= ~bit;
}

int bn_compare(ConstBigNum a, ConstBigNum b) {
  for (int i = std::max(capacity(a), capacity(b)) - 1; i >= 0; --i) {
    BigNumWord x = word_at(a, i), y = word_at(b, i);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool bn_is_zero(ConstBigNum a) { return used_words(a) == 0; }

BigNum bn_shift_right(ConstBigNum a, int k) {
  int word_shift = k / 32, bit_shift = k % 32;
  int words = std::max(capacity(a) - word_shift, 0);
  BigNum result = allocate(words);
  for (int i = 0; i < words; ++i) {
    uint64_t pair = (uint64_t{word_at(a, i + word_shift + 1)} << 32) | word_at(a, i + word_shift);
    result[i + 1] = static_cast<BigNumWord>(pair >> bit_shift);
  }
  return result;
}

BigNum bn_mul_add(ConstBigNum a, ConstBigNum b, ConstBigNum addend) {
  int na = used_words(a), nb = used_words(b);
  int nc = addend ? used_words(addend) : 0;
  BigNum result = allocate(std::max(na + nb, nc) + 1);
  BigNumWord* r = result + 1;
  for (int i = 0; i < nc; ++i) r[i] = addend[i + 1];
  for (int i = 0; i < na; ++i) {
    uint64_t carry = 0;
    uint64_t ai = a[i + 1];
    for (int j = 0; j < nb; ++j) {
      uint64_t t = ai * b[j + 1] + r[i + j] + carry;
      r[i + j] = static_cast<BigNumWord>(t);
      carry = t >> 32;
    }
    for (int k = i + nb; carry != 0; ++k) {
      uint64_t t = uint64_t{r[k]} + carry;
      r[k] = static_cast<BigNumWord>(t);
      carry = t >> 32;
    }
  }
  return result;
}

BigNum bn_mul(ConstBigNum a, ConstBigNum b) { return bn_mul_add(a, b, nullptr); }

BigNum bn_add(ConstBigNum a, ConstBigNum b) {
  int words = std::max(used_words(a), used_words(b)) + 1;
  BigNum result = allocate(words);
  uint64_t carry = 0;
  for (int i = 0; i < words; ++i) {
    uint64_t t = uint64_t{word_at(a, i)} + word_at(b, i) + carry;
    result[i + 1] = static_cast<BigNumWord>(t);
    carry = t >> 32;
  }
  return result;
}

BigNum bn_subtract(ConstBigNum a, ConstBigNum b) {
  if (bn_compare(a, b) < 0) return nullptr;
  int words = used_words(a);
  BigNum result = allocate(words);
  int64_t borrow = 0;
  for (int i = 0; i < words; ++i) {
    int64_t t = int64_t{word_at(a, i)} - word_at(b, i) - borrow;
    result[i + 1] = static_cast<BigNumWord>(t);
    borrow = t < 0 ? 1 : 0;
  }
  return result;
}

BigNum bn_top_mask(ConstBigNum a) {
  int bits = bn_bit_count(a);
  BigNum mask = allocate((bits + 31) / 32);
  for (int i = 0; i < bits / 32; ++i) mask[i + 1] = 0xFFFFFFFFu;
  if (bits % 32) mask[bits / 32 + 1] = (BigNumWord{1} << (bits % 32)) - 1;
  return mask;
}

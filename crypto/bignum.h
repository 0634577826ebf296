#pragma once
// Non-negative integers of any size for RSA, DSA and Diffie-Hellman, with the SSH-1 and SSH-2
// wire conversions. A BigNum is an owned array of 32-bit words: word 0 holds the number of
// value words n (a capacity: leading zero words may be present), words 1 to n hold the value,
// least significant first. Every value is released with bn_release, which wipes it first.
//
// Functions that divide return nullptr (or false) for a zero modulus, and bn_mod_inverse
// returns nullptr when no inverse exists, so hostile keys cannot make us divide by zero.

#include <cstddef>
#include <cstdint>
#include <memory>

using BigNumWord = uint32_t;
using BigNum = BigNumWord*;
using ConstBigNum = const BigNumWord*;

// Shared constants; bn_release ignores them.
extern const BigNum bn_zero;
extern const BigNum bn_one;

BigNum bn_new(int words);
BigNum bn_copy(ConstBigNum a);
BigNum bn_power_of_two(int k);
BigNum bn_from_bytes_be(const unsigned char* bytes, int length);
void bn_release(BigNum a);

// Subtracts 1 in place; a must be positive.
void bn_decrement(BigNum a);

// SSH-1 form: 16-bit big-endian bit count, then the value's bytes. bn_read_ssh1 returns the
// bytes used or -1 when the buffer is short; with out null it only measures.
int bn_read_ssh1(const unsigned char* buffer, int length, BigNum* out);
int bn_write_ssh1(unsigned char* buffer, ConstBigNum a);
int bn_ssh1_size(ConstBigNum a);
// Size of the SSH-2 mpint string: 4 + (bits + 8) / 8.
int bn_mpint_size(ConstBigNum a);

int bn_bit_count(ConstBigNum a);
// Byte i from the least significant; 0 beyond the capacity.
int bn_byte_at(ConstBigNum a, int i);
// Sets or clears bit i; a bit beyond the capacity is ignored.
void bn_set_bit(BigNum a, int i, int value);
int bn_compare(ConstBigNum a, ConstBigNum b);
bool bn_is_zero(ConstBigNum a);

BigNum bn_shift_right(ConstBigNum a, int k);
// a * b + addend; the addend may be null.
BigNum bn_mul_add(ConstBigNum a, ConstBigNum b, ConstBigNum addend);
BigNum bn_mul(ConstBigNum a, ConstBigNum b);
BigNum bn_add(ConstBigNum a, ConstBigNum b);
// a - b; nullptr when b > a.
BigNum bn_subtract(ConstBigNum a, ConstBigNum b);
BigNum bn_top_mask(ConstBigNum a);

// Long division: new remainder and (when asked) quotient. False, with nothing made, when m is 0.
bool bn_divide(ConstBigNum a, ConstBigNum m, BigNum* remainder, BigNum* quotient);
BigNum bn_mod(ConstBigNum a, ConstBigNum m);
BigNum bn_mod_mul(ConstBigNum a, ConstBigNum b, ConstBigNum m);
BigNum bn_mod_pow(ConstBigNum base, ConstBigNum exponent, ConstBigNum m);
BigNum bn_mod_inverse(ConstBigNum a, ConstBigNum m);

// Ownership helper for code that keeps values in locals.
struct BigNumRelease {
  void operator()(BigNum a) const { bn_release(a); }
};
using BigNumPtr = std::unique_ptr<BigNumWord, BigNumRelease>;

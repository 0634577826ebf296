#include "crypto/diffie_hellman.h"

#include <cstring>
#include <vector>

#include "base/memory.h"
#include "crypto/random_pool.h"
#include "crypto/secure_clear.h"

namespace {

constexpr int max_prime_bits = 8192;
constexpr BigNumWord smallest_prime = 11;  // leaves 1 < x < q room for more than one choice

// 1 < value < p - 1.
bool inside_group(ConstBigNum value, ConstBigNum p) {
  BigNumPtr p_minus_1(bn_copy(p));
  bn_decrement(p_minus_1.get());
  return bn_compare(value, bn_one) > 0 && bn_compare(value, p_minus_1.get()) < 0;
}

// x = 2^bits + `bits` random low bits, least significant bit of each random byte first.
BigNum exponent_above_power(int bits) {
  BigNum x = bn_power_of_two(bits);
  int byte = 0;
  for (int i = 0; i < bits; ++i) {
    if (i % 8 == 0) byte = random_next_byte();
    bn_set_bit(x, i, (byte >> (i % 8)) & 1);
  }
  return x;
}

// A random number below 2^bits(q): q_mask's SSH-1 form with every value byte ANDed with a
// random byte, read back.
BigNum exponent_below_mask(ConstBigNum q_mask) {
  int size = bn_ssh1_size(q_mask);
  std::vector<unsigned char> form(static_cast<std::size_t>(size));
  bn_write_ssh1(form.data(), q_mask);
  for (int i = 2; i < size; ++i) form[i] &= random_next_byte();
  BigNum x = nullptr;
  bn_read_ssh1(form.data(), size, &x);
  secure_clear(form.data(), form.size());
  return x;
}

}  // namespace

DhContext* dh_new_from_params(ConstBigNum p, ConstBigNum g) {
  // A larger prime only costs time (a hostile server's way to stall the exchange).
  if (!p || !g || bn_bit_count(p) == 0 || bn_bit_count(p) > max_prime_bits || !(p[1] & 1)) return nullptr;
  BigNumPtr smallest(bn_new(1));
  smallest.get()[1] = smallest_prime;
  if (bn_compare(p, smallest.get()) < 0 || !inside_group(g, p)) return nullptr;
  auto* context = static_cast<DhContext*>(checked_alloc(1, sizeof(DhContext)));
  std::memset(context, 0, sizeof *context);
  context->p = bn_copy(p);
  context->g = bn_copy(g);
  context->q = bn_shift_right(p, 1);
  context->q_mask = bn_top_mask(context->q);
  return context;
}

DhContext* dh_new_from_group(const KexAlgorithm* kex) {
  if (!kex->prime || !kex->generator) return nullptr;
  BigNumPtr p(bn_from_bytes_be(kex->prime, kex->prime_length));
  BigNumPtr g(bn_from_bytes_be(kex->generator, kex->generator_length));
  return dh_new_from_params(p.get(), g.get());
}

BigNum dh_make_public(DhContext* context, int bits) {
  // The exponent 2^bits + low bits lies below q only when q has at least two bits more than
  // asked; otherwise a random number below 2^bits(q) is drawn, which lies below q at least
  // half the time, so the choice always ends.
  bool above_power = bits > 0 && bn_bit_count(context->q) >= bits + 2;
  bn_release(context->x);
  context->x = nullptr;
  for (;;) {
    BigNum x = above_power ? exponent_above_power(bits) : exponent_below_mask(context->q_mask);
    if (bn_compare(x, bn_one) > 0 && bn_compare(x, context->q) < 0) {
      context->x = x;
      break;
    }
    bn_release(x);
  }
  bn_release(context->e);
  context->e = bn_mod_pow(context->g, context->x, context->p);
  return bn_copy(context->e);
}

BigNum dh_shared_secret(DhContext* context, ConstBigNum f) {
  if (!context->x || !inside_group(f, context->p)) return nullptr;
  return bn_mod_pow(f, context->x, context->p);
}

void dh_destroy(DhContext* context) {
  if (!context) return;
  for (BigNum value : {context->x, context->e, context->p, context->q, context->q_mask, context->g}) bn_release(value);
  checked_free(context);
}

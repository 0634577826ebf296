#include "crypto/diffie_hellman.h"

#include <gtest/gtest.h>

#include "crypto/diffie_hellman_groups.h"
#include "tests/crypto/bignum_test_support.h"

using namespace bignum_testing;

namespace {

const KexAlgorithm group1 = {"test-group1", "group1", dh_group1_prime, dh_group_generator,
                             dh_group1_prime_length, 1, nullptr};
const KexAlgorithm group14 = {"test-group14", "group14", dh_group14_prime, dh_group_generator,
                              dh_group14_prime_length, 1, nullptr};

using DhContextPtr = std::unique_ptr<DhContext, FreedBy<dh_destroy>>;

// The primes from the formulas of RFC 2409 section 6.2 and RFC 3526 section 3, with pi
// worked out by Machin's formula.
TEST(DhGroups, PrimesEqualThePublishedValues)
{
  const char *script =
      "def pi_scaled(bits):\n"
      "    one = 1 << (bits + 64)\n"
      "    def arctan_inv(x):\n"
      "        total = term = one // x\n"
      "        n, sign = 1, -1\n"
      "        while term:\n"
      "            term //= x * x\n"
      "            total += sign * (term // (2 * n + 1))\n"
      "            sign, n = -sign, n + 1\n"
      "        return total\n"
      "    return (16 * arctan_inv(5) - 4 * arctan_inv(239)) >> 64\n"
      "print('%x' % (2**1024 - 2**960 - 1 + 2**64 * (pi_scaled(894) + 129093)))\n"
      "print('%x' % (2**2048 - 2**1984 - 1 + 2**64 * (pi_scaled(1918) + 124476)))\n";
  std::string output = run_command(std::string("/usr/bin/python3 -c \"") + script + "\"");
  BigNumPtr p1(bn_from_bytes_be(dh_group1_prime, dh_group1_prime_length));
  BigNumPtr p14(bn_from_bytes_be(dh_group14_prime, dh_group14_prime_length));
  EXPECT_EQ(output, to_hex(p1.get()) + "\n" + to_hex(p14.get()) + "\n");
  EXPECT_EQ(to_hex(p1.get()).substr(0, 24), "ffffffffffffffffc90fdaa2");
  EXPECT_EQ(dh_group_generator[0], 2);
}

TEST(DhExchange, BothSidesAgreeOnTheSecret)
{
  for (const KexAlgorithm *kex : {&group1, &group14}) {
    DhContextPtr ours(dh_new_from_group(kex)), theirs(dh_new_from_group(kex));
    ASSERT_TRUE(ours && theirs);
    BigNumPtr e(dh_make_public(ours.get(), 256)), f(dh_make_public(theirs.get(), 256));
    BigNumPtr k1(dh_shared_secret(ours.get(), f.get())), k2(dh_shared_secret(theirs.get(), e.get()));
    ASSERT_TRUE(k1 && k2);
    EXPECT_EQ(bn_compare(k1.get(), k2.get()), 0);
    EXPECT_EQ(bn_bit_count(ours->x), 257);
    BigNumPtr expected(bn_mod_pow(ours->g, ours->x, ours->p));
    EXPECT_EQ(bn_compare(expected.get(), e.get()), 0);
  }
}

// Every requested size ends with 1 < x < q, also those within a bit or two of q's size.
TEST(DhExchange, ExponentChoiceEndsForEverySize)
{
  DhContextPtr context(dh_new_from_group(&group1));
  int q_bits = bn_bit_count(context->q);
  ASSERT_EQ(q_bits, 1023);
  for (int bits : {0, 1, 8, 160, q_bits - 2, q_bits - 1, q_bits, q_bits + 1, 4096}) {
    BigNumPtr e(dh_make_public(context.get(), bits));
    ASSERT_TRUE(e);
    EXPECT_GT(bn_compare(context->x, bn_one), 0) << bits;
    EXPECT_LT(bn_compare(context->x, context->q), 0) << bits;
  }

  // A small server group: p = 23 (q = 11), whatever size is asked.
  BigNumPtr p(bn_new(1)), g(bn_new(1));
  p.get()[1] = 23;
  g.get()[1] = 5;
  DhContextPtr small(dh_new_from_params(p.get(), g.get()));
  ASSERT_TRUE(small);
  for (int bits : {0, 1, 2, 3, 4, 5, 64}) {
    for (int round = 0; round < 20; ++round) {
      BigNumPtr e(dh_make_public(small.get(), bits));
      EXPECT_GT(bn_compare(small->x, bn_one), 0);
      EXPECT_LT(bn_compare(small->x, small->q), 0);
    }
  }
}

TEST(DhHostileInput, TrivialGroupsAndValuesAreRefused)
{
  auto value = [](BigNumWord word) {
    BigNumPtr v(bn_new(1));
    v.get()[1] = word;
    return v;
  };
  auto accepted = [&](BigNumWord p, BigNumWord g) {
    DhContextPtr context(dh_new_from_params(value(p).get(), value(g).get()));
    return context != nullptr;
  };
  EXPECT_TRUE(accepted(23, 5));
  EXPECT_FALSE(accepted(0, 2));
  EXPECT_FALSE(accepted(1, 2));
  EXPECT_FALSE(accepted(7, 2));    // too small to leave a choice of exponent
  EXPECT_FALSE(accepted(24, 5));   // even
  EXPECT_FALSE(accepted(23, 1));   // g = 1
  EXPECT_FALSE(accepted(23, 22));  // g = p - 1
  EXPECT_FALSE(accepted(23, 23));
  EXPECT_FALSE(accepted(23, 0));
  auto odd_of_bits = [](int bits) {
    BigNumPtr p(bn_power_of_two(bits - 1));
    p.get()[1] |= 1;
    return p;
  };
  EXPECT_NE(DhContextPtr(dh_new_from_params(odd_of_bits(8192).get(), value(2).get())), nullptr);
  EXPECT_EQ(DhContextPtr(dh_new_from_params(odd_of_bits(8193).get(), value(2).get())), nullptr);

  DhContextPtr context(dh_new_from_group(&group14));
  BigNumPtr e(dh_make_public(context.get(), 160));
  BigNumPtr p_minus_1(bn_copy(context->p));
  bn_decrement(p_minus_1.get());
  BigNumPtr p_plus_1(bn_add(context->p, bn_one));
  for (ConstBigNum f : {static_cast<ConstBigNum>(bn_zero), static_cast<ConstBigNum>(bn_one),
                        static_cast<ConstBigNum>(p_minus_1.get()), static_cast<ConstBigNum>(context->p),
                        static_cast<ConstBigNum>(p_plus_1.get())})
    EXPECT_EQ(dh_shared_secret(context.get(), f), nullptr);
  BigNumPtr two = value(2);
  BigNumPtr secret(dh_shared_secret(context.get(), two.get()));
  EXPECT_TRUE(secret);
}

}  // namespace

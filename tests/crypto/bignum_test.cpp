#include "crypto/bignum.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/crypto/bignum_test_support.h"
#include "tests/support/scoped_env.h"

using namespace bignum_testing;

namespace {

BigNumPtr bytes_value(std::vector<unsigned char> bytes)
{
  return BigNumPtr(bn_from_bytes_be(bytes.data(), static_cast<int>(bytes.size())));
}

TEST(BigNumEdges, BitCounts)
{
  EXPECT_EQ(bn_bit_count(bn_zero), 0);
  EXPECT_EQ(bn_bit_count(bn_one), 1);
  BigNumPtr two32(bn_power_of_two(32));
  EXPECT_EQ(bn_bit_count(two32.get()), 33);
  EXPECT_EQ(two32.get()[0], 2u);
  BigNumPtr padded(bn_new(8));
  EXPECT_EQ(bn_bit_count(padded.get()), 0);
  bn_set_bit(padded.get(), 200, 1);
  EXPECT_EQ(bn_bit_count(padded.get()), 201);
  bn_set_bit(padded.get(), 256, 1);  // beyond the capacity: ignored
  EXPECT_EQ(bn_bit_count(padded.get()), 201);
  bn_set_bit(padded.get(), 200, 0);
  EXPECT_EQ(bn_bit_count(padded.get()), 0);
}

TEST(BigNumEdges, MpintAndSsh1Sizes)
{
  EXPECT_EQ(bn_mpint_size(bytes_value({0x80}).get()), 6);
  EXPECT_EQ(bn_mpint_size(bytes_value({0x7F}).get()), 5);
  EXPECT_EQ(bn_mpint_size(bn_zero), 5);
  EXPECT_EQ(bn_ssh1_size(bytes_value({0x01, 0xFF}).get()), 4);
}

TEST(BigNumEdges, Ssh1ReadAndWrite)
{
  const unsigned char wire[] = {0x00, 0x09, 0x01, 0xFF};
  BigNum value = nullptr;
  EXPECT_EQ(bn_read_ssh1(wire, 4, &value), 4);
  BigNumPtr owned(value);
  EXPECT_EQ(to_hex(value), "1ff");
  EXPECT_EQ(bn_read_ssh1(wire, 3, nullptr), -1);
  EXPECT_EQ(bn_read_ssh1(wire, 1, nullptr), -1);
  EXPECT_EQ(bn_read_ssh1(wire, 4, nullptr), 4);

  unsigned char out[8] = {};
  EXPECT_EQ(bn_write_ssh1(out, value), 4);
  EXPECT_EQ(std::vector<unsigned char>(out, out + 4), std::vector<unsigned char>(wire, wire + 4));
}

TEST(BigNumEdges, FromBytesTrimsLeadingZeros)
{
  BigNumPtr value = bytes_value({0, 0, 0, 0, 1});
  EXPECT_EQ(value.get()[0], 1u);
  EXPECT_EQ(value.get()[1], 1u);
  BigNumPtr empty = bytes_value({});
  EXPECT_EQ(bn_bit_count(empty.get()), 0);
  EXPECT_EQ(bn_byte_at(value.get(), 100), 0);
}

TEST(BigNumEdges, CompareIgnoresCapacity)
{
  BigNumPtr wide(bn_new(10));
  bn_set_bit(wide.get(), 0, 1);
  EXPECT_EQ(bn_compare(wide.get(), bn_one), 0);
  EXPECT_EQ(bn_compare(bn_zero, bn_one), -1);
  EXPECT_EQ(bn_compare(bn_one, bn_zero), 1);
}

TEST(BigNumEdges, DecrementBorrowsAcrossWords)
{
  BigNumPtr value(bn_power_of_two(64));
  bn_decrement(value.get());
  EXPECT_EQ(to_hex(value.get()), "ffffffffffffffff");
}

TEST(BigNumEdges, InverseAndZeroModulus)
{
  BigNumPtr three = bytes_value({3}), seven = bytes_value({7}), six = bytes_value({6});
  BigNumPtr inverse(bn_mod_inverse(three.get(), seven.get()));
  ASSERT_TRUE(inverse);
  EXPECT_EQ(to_hex(inverse.get()), "5");
  EXPECT_EQ(bn_mod_inverse(three.get(), six.get()), nullptr);
  EXPECT_EQ(bn_mod_inverse(bn_zero, seven.get()), nullptr);
  EXPECT_EQ(bn_mod_inverse(three.get(), bn_zero), nullptr);
  EXPECT_EQ(bn_mod(three.get(), bn_zero), nullptr);
  EXPECT_EQ(bn_mod_pow(three.get(), three.get(), bn_zero), nullptr);
  EXPECT_EQ(bn_mod_mul(three.get(), three.get(), bn_zero), nullptr);
  BigNum remainder = nullptr;
  EXPECT_FALSE(bn_divide(three.get(), bn_zero, &remainder, nullptr));
  EXPECT_EQ(remainder, nullptr);
}

TEST(BigNumEdges, ReleasingSharedConstantsIsHarmless)
{
  bn_release(bn_zero);
  bn_release(bn_one);
  bn_release(nullptr);
  EXPECT_EQ(bn_bit_count(bn_one), 1);
  EXPECT_EQ(bn_bit_count(bn_zero), 0);
}

TEST(BigNumEdges, PowerEdgeValues)
{
  BigNumPtr m = bytes_value({0x01, 0x00, 0x01});  // odd
  BigNumPtr result(bn_mod_pow(bytes_value({5}).get(), bn_zero, m.get()));
  EXPECT_EQ(to_hex(result.get()), "1");
  result.reset(bn_mod_pow(bytes_value({5}).get(), bn_zero, bn_one));
  EXPECT_EQ(to_hex(result.get()), "0");
  result.reset(bn_mod_pow(bn_zero, bytes_value({5}).get(), m.get()));
  EXPECT_EQ(to_hex(result.get()), "0");
  BigNumPtr even = bytes_value({0x10, 0x00});
  result.reset(bn_mod_pow(bytes_value({3}).get(), bytes_value({0x20}).get(), even.get()));
  EXPECT_EQ(to_hex(result.get()), "e81");  // 3^32 mod 4096
}

// Random operands whose words lean towards the values that take the rare division paths.
class OperandMaker {
 public:
  explicit OperandMaker(uint64_t seed) : random_(seed) {}

  BigNumPtr make(int max_bits, bool nonzero = false)
  {
    for (;;) {
      int bits = 1 + static_cast<int>(random_() % max_bits);
      int words = (bits + 31) / 32;
      BigNumPtr value(bn_new(words + static_cast<int>(random_() % 2)));
      for (int i = 1; i <= words; ++i)
        value.get()[i] = word();
      if (bits % 32)
        value.get()[words] &= (BigNumWord{1} << (bits % 32)) - 1;
      if (!nonzero || !bn_is_zero(value.get()))
        return value;
    }
  }

  BigNumPtr make_odd(int max_bits)
  {
    BigNumPtr value = make(max_bits);
    bn_set_bit(value.get(), 0, 1);
    return value;
  }

  uint32_t below(uint32_t n) { return static_cast<uint32_t>(random_() % n); }

 private:
  BigNumWord word()
  {
    switch (random_() % 8) {
      case 0: return 0;
      case 1: return 0xFFFFFFFFu;
      case 2: return 0x80000000u;
      case 3: return 0x7FFFFFFFu;
      default: return static_cast<BigNumWord>(random_());
    }
  }

  std::mt19937_64 random_;
};

std::string hex_or_none(BigNum value)
{
  if (!value)
    return "none";
  std::string text = to_hex(value);
  bn_release(value);
  return text;
}

TEST(BigNumAgainstPython, RandomOperations)
{
  testing_support::TempFolder folder;
  std::string cases_path = folder / "cases.txt";
  std::ofstream cases(cases_path);
  OperandMaker maker(20260101);
  int written = 0;
  auto line = [&](const std::string &text) {
    cases << text << '\n';
    ++written;
  };

  for (int i = 0; i < 12000; ++i) {
    BigNumPtr a = maker.make(8192), m = maker.make(i % 3 ? 8192 : 256, true);
    BigNum remainder = nullptr, quotient = nullptr;
    ASSERT_TRUE(bn_divide(a.get(), m.get(), &remainder, &quotient));
    line("divmod " + to_hex(a.get()) + " " + to_hex(m.get()) + " " + hex_or_none(remainder) + " " +
         hex_or_none(quotient));
  }
  for (int i = 0; i < 6000; ++i) {
    BigNumPtr a = maker.make(i % 10 ? 1024 : 8192), b = maker.make(i % 10 ? 1024 : 8192),
              c = maker.make(2048);
    line("mul " + to_hex(a.get()) + " " + to_hex(b.get()) + " " + hex_or_none(bn_mul(a.get(), b.get())));
    line("muladd " + to_hex(a.get()) + " " + to_hex(b.get()) + " " + to_hex(c.get()) + " " +
         hex_or_none(bn_mul_add(a.get(), b.get(), c.get())));
  }
  for (int i = 0; i < 3000; ++i) {
    BigNumPtr a = maker.make(4096), b = maker.make(4096), m = maker.make(2048, true);
    line("modmul " + to_hex(a.get()) + " " + to_hex(b.get()) + " " + to_hex(m.get()) + " " +
         hex_or_none(bn_mod_mul(a.get(), b.get(), m.get())));
    line("add " + to_hex(a.get()) + " " + to_hex(b.get()) + " " + hex_or_none(bn_add(a.get(), b.get())));
    line("sub " + to_hex(a.get()) + " " + to_hex(b.get()) + " " +
         hex_or_none(bn_subtract(a.get(), b.get())));
    line("cmp " + to_hex(a.get()) + " " + to_hex(b.get()) + " " +
         std::to_string(bn_compare(a.get(), b.get())));
    int shift = static_cast<int>(maker.below(4200));
    char shift_hex[16];
    std::snprintf(shift_hex, sizeof shift_hex, "%x", shift);
    line("shr " + to_hex(a.get()) + " " + shift_hex + " " + hex_or_none(bn_shift_right(a.get(), shift)));
    line("topmask " + to_hex(a.get()) + " " + hex_or_none(bn_top_mask(a.get())));
  }
  for (int i = 0; i < 1200; ++i) {
    int bits = i < 1000 ? 1024 : i < 1180 ? 2048 : i < 1196 ? 4096 : 8192;
    BigNumPtr base = maker.make(bits + 64), exponent = maker.make(bits);
    BigNumPtr m = i % 5 ? maker.make_odd(bits) : maker.make(bits, true);
    line("modpow " + to_hex(base.get()) + " " + to_hex(exponent.get()) + " " + to_hex(m.get()) + " " +
         hex_or_none(bn_mod_pow(base.get(), exponent.get(), m.get())));
  }
  for (int i = 0; i < 2000; ++i) {
    BigNumPtr a = maker.make(2048), m = maker.make(i % 2 ? 2048 : 64, true);
    line("modinv " + to_hex(a.get()) + " " + to_hex(m.get()) + " " +
         hex_or_none(bn_mod_inverse(a.get(), m.get())));
  }
  cases.close();

  std::string output = run_command("/usr/bin/python3 " MIRVALE_SOURCE_DIR
                                   "/tests/crypto/bignum_python_check.py " + cases_path);
  EXPECT_EQ(output, "cases " + std::to_string(written) + " failures 0\n");
}

}  // namespace

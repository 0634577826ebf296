// The SSH wire buffer: every encoding read back as written, fixed byte forms, and failure that
// sticks once the input runs short.
#include "crypto/wire_buffer.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::string hex(const std::vector<unsigned char>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : bytes) text += {digits[b >> 4], digits[b & 15]};
  return text;
}

BigNum number(BigNumWord word) {
  BigNum value = bn_new(1);
  value[1] = word;
  return value;
}

}  // namespace

TEST(WireBuffer, WritesTheSshFormsAndReadsThemBack) {
  BigNumPtr top_bit(number(0x80));
  BigNumPtr small(number(0x1234));
  WireBuffer out;
  out.put_byte(7);
  out.put_bool(true);
  out.put_uint32(0x01020304);
  out.put_string("ab");
  out.put_mpint(top_bit.get());  // gains a zero byte so it does not read as negative
  out.put_mpint(bn_zero);
  out.put_mpint_ssh1(small.get());
  EXPECT_EQ(hex(out.bytes()),
            "07"
            "01"
            "01020304"
            "000000026162"
            "000000020080"
            "00000000"
            "000d1234");

  WireBuffer in(out.data(), static_cast<std::ptrdiff_t>(out.size()));
  EXPECT_EQ(in.get_byte(), 7);
  EXPECT_TRUE(in.get_bool());
  EXPECT_EQ(in.get_uint32(), 0x01020304u);
  EXPECT_EQ(in.get_string(), "ab");
  BigNumPtr read_top(in.get_mpint());
  BigNumPtr read_zero(in.get_mpint());
  BigNumPtr read_small(in.get_mpint_ssh1());
  EXPECT_EQ(bn_compare(read_top.get(), top_bit.get()), 0);
  EXPECT_EQ(bn_compare(read_zero.get(), bn_zero), 0);
  EXPECT_EQ(bn_compare(read_small.get(), small.get()), 0);
  EXPECT_FALSE(in.failed());
  EXPECT_EQ(in.remaining(), 0u);
}

TEST(WireBuffer, ShortOrHostileInputFailsAndStaysFailed) {
  const unsigned char claims_more[] = {0, 0, 0, 9, 'a', 'b'};  // a string longer than the input
  WireBuffer in(claims_more, sizeof claims_more);
  EXPECT_EQ(in.get_string(), "");
  EXPECT_TRUE(in.failed());
  EXPECT_EQ(in.get_byte(), 0);  // a later read that would fit still fails
  EXPECT_EQ(in.get_mpint(), nullptr);

  const unsigned char negative[] = {0, 0, 0, 1, 0x80};
  WireBuffer signed_value(negative, sizeof negative);
  EXPECT_EQ(signed_value.get_mpint(), nullptr);
  EXPECT_TRUE(signed_value.failed());

  const unsigned char huge_length[] = {0xff, 0xff, 0xff, 0xff};
  WireBuffer wrap(huge_length, sizeof huge_length);
  EXPECT_EQ(wrap.get_string().size(), 0u);
  EXPECT_TRUE(wrap.failed());

  WireBuffer nothing(nullptr, -1);
  EXPECT_EQ(nothing.get_uint32(), 0u);
  EXPECT_TRUE(nothing.failed());
}

TEST(WireBuffer, AppendingToAViewCopiesItFirst) {
  const unsigned char given[] = {1, 2};
  WireBuffer buffer(given, sizeof given);
  EXPECT_EQ(buffer.get_byte(), 1);
  buffer.put_byte(3);
  EXPECT_EQ(hex(buffer.bytes()), "010203");
  EXPECT_EQ(buffer.get_byte(), 2);
  EXPECT_EQ(buffer.get_byte(), 3);
  EXPECT_FALSE(buffer.failed());
}

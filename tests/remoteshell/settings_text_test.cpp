#include "remoteshell/core/settings_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Base64Group, PadsShortGroups) {
  char out[5] = {};
  const unsigned char a[] = {0x61};
  base64_encode_group(a, 1, out);
  EXPECT_STREQ(out, "YQ==");
  const unsigned char ab[] = {'a', 'b'};
  base64_encode_group(ab, 2, out);
  EXPECT_STREQ(out, "YWI=");
  const unsigned char full[] = {0xFB, 0xFF, 0xBF};
  base64_encode_group(full, 3, out);
  EXPECT_STREQ(out, "+/+/");
}

TEST(BlockSize, UnitsBlanksAndSixtyFourBits) {
  EXPECT_EQ(parse_block_size("2k"), 2048u);
  EXPECT_EQ(parse_block_size("1 M"), 1048576u);
  EXPECT_EQ(parse_block_size("10x"), 10u);
  EXPECT_EQ(parse_block_size("1G"), 1073741824u);
  EXPECT_EQ(parse_block_size("4G"), 4294967296u);  // would wrap a 32-bit size
  EXPECT_EQ(parse_block_size("3g"), 3221225472u);
  EXPECT_EQ(parse_block_size(""), 0u);
}

struct ControlCase {
  const char* text;
  unsigned value;
  int consumed;  // -1: next null; -2: next unchanged
};

TEST(ControlChar, Notations) {
  const ControlCase cases[] = {
      {"^<27>x", 27, 5}, {"^[", 27, 2},       {"^~", 94, 2},      {"^<>", 0, -1},     {"^<0x1b>", 27, 7},
      {"^<033>", 27, 6}, {"^a", 1, 2},        {"^z", 26, 2},      {"^@", 0, 2},       {"^?", 127, 2},
      {"^_", 31, 2},     {"^\xC1", 0x81, 2},  {"^<12", 0, -1},    {"x", 0, -1},       {"^", 0, -1},
      {"^1", 0, -2},     {"^<256>", 0, -1},   {"^<255>", 255, 6}, {"^<99999999999999999999>", 0, -1},
  };
  for (const auto& c : cases) {
    const char* sentinel = "unchanged";
    const char* next = sentinel;
    EXPECT_EQ(parse_control_char(c.text, &next), c.value) << c.text;
    if (c.consumed == -1) EXPECT_EQ(next, nullptr) << c.text;
    else if (c.consumed == -2) EXPECT_EQ(next, sentinel) << c.text;
    else EXPECT_EQ(next, c.text + c.consumed) << c.text;
  }
}

}  // namespace

#include "remoteshell/core/version_pattern.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionPattern, ListedCases) {
  EXPECT_EQ(version_pattern_match("OpenSSH_2.[0-2]*", "OpenSSH_2.1p1"), 1);
  EXPECT_EQ(version_pattern_match("OpenSSH_2.[0-2]*", "OpenSSH_2.3"), 0);
  EXPECT_EQ(version_pattern_match("*abc", "xxabc"), 1);
  EXPECT_EQ(version_pattern_match("*abc", "xxabcd"), 0);
  EXPECT_EQ(version_pattern_match("[z-a]", "m"), 1);
  EXPECT_EQ(version_pattern_match("ab\\", "abc"), -1);
  EXPECT_EQ(version_pattern_match("ab\\", "ab"), 0);
}

TEST(VersionPattern, StarsQuestionMarksAndClasses) {
  EXPECT_EQ(version_pattern_match("*", ""), 1);
  EXPECT_EQ(version_pattern_match("", ""), 1);
  EXPECT_EQ(version_pattern_match("", "a"), 0);
  EXPECT_EQ(version_pattern_match("a*", "a"), 1);
  EXPECT_EQ(version_pattern_match("a*c*e", "abcde"), 1);
  EXPECT_EQ(version_pattern_match("a*c*e", "abcd"), 0);
  EXPECT_EQ(version_pattern_match("*ab*ab", "abab"), 1);
  EXPECT_EQ(version_pattern_match("*ab", "abxab"), 1);  // first hit is not at the end
  EXPECT_EQ(version_pattern_match("a?c", "abc"), 1);
  EXPECT_EQ(version_pattern_match("a?c", "ac"), 0);
  EXPECT_EQ(version_pattern_match("Abc", "abc"), 0);
  EXPECT_EQ(version_pattern_match("[^a-c]x", "dx"), 1);
  EXPECT_EQ(version_pattern_match("[^a-c]x", "bx"), 0);
  EXPECT_EQ(version_pattern_match("[\\]]", "]"), 1);
  EXPECT_EQ(version_pattern_match("\\*", "*"), 1);
  EXPECT_EQ(version_pattern_match("\\*", "a"), 0);
}

TEST(VersionPattern, BadPatterns) {
  EXPECT_EQ(version_pattern_match("[abc", "a"), -2);
  EXPECT_EQ(version_pattern_match("[a-]", "a"), -3);
  EXPECT_EQ(version_pattern_match("*x\\", "ax"), 0);
  EXPECT_EQ(version_pattern_match("*x\\", "axy"), -1);
}

}  // namespace

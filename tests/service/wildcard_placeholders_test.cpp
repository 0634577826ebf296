#include <gtest/gtest.h>

#include "service/actions/placeholders.h"
#include "service/actions/wildcard_match.h"

using mirvale::WildcardMatch;

TEST(WildcardMatch, StarsCaseAndTheDocumentedMisses) {
  EXPECT_TRUE(WildcardMatch("Serial0/1", "serial*"));
  EXPECT_TRUE(WildcardMatch("abc", "a*c"));
  EXPECT_FALSE(WildcardMatch("abc", "a*b"));
  EXPECT_TRUE(WildcardMatch("", ""));
  EXPECT_FALSE(WildcardMatch("x", ""));
  EXPECT_TRUE(WildcardMatch("", "*"));
  EXPECT_TRUE(WildcardMatch("anything at all", "*"));
  EXPECT_TRUE(WildcardMatch("interface GigabitEthernet0/1", "*GIGABIT*"));
  EXPECT_FALSE(WildcardMatch("a?c", "abc")) << "no other special character";
  EXPECT_TRUE(WildcardMatch("a?c", "a?c"));
  // The matcher resumes only at the last star: kept as stored actions expect it.
  EXPECT_FALSE(WildcardMatch("aaab", "*aab"));
  EXPECT_TRUE(WildcardMatch("xaab", "*aab"));
}

TEST(Placeholders, FirstOccurrenceOfEachInOnePass) {
  mirvale::PlaceholderValues values{"p1", "10.0.0.1", "$pool-name", "act", "2026-12-09 10:00:00"};
  EXPECT_EQ(mirvale::ReplacePlaceholders("$device and $device", values), "10.0.0.1 and $device");
  // A value holding a placeholder is not expanded again.
  EXPECT_EQ(mirvale::ReplacePlaceholders("$name/$pool", values), "$pool-name/p1");
  EXPECT_EQ(mirvale::ReplacePlaceholders("$date $action $nothing", values), "2026-12-09 10:00:00 act $nothing");
  values.name = "evil\r\nBcc: someone";
  EXPECT_EQ(mirvale::ReplacePlaceholdersInSubject("From $name\r\n", values), "From evil  Bcc: someone\r\n");
  EXPECT_EQ(mirvale::ReplacePlaceholders("$name", values), "evil\r\nBcc: someone") << "bodies keep line breaks";
}

TEST(Placeholders, RunArgumentsAreAVectorNeverAShellLine) {
  mirvale::PlaceholderValues values{"p1", "10.0.0.1", "host; rm -rf /", "a", "d"};
  EXPECT_EQ(mirvale::BuildRunArguments("/c echo $pool", values), (std::vector<std::string>{"/c", "echo", "p1"}));
  EXPECT_EQ(mirvale::BuildRunArguments("--name=$name $name", values),
            (std::vector<std::string>{"--name=host; rm -rf /", "$name"}));
  EXPECT_EQ(mirvale::BuildRunArguments("\"two words\"  $device \"\"", values),
            (std::vector<std::string>{"two words", "10.0.0.1", ""}));
  EXPECT_TRUE(mirvale::BuildRunArguments("   ", values).empty());
}

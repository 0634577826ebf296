// The rules both programs apply to the shared records: configuration lines keyed 1, 2, … up to
// the first gap, which statuses count as failures, and which blanks a trim cuts.
#include <gtest/gtest.h>

#include "common/configuration_lines.h"
#include "common/status_texts.h"
#include "common/text_trim.h"

namespace mirvale {
namespace {

CDbQuery Line(const std::string& value, const std::string& time) {
  CDbQuery line;
  line.m_strValue = value;
  line.m_strTime = time;
  return line;
}

TEST(ConfigurationLines, WrittenKeysReadBackInOrderUpToTheFirstGap) {
  CDbItem device;
  device.m_strScanTime = "200";
  const std::vector<std::string> texts = {"hostname r1", "interface e0", " ip address 10.0.0.1"};
  for (size_t position = 0; position < texts.size(); ++position)
    device.m_pQueries.FindOrAdd(ConfigurationLineKey(position)) = Line(texts[position], "200");
  device.m_pQueries.FindOrAdd("5") = Line("after a gap", "200");
  device.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5.0") = Line("an SNMP value", "200");
  device.m_pQueries.FindOrAdd("3").m_strTime = "100";  // kept from an earlier scan

  EXPECT_EQ(ConfigurationLineKey(0), "1") << "the stored files number lines from 1";
  const std::vector<const CDbQuery*> lines = ConfigurationLines(device);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]->m_strValue, "hostname r1");
  EXPECT_EQ(lines[2]->m_strValue, " ip address 10.0.0.1");
  EXPECT_TRUE(IsCurrentLine(*lines[0], device));
  EXPECT_FALSE(IsCurrentLine(*lines[2], device));
  EXPECT_FALSE(IsCurrentLine(Line("", "200"), device)) << "an emptied line is not current";
}

TEST(SharedTexts, FailureGroupAndTrim) {
  EXPECT_TRUE(IsFailureStatus("No response from device"));
  EXPECT_TRUE(IsFailureStatus("Failed due to logon failure"));
  EXPECT_FALSE(IsFailureStatus("Device unreachable"));
  EXPECT_FALSE(IsFailureStatus("Finished with changes"));
  EXPECT_EQ(Trim(" \t\r\n\v\fshow run\f\v\n\r\t "), "show run");
  EXPECT_EQ(TrimLeft("  a b  "), "a b  ");
  EXPECT_EQ(TrimRight("  a b  "), "  a b");
  EXPECT_EQ(Trim(" \t "), "");
}

}  // namespace
}  // namespace mirvale

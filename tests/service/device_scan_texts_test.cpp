#include "service/scanning/device_scan_texts.h"

#include <gtest/gtest.h>

namespace mirvale {
namespace {

TEST(DeviceScanTexts, InstanceNamesFollowTheQuery) {
  EXPECT_EQ(QueryInstanceName("1.3.6.1.2.1.1.5", "sysName", "1.3.6.1.2.1.1.5.0"), "sysName");
  EXPECT_EQ(QueryInstanceName("1.3.6.1.2.1.2.2.1.2", "ifDescr", "1.3.6.1.2.1.2.2.1.2.1"), "ifDescr.1");
  EXPECT_EQ(QueryInstanceName("1.3.6.1.2.1.2.2.1.2", "ifDescr", "1.3.6.1.2.1.2.2.1.2.12"), "ifDescr.12");
  EXPECT_EQ(QueryInstanceName("1.3.6.1.4.1.9", "t", "1.3.6.1.4.1.9.5.0"), "t.5");
  EXPECT_EQ(QueryInstanceName("1.3.6.1.4.1.9", "t", "1.3.6.1.4.1.9.0.5"), "t.0.5");
  EXPECT_EQ(QueryInstanceName("1", "", "1.3.6.1.2.1.1.5.0"), "");
  EXPECT_EQ(OidArcCount("1"), 1);
  EXPECT_EQ(OidArcCount("1.3.6.1.2.1.2.2.1.1"), 10);
}

TEST(DeviceScanTexts, EchoDataCarriesTheTokenInThirtyTwoBytes) {
  std::string data = EchoData(4711);
  EXPECT_EQ(data.size(), 32u);
  EXPECT_EQ(data.substr(0, 5), std::string("4711\0", 5));
  EXPECT_TRUE(EchoReplyMatches(data, 4711));
  EXPECT_FALSE(EchoReplyMatches(data, 471));
  EXPECT_FALSE(EchoReplyMatches("", 0));
  EXPECT_FALSE(EchoReplyMatches("x4711", 4711));
}

}  // namespace
}  // namespace mirvale

// ICMP echo on the private loopback of the test's own network namespace.
#include "platform/icmp_echo.h"

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "tests/support/snmp_agent.h"

namespace {

using namespace std::chrono_literals;
using platform::IcmpEcho;
using platform::IcmpSocketKind;

class IcmpEchoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  }
  static void Sysctl(const std::string& name, const std::string& value) {
    ASSERT_TRUE(platform::WriteFileAtomically("/proc/sys/net/ipv4/" + name, value) ||
                platform::AppendToFile("/proc/sys/net/ipv4/" + name, value));
  }
};

TEST_F(IcmpEchoTest, DatagramAndRawSocketsBothGetTheirDataBack) {
  Sysctl("ping_group_range", "0 2147483647");
  std::string data = "12345";
  data.resize(32, 'x');
  EXPECT_EQ(IcmpEcho("127.0.0.1", data, 1000ms, IcmpSocketKind::Datagram), data);
  EXPECT_EQ(IcmpEcho("127.0.0.3", data, 1000ms, IcmpSocketKind::Raw), data);
  EXPECT_EQ(IcmpEcho("localhost", data, 1000ms), data);
}

TEST_F(IcmpEchoTest, RootFallsBackToRawWhenDatagramsAreNotAllowed) {
  Sysctl("ping_group_range", "1 0");
  EXPECT_FALSE(IcmpEcho("127.0.0.1", "abc", 200ms, IcmpSocketKind::Datagram));
  EXPECT_EQ(IcmpEcho("127.0.0.1", "abc", 1000ms), "abc");
}

TEST_F(IcmpEchoTest, SilentHostOrUnknownNameGivesNothing) {
  Sysctl("ping_group_range", "0 2147483647");
  EXPECT_FALSE(IcmpEcho("no-such-host.invalid", "abc", 200ms));
  EXPECT_FALSE(IcmpEcho("", "abc", 200ms));
  Sysctl("icmp_echo_ignore_all", "1");
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(IcmpEcho("127.0.0.1", "abc", 300ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
  Sysctl("icmp_echo_ignore_all", "0");
}

}  // namespace

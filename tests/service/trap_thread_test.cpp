#include "service/actions/trap_thread.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_env.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

class TrapActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  }
  testing_support::TempFolder folder_;
};

TEST_F(TrapActionTest, EachManagerReceivesOneTrapWithTheMessage) {
  testing_support::TrapReceiver receiver;
  ASSERT_TRUE(receiver.Ready());
  CSnmpClient client(folder_ / "snmpv3_boot_counter");
  std::string message = "Pool=core, Device=10.1.1.1, Name=sw1, Action=alert, Date=now";
  CConfigurationTrapThread action(client, message, "127.0.0.1; 127.0.0.2;");
  EXPECT_EQ(action.Run(), 2);
  ASSERT_TRUE(receiver.WaitForLines("enterprise .1.3.6.1.3 generic 6 specific .1 vars", 2)) << receiver.LogText();
  std::string log = receiver.LogText();
  EXPECT_NE(log.find("->[127.0.0.1]:162"), std::string::npos) << log;
  EXPECT_NE(log.find("->[127.0.0.2]:162"), std::string::npos) << log;
  EXPECT_NE(log.find(".1.3.6.1.3.1 = STRING: \"" + message + "\""), std::string::npos) << log;
}

TEST_F(TrapActionTest, UnresolvableManagerIsSkippedAndTheNextStillServed) {
  testing_support::TrapReceiver receiver;
  ASSERT_TRUE(receiver.Ready());
  CSnmpClient client(folder_ / "snmpv3_boot_counter");
  CConfigurationTrapThread action(client, "hello", "no-such-manager.invalid;127.0.0.1");
  EXPECT_EQ(action.Run(), 1);
  EXPECT_TRUE(receiver.WaitForLines("hello", 1)) << receiver.LogText();
  EXPECT_EQ(CConfigurationTrapThread(client, "nothing", " ; ").Run(), 0);
}

}  // namespace
}  // namespace mirvale

// The SNMP client against a real snmpd (and a small odd agent) on the private loopback of a
// network namespace that the test process makes for itself.
#include "service/scanning/snmp_client.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "service/scanning/snmp_boot_counter.h"
#include "tests/support/scoped_env.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using testing_support::OddSnmpAgent;
using testing_support::SnmpAgent;
using testing_support::TempFolder;

const std::vector<std::string> kAgentConfig = {
    "rocommunity public default",
    "rwcommunity private default",
    "createUser alice MD5 alicepass1 DES alicepriv1",
    "createUser bob SHA bobpass12",
    "rwuser alice priv",
    "rouser bob auth",
    "sysName testhost",
};

SnmpSettings Community(std::string read = "public", std::string write = "private") {
  SnmpSettings settings;
  settings.m_bSnmpV1 = 1;
  // Generous for a loaded machine; failures that matter here are answered, not timed out.
  settings.m_nRetries = 1;
  settings.m_nTimeout = 2;
  settings.m_strReadCommunity = std::move(read);
  settings.m_strWriteCommunity = std::move(write);
  return settings;
}

SnmpSettings User(std::string name, int level, int auth, std::string authPassword, int privacy = 1,
                  std::string privacyPassword = "") {
  SnmpSettings settings;
  settings.m_bSnmpV3 = 1;
  settings.m_nRetries = 1;
  settings.m_nTimeout = 2;
  settings.m_nSecurityLevel = level;
  settings.m_nAuthProtocol = auth;
  settings.m_nPrivacyProtocol = privacy;
  settings.m_strSecurityName = std::move(name);
  settings.m_strAuthPassword = std::move(authPassword);
  settings.m_strPrivacyPassword = std::move(privacyPassword);
  return settings;
}

SnmpSettings Alice() { return User("alice", 3, 2, "alicepass1", 2, "alicepriv1"); }

class SnmpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  }
  std::string CounterPath() const { return folder_ / "snmpv3_boot_counter"; }
  TempFolder folder_;
};

std::optional<std::string> Get(CSnmpClient& client, const SnmpSettings& settings, const std::string& oid,
                               const std::string& address = "127.0.0.1") {
  SnmpValueSlot slot{oid, ""};
  if (!client.Request(SnmpRequestMode::Get, address, settings, std::span(&slot, 1))) return std::nullopt;
  return slot.value;
}

// Walks like the device scan: get-next steps until one fails; bounded so a fault cannot hang.
std::vector<SnmpValueSlot> Walk(CSnmpClient& client, const SnmpSettings& settings, const std::string& oid,
                                int prefixArcs) {
  std::vector<SnmpValueSlot> found;
  SnmpValueSlot slot{oid, ""};
  while (found.size() < 1000 && client.Request(SnmpRequestMode::GetNext, "127.0.0.1", settings, std::span(&slot, 1), prefixArcs))
    found.push_back(slot);
  return found;
}

TEST_F(SnmpClientTest, CommunityGetReadsIdentityAndName) {
  SnmpAgent agent(kAgentConfig);
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CSnmpClient client(CounterPath());
  SnmpValueSlot slots[2] = {{"1.3.6.1.2.1.1.2.0", ""}, {"1.3.6.1.2.1.1.5.0", ""}};
  ASSERT_TRUE(client.Request(SnmpRequestMode::Get, "127.0.0.1", Community(), slots));
  EXPECT_EQ(slots[0].oid, "1.3.6.1.2.1.1.2.0");
  EXPECT_EQ(slots[0].value.rfind("1.3.6.1.4.1.", 0), 0u) << slots[0].value;
  EXPECT_EQ(slots[1].value, "testhost");
  // A host name resolves; a wrong community or an absent object fails.
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.2.1.1.5.0", "localhost"), "testhost");
  EXPECT_FALSE(Get(client, Community("wrong"), "1.3.6.1.2.1.1.5.0"));
  EXPECT_FALSE(Get(client, Community(), "1.3.6.1.2.1.1.99.0"));
  EXPECT_FALSE(Get(client, Community(), "1.3.6.1.2.1.1.5.0", "no-such-host.invalid"));
  EXPECT_FALSE(Get(client, Community(), "not.an.oid"));
}

TEST_F(SnmpClientTest, WalkStaysUnderItsPrefixAndEnds) {
  SnmpAgent agent(kAgentConfig);
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CSnmpClient client(CounterPath());
  auto interfaces = Walk(client, Community(), "1.3.6.1.2.1.2.2.1.1", 10);
  ASSERT_FALSE(interfaces.empty());
  EXPECT_EQ(interfaces.front().oid, "1.3.6.1.2.1.2.2.1.1." + interfaces.front().value);
  for (const auto& step : interfaces) EXPECT_EQ(step.oid.rfind("1.3.6.1.2.1.2.2.1.1.", 0), 0u) << step.oid;

  // The address table: two columns in one request per step.
  SnmpValueSlot pair[2] = {{"1.3.6.1.2.1.4.20.1.1", ""}, {"1.3.6.1.2.1.4.20.1.2", ""}};
  std::vector<std::string> addresses;
  while (addresses.size() < 100 && client.Request(SnmpRequestMode::GetNext, "127.0.0.1", Community(), pair, 10))
    addresses.push_back(pair[0].value + "/" + pair[1].value);
  EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1/1"), addresses.end());
}

TEST_F(SnmpClientTest, CommunitySetChangesTheValueWithTheWriteCommunityOnly) {
  SnmpAgent agent(kAgentConfig);
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CSnmpClient client(CounterPath());
  EXPECT_TRUE(client.SetValue("127.0.0.1", Community(), {"1.3.6.1.2.1.1.6.0", "Rack 7, room 2"}));
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.2.1.1.6.0"), "Rack 7, room 2");
  EXPECT_FALSE(client.SetValue("127.0.0.1", Community("public", "public"), {"1.3.6.1.2.1.1.6.0", "Elsewhere"}));
  EXPECT_FALSE(client.SetValue("127.0.0.1", Community(), {"1.3.6.1.2.1.1.99.0", "x"}));
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.2.1.1.6.0"), "Rack 7, room 2");
}

TEST_F(SnmpClientTest, UserRequestsWorkAndRaiseTheBootCounter) {
  SnmpAgent agent(kAgentConfig);
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CSnmpClient client(CounterPath());
  EXPECT_EQ(Get(client, Alice(), "1.3.6.1.2.1.1.5.0"), "testhost");
  EXPECT_EQ(snmp_boot_counter::Read(CounterPath(), "Mirvale"), 1u);
  EXPECT_EQ(Get(client, User("bob", 2, 3, "bobpass12"), "1.3.6.1.2.1.1.5.0"), "testhost");
  EXPECT_EQ(snmp_boot_counter::Read(CounterPath(), "Mirvale"), 2u);
  EXPECT_TRUE(client.SetValue("127.0.0.1", Alice(), {"1.3.6.1.2.1.1.6.0", "Set by alice"}));
  EXPECT_EQ(Get(client, Alice(), "1.3.6.1.2.1.1.6.0"), "Set by alice");
  EXPECT_EQ(snmp_boot_counter::Read(CounterPath(), "Mirvale"), 4u);
}

TEST_F(SnmpClientTest, UserRequestsFailCleanlyOnWrongPasswordsAndTripleDes) {
  SnmpAgent agent(kAgentConfig);
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CSnmpClient client(CounterPath());
  EXPECT_FALSE(Get(client, User("alice", 3, 2, "wrongpass1", 2, "alicepriv1"), "1.3.6.1.2.1.1.5.0"));
  // The wrong key is forgotten: the right password works at once.
  EXPECT_EQ(Get(client, Alice(), "1.3.6.1.2.1.1.5.0"), "testhost");
  EXPECT_FALSE(Get(client, User("alice", 3, 2, "alicepass1", 2, "wrongpriv1"), "1.3.6.1.2.1.1.5.0"));
  EXPECT_FALSE(Get(client, User("alice", 3, 2, "alicepass1", 3, "alicepriv1"), "1.3.6.1.2.1.1.5.0"));
  EXPECT_FALSE(Get(client, User("bob", 2, 2, "bobpass12"), "1.3.6.1.2.1.1.5.0"));
  EXPECT_FALSE(Get(client, User("bob", 2, 3, "short"), "1.3.6.1.2.1.1.5.0"));
  EXPECT_FALSE(Get(client, User("nobody", 1, 1, ""), "1.3.6.1.2.1.1.5.0"));
  EXPECT_EQ(Get(client, User("bob", 2, 3, "bobpass12"), "1.3.6.1.2.1.1.5.0"), "testhost");
}

TEST_F(SnmpClientTest, CommunityRequestsOfManyThreadsRunTogether) {
  SnmpAgent agent(kAgentConfig);
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CSnmpClient client(CounterPath());
  std::atomic<int> answered = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < 64; ++i)
    threads.emplace_back([&] {
      for (int j = 0; j < 5; ++j)
        if (Get(client, Community(), "1.3.6.1.2.1.1.5.0") == "testhost") ++answered;
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(answered, 64 * 5);
}

TEST_F(SnmpClientTest, TimeOutCountsTheSettingsSeconds) {
  SnmpAgent agent(kAgentConfig, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CSnmpClient client(CounterPath());
  SnmpSettings settings = Community();
  settings.m_nRetries = 0;
  settings.m_nTimeout = 1;
  // Nothing listens on 127.0.0.2: the request waits out its time-out, one second, not one millisecond.
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Get(client, settings, "1.3.6.1.2.1.1.5.0", "127.0.0.2"));
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(30));
}

class OddAgentTest : public SnmpClientTest {};

TEST_F(OddAgentTest, DecreasingAnswersEndTheWalk) {
  OddSnmpAgent agent;
  ASSERT_TRUE(agent.Ready());
  CSnmpClient client(CounterPath());
  auto steps = Walk(client, Community(), "1.3.6.1.4.1.99999.1", 8);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].oid, "1.3.6.1.4.1.99999.1.5");
}

TEST_F(OddAgentTest, LongAndWideValuesArriveWhole) {
  OddSnmpAgent agent;
  ASSERT_TRUE(agent.Ready());
  CSnmpClient client(CounterPath());
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.4.1.99999.2.0"), std::string(2000, 'x'));
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.4.1.99999.3.0"), "18446744073709551615");
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.4.1.99999.5.0"), "line1line2");
  auto scalars = Walk(client, Community(), "1.3.6.1.4.1.99999.2", 7);
  ASSERT_EQ(scalars.size(), 4u);
  EXPECT_EQ(scalars[0].value.size(), 2000u);
}

TEST_F(OddAgentTest, SetRefusesValuesThatDoNotFitTheType) {
  OddSnmpAgent agent;
  ASSERT_TRUE(agent.Ready());
  CSnmpClient client(CounterPath());
  EXPECT_FALSE(client.SetValue("127.0.0.1", Community(), {"1.3.6.1.4.1.99999.4.0", "4294967296"}));
  EXPECT_FALSE(client.SetValue("127.0.0.1", Community(), {"1.3.6.1.4.1.99999.4.0", "seven"}));
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.4.1.99999.4.0"), "7");
  EXPECT_TRUE(client.SetValue("127.0.0.1", Community(), {"1.3.6.1.4.1.99999.4.0", "4294967295"}));
  EXPECT_EQ(Get(client, Community(), "1.3.6.1.4.1.99999.4.0"), "4294967295");
}

}  // namespace
}  // namespace mirvale

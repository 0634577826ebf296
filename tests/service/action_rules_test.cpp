#include "service/actions/action_rules.h"

#include <gtest/gtest.h>

#include "service/host/local_time_text.h"
#include "tests/support/scoped_env.h"

using namespace mirvale;

namespace {

class ActionRules : public ::testing::Test {
 protected:
  ActionRules() {
    hooks.run = [this](const RunActionRequest& r) { runs.push_back(r); };
    hooks.email = [this](const EmailActionRequest& r) { mails.push_back(r); };
    hooks.trap = [this](const TrapActionRequest& r) { traps.push_back(r); };
    doc->m_strMailSubject = "Oskavel Mirvale message from $device";
    doc->m_strMailBody = "Pool: $pool\r\nAction: $action\r\nDevice: $device\r\nName: $name\r\nDate: $date\r\n";
  }

  CActionItem& Action(const std::string& name, const std::string& address = "0.0.0.0", const std::string& bits = "0") {
    CActionItem& action = doc->m_mapActions.FindOrAdd(name);
    action.m_bEnabled = 1;
    action.m_strPool = "Core";
    action.m_strAddress = address;
    action.m_strMaskBits = bits;
    action.m_strQuery = "*";
    action.m_strValue = "*";
    action.m_strTrapManagers = "127.0.0.1";
    return action;
  }

  void Line(const std::string& line, const PreviousLines& previous = {}, const std::string& address = "10.0.0.5") {
    CheckActions(doc, hooks, {"Core", address, "r1", 1765274400}, line, previous);
  }
  void Value(const std::string& key, const std::string& value, const std::string& address = "10.0.0.5") {
    CheckQueryActions(doc, hooks, store, {"Core", address, "r1", 1765274400}, key, "sysName", value);
  }

  testing_support::ScopedEnv tz{"TZ", "UTC"};
  testing_support::TempFolder temp;
  ServiceDataStore store{temp.path()};
  std::shared_ptr<CMirvaleDoc> doc = std::make_shared<CMirvaleDoc>();
  ActionHooks hooks;
  std::vector<RunActionRequest> runs;
  std::vector<EmailActionRequest> mails;
  std::vector<TrapActionRequest> traps;
};

}  // namespace

TEST_F(ActionRules, AddressRangesRunFromTheStartAsWritten) {
  CActionItem action;
  auto covers = [&](const char* start, const char* bits, const char* address) {
    action.m_strAddress = start;
    action.m_strMaskBits = bits;
    return ActionCoversAddress(action, address);
  };
  EXPECT_TRUE(covers("10.0.0.5", "32", "10.0.0.5"));
  EXPECT_FALSE(covers("10.0.0.5", "32", "10.0.0.6"));
  EXPECT_FALSE(covers("10.0.0.5", "24", "10.0.0.4")) << "the start is not masked";
  EXPECT_TRUE(covers("10.0.0.5", "24", "10.0.0.5"));
  EXPECT_TRUE(covers("10.0.0.5", "24", "10.0.0.255"));
  EXPECT_FALSE(covers("10.0.0.5", "24", "10.0.1.0"));
  EXPECT_FALSE(covers("10.0.0.5", "0", "10.0.0.4"));
  EXPECT_TRUE(covers("10.0.0.5", "0", "192.168.1.1"));
  EXPECT_TRUE(covers("10.0.0.5", "0", "255.255.255.255"));
  EXPECT_TRUE(covers("10.0.0.5", "-3", "router.example")) << "names compare as 255.255.255.255";
  EXPECT_TRUE(covers("0.0.0.0", "0", "0.0.0.0"));
  EXPECT_FALSE(covers("0.0.0.0", "40", "0.0.0.1"));
  EXPECT_FALSE(covers("192.168.1.9", "", "192.168.1.8")) << "an empty prefix length reads as 0";
}

TEST_F(ActionRules, DisabledOtherPoolAndOutOfRangeNeverFire) {
  Action("off").m_bEnabled = 0;
  Action("lower").m_strPool = "core";
  Action("far", "10.0.1.0", "24");
  Action("above", "10.0.0.6", "24");
  Line("hostname r1");
  Value("1.3.6.1.2.1.1.5.0", "r1");
  EXPECT_TRUE(traps.empty());
}

TEST_F(ActionRules, ShellLinesMatchTheCutLineAndIgnoreTheQueryPattern) {
  auto& action = Action("a");
  action.m_strQuery = "nothing-like-this";
  action.m_strValue = "interface serial*";
  Line("   Interface Serial0/1   ");
  Line("interface loopback0");
  ASSERT_EQ(traps.size(), 1u);
  EXPECT_EQ(traps[0].message, "Pool=Core, Device=10.0.0.5, Name=r1, Action=a, Date=" + FormatLocalDateTime(1765274400));
  EXPECT_EQ(traps[0].managers, "127.0.0.1");
}

TEST_F(ActionRules, ChangesOnlyShellLinesLookUpTheLineAsStored) {
  Action("a").m_bChangesOnly = 1;
  Line(" ip address 10.0.0.5 255.255.255.0");
  EXPECT_TRUE(traps.empty()) << "a first scan has no previous lines";
  PreviousLines previous{{"interface Ethernet0", "1"}, {" ip address 10.0.0.5 255.255.255.0", "2"}};
  Line(" ip address 10.0.0.5 255.255.255.0", previous);
  Line("interface Ethernet0", previous);
  EXPECT_TRUE(traps.empty()) << "unchanged lines, indented or not, do not fire";
  Line(" ip address 10.0.0.6 255.255.255.0", previous);
  EXPECT_EQ(traps.size(), 1u);
}

TEST_F(ActionRules, ChangesOnlySnmpValuesCompareWithTheStoredValue) {
  Action("a").m_bChangesOnly = 1;
  store.AddDevice("Core", "10.0.0.5", "r1", "", "");
  Value("1.3.6.1.2.1.1.5.0", "r1");
  EXPECT_EQ(traps.size(), 1u) << "a value seen for the first time fires";
  store.StoreQueryValue("Core", "10.0.0.5", "1", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.5", "sysName", "r1");
  Value("1.3.6.1.2.1.1.5.0", "r1");
  EXPECT_EQ(traps.size(), 1u);
  Value("1.3.6.1.2.1.1.5.0", "r2");
  EXPECT_EQ(traps.size(), 2u);
}

TEST_F(ActionRules, QueryPatternMatchesTheNameOrTheKey) {
  auto& action = Action("a");
  action.m_strQuery = "1.3.6.1.2.1.1.5*";
  action.m_strValue = "r*";
  Value("1.3.6.1.2.1.1.5.0", "r1");
  Value("1.3.6.1.2.1.1.5.0", "x1");
  action.m_strQuery = "SYSNAME";
  Value("9.9", "r1");
  EXPECT_EQ(traps.size(), 2u);
}

TEST_F(ActionRules, PartsStartInOrderWithTheirTexts) {
  auto& action = Action("notify");
  action.m_strRunCommand = "/usr/bin/logger;WORKGROUP;secret;operator;-t mirvale $pool $name;";
  action.m_strMailRecipients = "ops@example.test";
  doc->m_strMailSubject = "From $name";
  Line("hostname r1");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].program, "/usr/bin/logger");
  EXPECT_EQ(runs[0].domain, "WORKGROUP");
  EXPECT_EQ(runs[0].password, "secret");
  EXPECT_EQ(runs[0].user, "operator");
  EXPECT_EQ(runs[0].arguments, (std::vector<std::string>{"-t", "mirvale", "Core", "r1"}));
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, "From r1");
  EXPECT_EQ(mails[0].recipients, "ops@example.test");
  EXPECT_EQ(mails[0].body, "Pool: Core\r\nAction: notify\r\nDevice: 10.0.0.5\r\nName: r1\r\nDate: " +
                               FormatLocalDateTime(1765274400) + "\r\n");
  EXPECT_EQ(mails[0].settings, doc);
  EXPECT_EQ(traps.size(), 1u);
}

TEST_F(ActionRules, RunCommandFieldsNeedTheirSemicolons) {
  auto fields = SplitRunCommand("prog;dom;pw;user;params");
  EXPECT_EQ(fields.program, "prog");
  EXPECT_EQ(fields.user, "user");
  EXPECT_EQ(fields.parameters, "") << "a field without its ';' is empty";
  EXPECT_EQ(SplitRunCommand("a;b;c;d;e;f;").parameters, "e");
  EXPECT_EQ(SplitRunCommand("").program, "");
}

TEST_F(ActionRules, TestMailUsesTheTestValuesAndRecipients) {
  doc->m_strTestRecipients = "admin@example.test";
  SendTestMail(doc, hooks, 1765274400);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, "Oskavel Mirvale message from 127.0.0.1");
  EXPECT_EQ(mails[0].body, "Pool: N/A\r\nAction: N/A\r\nDevice: 127.0.0.1\r\nName: localhost\r\nDate: " +
                               FormatLocalDateTime(1765274400) + "\r\n");
  EXPECT_EQ(mails[0].recipients, "admin@example.test");
}

// Service control through systemd, against a recording systemctl: the verbs each call sends,
// refusals carried in systemd's words, the unit checked by systemd-analyze and the polkit rule
// run by node with polkit's calling convention.
#include <cstdlib>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/polkit_rule.h"
#include "platform/service_control.h"
#include "platform/service_control_unit.h"
#include "tests/support/command_output.h"
#include "tests/support/fake_systemctl.h"
#include "tests/support/scoped_env.h"

using testing_support::CommandOutput;
using testing_support::ScopedEnv;
using testing_support::ScopedFakeSystemctl;
using testing_support::TempFolder;

namespace {

class SystemdControl : public ::testing::Test {
 protected:
  TempFolder temp;
  ScopedEnv root{"MIRVALE_REGISTRY_ROOT", temp / "registry"};
  ScopedEnv run{"MIRVALE_RUN_DIR", temp / "run"};
  ScopedEnv units{"MIRVALE_SYSTEMD_DIR", temp / "units"};
  ScopedEnv polkit{"MIRVALE_POLKIT_RULES_DIR", temp / "polkit"};
  ScopedFakeSystemctl systemctl;

  static platform::ServiceRegistration Registration(platform::StartType type = platform::StartType::Automatic) {
    return {"Oskavel Mirvale", "Oskavel Mirvale", "Network devices configuration monitor.", "/usr/bin/true", type, {}};
  }
  std::string UnitPath() const { return temp / "units/oskavel-mirvale.service"; }
  std::string RulePath() const { return temp / "polkit/50-oskavel-mirvale.rules"; }
};

}  // namespace

TEST_F(SystemdControl, EachCallSendsItsVerbsAndTheEntryFollowsTheEnablement) {
  ASSERT_TRUE(platform::CreateServiceEntry(Registration()));
  ASSERT_TRUE(platform::InstallServiceUnit(Registration()));
  EXPECT_TRUE(platform::FileExists(UnitPath()));
  EXPECT_TRUE(platform::FileExists(RulePath()));
  EXPECT_EQ(systemctl.TakeCalls(), "daemon-reload\nenable oskavel-mirvale.service\n");

  systemctl.State("enabled");
  EXPECT_EQ(platform::QueryServiceStartType("Oskavel Mirvale"), platform::StartType::Automatic);
  systemctl.State("disabled");
  EXPECT_EQ(platform::QueryServiceStartType("Oskavel Mirvale"), platform::StartType::OnDemand)
      << "systemd's answer wins over the entry";
  systemctl.State("Failed to get unit file state for oskavel-mirvale.service: No such file or directory");
  EXPECT_EQ(platform::QueryServiceStartType("Oskavel Mirvale"), std::nullopt);
  EXPECT_EQ(systemctl.TakeCalls(),
            "is-enabled oskavel-mirvale.service\nis-enabled oskavel-mirvale.service\n"
            "is-enabled oskavel-mirvale.service\n");

  ASSERT_TRUE(platform::ChangeServiceStartType("Oskavel Mirvale", platform::StartType::OnDemand));
  EXPECT_EQ(platform::QueryServiceRegistration("Oskavel Mirvale")->startType, platform::StartType::OnDemand);
  ASSERT_TRUE(platform::StartInstalledService("Oskavel Mirvale"));
  ASSERT_TRUE(platform::StopInstalledService("Oskavel Mirvale"));
  ASSERT_TRUE(platform::RemoveServiceUnit("Oskavel Mirvale"));
  EXPECT_FALSE(platform::FileExists(UnitPath()));
  EXPECT_FALSE(platform::FileExists(RulePath()));
  EXPECT_EQ(systemctl.TakeCalls(),
            "disable oskavel-mirvale.service\nstart oskavel-mirvale.service\nstop oskavel-mirvale.service\n"
            "disable oskavel-mirvale.service\ndaemon-reload\n");
}

TEST_F(SystemdControl, RefusalsCarrySystemdsWordsAndLeaveNothingHalfDone) {
  ASSERT_TRUE(platform::CreateServiceEntry(Registration()));
  systemctl.Refuse("start", "Failed to start oskavel-mirvale.service: Access denied");
  auto started = platform::StartInstalledService("Oskavel Mirvale");
  EXPECT_FALSE(started);
  EXPECT_EQ(started.message, "Failed to start oskavel-mirvale.service: Access denied");

  systemctl.Refuse("enable", "Failed to enable unit: Access denied");
  auto changed = platform::ChangeServiceStartType("Oskavel Mirvale", platform::StartType::OnDemand);
  EXPECT_TRUE(changed) << "only enable is refused";
  changed = platform::ChangeServiceStartType("Oskavel Mirvale", platform::StartType::Automatic);
  EXPECT_EQ(changed.message, "Failed to enable unit: Access denied");
  EXPECT_EQ(platform::QueryServiceRegistration("Oskavel Mirvale")->startType, platform::StartType::OnDemand)
      << "the entry does not lead";

  systemctl.TakeCalls();
  auto installed = platform::InstallServiceUnit(Registration());
  EXPECT_EQ(installed.message, "Failed to enable unit: Access denied");
  EXPECT_FALSE(platform::FileExists(UnitPath()));
  EXPECT_FALSE(platform::FileExists(RulePath()));
  EXPECT_EQ(systemctl.TakeCalls(), "daemon-reload\nenable oskavel-mirvale.service\ndaemon-reload\n");

  // A systemctl that says nothing still fails with which call failed.
  systemctl.Refuse("stop", "");
  EXPECT_EQ(platform::StopInstalledService("Oskavel Mirvale").message,
            "systemctl stop oskavel-mirvale.service failed with status 1");
  // A unit systemd has not loaded runs nothing: stopped. Not loaded is no excuse for other verbs.
  systemctl.Refuse("stop", "Failed to stop oskavel-mirvale.service: Unit oskavel-mirvale.service not loaded.", 5);
  EXPECT_TRUE(platform::StopInstalledService("Oskavel Mirvale"));
  systemctl.Refuse("start", "Failed to start oskavel-mirvale.service: Unit oskavel-mirvale.service not found.", 5);
  EXPECT_EQ(platform::StartInstalledService("Oskavel Mirvale").message,
            "Failed to start oskavel-mirvale.service: Unit oskavel-mirvale.service not found.");
}

TEST_F(SystemdControl, SystemdAnalyzeAcceptsTheUnitWithAwkwardFolders) {
  ScopedEnv data("MIRVALE_COMMON_APPDATA", temp / "data 100% $HOME \"quoted\"");
  ScopedEnv program("MIRVALE_PROGRAM_FOLDER", temp.path());
  ScopedEnv group("MIRVALE_OPERATOR_GROUP", "ops");
  ASSERT_TRUE(platform::WriteSystemdUnit(Registration()));
  std::string verdict = CommandOutput("systemd-analyze verify '" + UnitPath() + "' 2>&1; echo \"status $?\"");
  EXPECT_EQ(verdict, "status 0");
  auto text = platform::ReadWholeFile(UnitPath()).value_or("");
  EXPECT_NE(text.find("Environment=\"MIRVALE_COMMON_APPDATA=" + temp.path() + "/data 100%% $HOME \\\"quoted\\\"\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("ReadWritePaths=\"-" + temp.path() + "/data 100%% $HOME \\\"quoted\\\"/Oskavel/Mirvale\"\n"),
            std::string::npos);
  EXPECT_NE(text.find("ReadWritePaths=\"-" + temp.path() + "/registry\"\n"), std::string::npos) << "the settings store";
  EXPECT_NE(text.find("Environment=\"MIRVALE_OPERATOR_GROUP=ops\"\n"), std::string::npos) << "as the polkit rule";
  EXPECT_NE(text.find("NoNewPrivileges=yes\n"), std::string::npos);

  // systemd expands "$" in a command's arguments but not in its program path: the program in a
  // folder with "$" must be found as it is.
  platform::CreateFolderLevels(temp / "bin $HOME $$");
  ASSERT_EQ(std::system(("cp /usr/bin/true '" + temp.path() + "/bin $HOME $$/MirvaleSrv'").c_str()), 0);
  auto registration = Registration();
  registration.programPath = temp / "bin $HOME $$/MirvaleSrv";
  ASSERT_TRUE(platform::WriteSystemdUnit(registration));
  verdict = CommandOutput("systemd-analyze verify '" + UnitPath() + "' 2>&1; echo \"status $?\"");
  EXPECT_EQ(verdict, "status 0");
}

TEST_F(SystemdControl, UnregistrationLeavesNoWantsLinkAlsoAfterTheUnitWasDeletedByHand) {
  ASSERT_TRUE(platform::InstallServiceUnit(Registration()));
  // What `systemctl enable` makes.
  platform::CreateFolderLevels(temp / "units/multi-user.target.wants");
  ASSERT_EQ(symlink(UnitPath().c_str(), (temp / "units/multi-user.target.wants/oskavel-mirvale.service").c_str()), 0);
  ASSERT_EQ(unlink(UnitPath().c_str()), 0);
  systemctl.TakeCalls();
  ASSERT_TRUE(platform::RemoveServiceUnit("Oskavel Mirvale"));
  struct stat info {};
  EXPECT_NE(lstat((temp / "units/multi-user.target.wants/oskavel-mirvale.service").c_str(), &info), 0);
  EXPECT_EQ(systemctl.TakeCalls(), "daemon-reload\n");
}

TEST_F(SystemdControl, PolkitRuleLetsOnlyTheOperatorsStartOnlyThisUnit) {
  ScopedEnv group("MIRVALE_OPERATOR_GROUP", "mirvale \"ops\"");
  ASSERT_TRUE(platform::WritePolkitRule("Oskavel Mirvale"));
  // polkit's calling convention: the rule file calls polkit.addRule; each request asks the rules
  // with an action (id, lookup) and a subject (isInGroup).
  const std::string harness = temp / "harness.js";
  ASSERT_TRUE(platform::WriteFileAtomically(harness, R"(
const rules = [];
const polkit = { Result: { YES: "yes", NO: "no" }, addRule: (rule) => rules.push(rule) };
new Function("polkit", require("fs").readFileSync(process.argv[2], "utf8"))(polkit);
const ask = (id, unit, verb, group) => rules[0](
    { id: id, lookup: (key) => ({ unit: unit, verb: verb })[key] },
    { isInGroup: (name) => name === group });
const unit = "oskavel-mirvale.service", ops = 'mirvale "ops"', manage = "org.freedesktop.systemd1.manage-units";
console.log([
  ask(manage, unit, "start", ops), ask(manage, unit, "stop", ops), ask(manage, unit, "restart", ops),
  ask(manage, "ssh.service", "start", ops), ask(manage, unit, "start", "users"),
  ask("org.freedesktop.systemd1.manage-unit-files", unit, undefined, ops)
].map(String).join(" "));
)"));
  EXPECT_EQ(CommandOutput("node '" + harness + "' '" + RulePath() + "' 2>&1"),
            "yes undefined undefined undefined undefined undefined");
  EXPECT_TRUE(platform::RemovePolkitRule("Oskavel Mirvale"));
  EXPECT_FALSE(platform::FileExists(RulePath()));
}

TEST(Systemctl, OneThatHangsIsKilledAtTheLimit) {
  TempFolder bin;
  ASSERT_TRUE(platform::WriteFileAtomically(bin / "systemctl", "#!/bin/sh\nexec sleep 30\n", 0755));
  ScopedEnv path("PATH", bin.path() + ":" + platform::GetEnv("PATH").value_or("/usr/bin:/bin"));
  const auto started = std::chrono::steady_clock::now();
  auto output = platform::RunSystemctl({"start", "oskavel-mirvale.service"}, std::chrono::milliseconds(300));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(output.exitCode, -1);
  EXPECT_EQ(output.text, "systemctl did not answer in time");
}

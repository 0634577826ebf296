// Only a whole configuration replaces what the service keeps of a shell device: scanned through
// the real MirvaleSrv over telnet and SSH-2, a device whose second scan meets a fault (a listing
// cut short, a refused login in any words, a pause past the time-out, an error answer) keeps
// its first configuration, fails, and is named in the event log with the reason. And what is
// stored is what the device sent: no prompt of its own, no pager text, every line that only
// looks like a pager prompt.
#include <fstream>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/status_texts.h"
#include "tests/service/shell_scan_support.h"
#include "tests/support/fake_device.h"

namespace mirvale {
namespace {

using testing_support::FakeDevice;
using testing_support::FakeDeviceOptions;
using namespace shell_scan_testing;
using Overrides = std::vector<std::pair<std::string, std::string>>;

// A configuration with a banner line like the prompt in another mode, where a pausing device
// stops (the fake device pauses in its middle line).
std::vector<std::string> BannerConfiguration() {
  std::vector<std::string> lines = testing_support::SampleConfiguration();
  const auto middle = lines.begin() + static_cast<long>(lines.size() + 3) / 2 - 1;
  lines.insert(middle, {"banner motd ^C", "Router>", "^C"});
  return lines;
}

std::vector<std::string> Expected(const std::vector<std::string>& config, bool echo = true) {
  std::vector<std::string> expected;
  if (echo) expected.push_back("show running-config");
  expected.insert(expected.end(), config.begin(), config.end());
  return expected;
}

// The device's event lines, each on a line of its own without the device's name.
std::string DeviceEvents(const ServiceProcess& service, int port) {
  const std::string device = "127.0.0.1:" + std::to_string(port) + ": ";
  std::string events = "\n";
  for (const auto& line : service.EventLines())
    if (line.starts_with(device)) events += line.substr(device.size()) + "\n";
  return events;
}

// A device over telnet or behind sshd, and the pool that scans it.
class ScannedDevice {
 public:
  ScannedDevice(const std::string& mode, FakeDeviceOptions options) : device_((options.mode = mode, options)) {
    if (mode == "ssh") {
      sshd_ = std::make_unique<testing_support::SshDeviceServer>(device_.Command());
      EXPECT_TRUE(sshd_->ready());
    }
  }
  CMirvaleDoc Pool() const {
    CMirvaleDoc doc = sshd_ ? SshPoolDoc(*sshd_, testing_support::kSshPassword) : ShellSettingsDoc(device_.port(), "secret");
    doc.m_mapPools.Find("routers")->m_nTimeout = 1;
    return doc;
  }
  int Port() const { return sshd_ ? sshd_->port() : device_.port(); }
  FakeDevice& Device() { return device_; }

 private:
  FakeDevice device_;
  std::unique_ptr<testing_support::SshDeviceServer> sshd_;
};

struct Fault {
  const char* name;
  const char* mode;
  Overrides overrides;         // what the device does in the second scan
  bool withoutEnable = false;  // the second scan's pool has no privileged step
  const char* status;
  const char* event;  // the beginning of the device's event line
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class ShellFaultyDevice : public ::testing::TestWithParam<Fault> {};

TEST_P(ShellFaultyDevice, KeepsTheFirstConfigurationFailsAndSaysWhy) {
  const Fault& fault = GetParam();
  ScannedDevice scanned(fault.mode, FakeDeviceOptions{.page = 400, .config = BannerConfiguration()});
  FakeDevice& device = scanned.Device();
  CMirvaleDoc doc = scanned.Pool();
  ServiceProcess service;
  // A raw device is reached through the client's default session, logging in as over telnet.
  if (std::string(fault.mode) == "raw") {
    ASSERT_TRUE(UseProtocol(service, "raw", scanned.Port()));
  }
  ASSERT_TRUE(service.Start());
  auto first = ScanAgainWith(service, doc, "");
  ASSERT_TRUE(first);
  const std::vector<std::string> stored = Expected(device.options().config);
  ASSERT_EQ(first->map.Find("routers/127.0.0.1")->m_strStatus, "Finished without changes");
  ASSERT_EQ(StoredLines(service), stored);

  device.Override(fault.overrides);
  CPoolItem& pool = *doc.m_mapPools.Find("routers");
  if (fault.withoutEnable) pool.m_strPrivilegedCommand = pool.m_strPrivilegedPassword = "";
  auto second = ScanAgainWith(service, doc, first->header.m_strScanStart);
  ASSERT_TRUE(second);
  const std::string events = DeviceEvents(service, scanned.Port());
  EXPECT_EQ(second->map.Find("routers/127.0.0.1")->m_strStatus, fault.status) << events;
  EXPECT_EQ(StoredLines(service, nullptr, "127.0.0.1", true), stored) << "still the configuration shown";
  EXPECT_NE(events.find("\n" + std::string(fault.event)), std::string::npos) << events;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ShellFaultyDevice,
    ::testing::Values(
        Fault{"TelnetCutInTheListing", "telnet", {{"cut_after", "100"}}, false, "No response from device",
              "The connection ended after 100 lines, before the prompt"},
        Fault{"SshCutInTheListing", "ssh", {{"cut_after", "100"}}, false, "No response from device",
              "The connection ended after 100 lines, before the prompt"},
        Fault{"SshClosedRightAfterTheLogin", "ssh", {{"close_at_login", "1"}}, false, "No response from device",
              "The device ended the connection right after the login"},
        Fault{"SilentAfterTheLogin", "telnet", {{"enabled_login", "1"}, {"mute_after_login", "1"}}, true,
              "No response from device",
              "The device sent nothing for 1 s after 0 lines, before the prompt"},
        Fault{"PauseAfterAPromptLikeLine",
              "telnet",
              {{"page", "0"}, {"pause", "1.5"}, {"pause_after", "Router>"}},
              false,
              "No response from device",
              "The device sent nothing for 1 s after 156 lines, before the prompt"},
        Fault{"LoginIncorrectAskedAgain",
              "telnet",
              {{"password", "other"}, {"login_refusal", "Login incorrect"}, {"refusal_asks_again", "1"}},
              false,
              "Failed due to logon failure",
              "The device refused the login: Login incorrect"},
        Fault{"AuthenticationFailedAndClosed",
              "telnet",
              {{"password", "other"}, {"login_refusal", "Authentication failed."}},
              false,
              "Failed due to logon failure",
              "The device refused the login: Authentication failed. (the connection ended)"},
        Fault{"EnableRefusedWithoutPercent",
              "telnet",
              {{"enable_password", "other"}, {"enable_refusal", "Invalid password"}},
              false,
              "Failed due to logon failure",
              "The device refused the privileged command: Invalid password"},
        Fault{"ErrorAnswerInUserMode", "telnet", {}, true, "No response from device",
              "The device answered the backup command with an error: % Invalid input detected"},
        Fault{"SshSilentAfterTheLogin", "ssh", {{"enabled_login", "1"}, {"mute_after_login", "1"}}, true,
              "No response from device", "The device sent nothing for 1 s after 0 lines, before the prompt"},
        Fault{"SshPauseAfterAPromptLikeLine",
              "ssh",
              {{"page", "0"}, {"pause", "1.5"}, {"pause_after", "Router>"}},
              false,
              "No response from device",
              "The device sent nothing for 1 s after 156 lines, before the prompt"},
        Fault{"ErrorAnswerWithoutEcho", "telnet", {{"no_echo", "1"}}, true, "No response from device",
              "The device answered the backup command with an error: % Invalid input detected"},
        Fault{"ClosedAtOnceAfterTheProbe", "raw", {{"close_at_start", "1"}}, false, "Failed due to logon failure",
              "The device ended the connection before it sent anything"},
        Fault{"SshAccountNotAvailable",
              "ssh",
              {{"close_at_start", "1"}, {"farewell", "This account is currently not available."}},
              false,
              "No response from device",
              "The device ended the connection right after the login: This account is currently not available."},
        Fault{"SshLoginInvalidAfterTheSessionOpened",
              "ssh",
              {{"close_at_start", "1"}, {"farewell", "% Login invalid"}},
              false,
              "No response from device",
              "The device ended the connection right after the login: % Login invalid"},
        Fault{"RefusalOnThePasswordLine",
              "telnet",
              {{"password", "other"}, {"refusal_asks_again", "1"}, {"same_line_password", "1"}},
              false,
              "Failed due to logon failure",
              "The device refused the login: % Login invalid"},
        Fault{"EnableRefusedInOtherWords",
              "telnet",
              {{"enable_password", "other"}, {"enable_refusal", "Bad secrets"}},
              false,
              "Failed due to logon failure",
              "The device refused the privileged command: Bad secrets"},
        Fault{"EmptyListing", "telnet", {{"empty_listing", "1"}}, false, "No response from device",
              "The device answered the backup command with its prompt alone"},
        Fault{"SshEmptyListing", "ssh", {{"empty_listing", "1"}}, false, "No response from device",
              "The device answered the backup command with its prompt alone"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without privileges the device logs in to its privileged prompt: a pool without an enable step
// reads it the same, and a login refused in words it does not know is a logon failure there too.
TEST(ShellRefusedLogin, WithoutAnEnableStepIsALogonFailure) {
  ScannedDevice scanned("telnet", FakeDeviceOptions{.page = 400});
  FakeDevice& device = scanned.Device();
  device.Override({{"enabled_login", "1"}});
  CMirvaleDoc doc = scanned.Pool();
  CPoolItem& pool = *doc.m_mapPools.Find("routers");
  pool.m_strPrivilegedCommand = pool.m_strPrivilegedPassword = "";
  ServiceProcess service;
  ASSERT_TRUE(service.Start());
  auto first = ScanAgainWith(service, doc, "");
  ASSERT_TRUE(first);
  ASSERT_EQ(StoredLines(service), Expected(device.options().config));
  device.Override({{"enabled_login", "1"},
                   {"password", "other"},
                   {"login_refusal", "Login incorrect"},
                   {"refusal_asks_again", "1"}});
  auto second = ScanAgainWith(service, doc, first->header.m_strScanStart);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->map.Find("routers/127.0.0.1")->m_strStatus, "Failed due to logon failure");
  EXPECT_EQ(StoredLines(service), Expected(device.options().config));
}

// A backup command that ends the session after the listing.
constexpr const char* kExitScript = "terminal length 0\\rshow running-config\\rexit";

struct Output {
  const char* name;
  const char* mode;
  Overrides overrides;
  std::vector<std::string> config = BannerConfiguration();
  bool echo = true;
  const char* script = nullptr;  // the pool's backup command, when not the default
  std::vector<std::string> leading{};  // the echoes the script leaves before the listing
};

void PrintTo(const Output& output, std::ostream* out) { *out << output.name; }

class ShellDeviceLines : public ::testing::TestWithParam<Output> {};

TEST_P(ShellDeviceLines, AreStoredAsTheDeviceSentThem) {
  const Output& output = GetParam();
  ScannedDevice scanned(output.mode, FakeDeviceOptions{.config = output.config});
  scanned.Device().Override(output.overrides);
  CMirvaleDoc doc = scanned.Pool();
  if (output.script) doc.m_mapPools.Find("routers")->m_strBackupCommand = output.script;
  ServiceProcess service;
  ASSERT_TRUE(service.Start());
  auto scan = ScanAgainWith(service, doc, "");
  ASSERT_TRUE(scan);
  EXPECT_EQ(scan->map.Find("routers/127.0.0.1")->m_strStatus, "Finished without changes")
      << DeviceEvents(service, scanned.Port());
  std::vector<std::string> expected = output.leading;
  if (expected.empty()) expected = Expected(output.config, output.echo);
  else expected.insert(expected.end(), output.config.begin(), output.config.end());
  EXPECT_EQ(StoredLines(service), expected);
}

// Lines that read as pager prompts, followed at once by more of the listing.
std::vector<std::string> PagerLikeLines() {
  std::vector<std::string> lines = testing_support::SampleConfiguration(4);
  lines.insert(lines.begin() + 3, {"--More--", " --More--", "<more>", "(more 45%)", "-- more --"});
  return lines;
}

// A line like a pager prompt on the second page after the line the pausing device stops in.
std::vector<std::string> MoreLineAfterThePause() {
  std::vector<std::string> lines = BannerConfiguration();
  lines.insert(lines.begin() + 38, "<more>");
  return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ShellDeviceLines,
    ::testing::Values(
        Output{"NoEcho", "telnet", {{"no_echo", "1"}}, BannerConfiguration(), false},
        Output{"PromptPausedInsideItself", "telnet", {{"prompt_pause", "1.5"}}},
        Output{"PagerLikeLinesAsContent", "telnet", {{"page", "400"}}, PagerLikeLines()},
        Output{"SshNoEcho", "ssh", {{"no_echo", "1"}}, BannerConfiguration(), false},
        Output{"SshPromptPausedInsideItself", "ssh", {{"prompt_pause", "1.5"}}},
        Output{"SshPagerLikeLinesAsContent", "ssh", {{"page", "400"}}, PagerLikeLines()},
        Output{"PagerErasedByCursorLeftAndBlanks", "telnet", {{"pager", "  ---- More ----"}, {"erase", "left"}}},
        Output{"PagerErasedByCursorLeftAlone", "ssh", {{"erase", "left-only"}}},
        Output{"LongPagerErasedByEraseLine",
               "telnet",
               {{"pager", "-- MORE --, next page: Space, next line: Enter, quit: Control-C"}, {"erase", "erase-line"}}},
        Output{"PagerErasedByCarriageReturnAndBlanks", "telnet", {{"pager", " --More-- "}, {"erase", "cr"}}},
        // Prompts that change with each line break, or wrapped in control sequences, or long.
        Output{"ClockPrompt", "telnet", {{"prompt", "[{clock}] admin@router:~$ "}}},
        Output{"SshClockPrompt", "ssh", {{"prompt", "[{clock}] admin@router:~$ "}}},
        Output{"CounterPrompt", "telnet", {{"prompt", "[{count}]router# "}}},
        Output{"ColouredPrompt", "telnet", {{"prompt", "\x1b[1;32mrouter>\x1b[0m"}}},
        Output{"PromptShowingTheCursor", "telnet", {{"prompt", "router> \x1b[?25h"}}},
        Output{"PromptInCursorMovesAndLineErase", "telnet", {{"prompt", "\x1b[2K\x1b[1Grouter#\x1b[K \x1b[1D\x1b[1C"}}},
        Output{"HundredCharacterPrompt", "telnet", {{"prompt", "core-" + std::string(94, 'x') + "#"}}},
        // Devices that end the listing otherwise.
        Output{"IgnoresEmptyLines", "telnet", {{"ignore_empty", "1"}}},
        Output{"ExitScript", "telnet", {}, BannerConfiguration(), true, kExitScript,
               {"terminal length 0", "Router#show running-config"}},
        Output{"SshExitScript", "ssh", {}, BannerConfiguration(), true, kExitScript,
               {"terminal length 0", "Router#show running-config"}},
        // An enable step answered with words before the privileged prompt.
        Output{"EnableAnsweredWithWords", "telnet", {{"enable_words", "Now user privilege is level 15, ..."}}},
        Output{"EnableAnsweredWithASyslogLine",
               "telnet",
               {{"enable_words", "*Dec 10 15:00:00.123: %SYS-5-PRIV_AUTH_PASS: Privilege level set to 15 by admin"}}},
        Output{"UnknownPagerErasedByCarriageReturnAndBlanks",
               "telnet",
               {{"pager", "Press any key to continue (Q to quit)"}, {"erase", "cr"}}},
        Output{"SshUnknownPagerErasedByEraseLine",
               "ssh",
               {{"pager", "Press <SPACE> to continue or <Q> to quit:"}, {"erase", "erase-line"}}},
        Output{"UnknownPagerErasedByEraseLineAlone",
               "telnet",
               {{"pager", "-- [Q quit|D dump|down]"}, {"erase", "erase-line-only"}}},
        Output{"PagerLikeLinesOpeningPages", "telnet", {{"page", "3"}}, PagerLikeLines()},
        Output{"SshPagerLikeLinesOpeningPagesErasedByCursorLeft",
               "ssh",
               {{"page", "3"}, {"erase", "left-only"}},
               PagerLikeLines()},
        Output{"PauseBeforeThePager", "telnet", {{"pager_pause", "1.5"}, {"erase", "left-clear"}}},
        Output{"SshPauseBeforeThePager", "ssh", {{"pager_pause", "1.5"}, {"erase", "cr"}}},
        Output{"PauseMidPageBeforeAMoreLine", "telnet", {{"pause", "1.5"}, {"erase", "left"}}, MoreLineAfterThePause()},
        Output{"SshPauseMidPageBeforeAMoreLine", "ssh", {{"pause", "1.5"}}, MoreLineAfterThePause()},
        Output{"PauseAfterThePagersErase",
               "telnet",
               {{"pager_pause", "1.5"}, {"pager_pause_at", "after"}, {"erase", "left"}}},
        Output{"SshPauseAfterThePagersErase", "ssh", {{"pager_pause", "1.5"}, {"pager_pause_at", "after"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A stock Linux host: bash 5 over SSH-2 with bracketed paste on, which wraps every prompt in
// mode switches (ESC[?2004h before it, ESC[?2004l CR after each line break), and a clock in the
// prompt that changes with each line break.
TEST(ShellDeviceLines, RealBashWithBracketedPasteOverSsh) {
  FakeDevice files(FakeDeviceOptions{.mode = "ssh"});
  const std::string folder = files.ConfigPath().substr(0, files.ConfigPath().rfind('/'));
  {
    std::ofstream rc(folder + "/bashrc");
    rc << "unset HISTFILE\nbind 'set enable-bracketed-paste on'\nPS1='[\\t] admin@router:~$ '\n";
    std::ofstream shell(folder + "/bash.sh");
    shell << "#!/bin/sh\ncd '" << folder << "' && exec /bin/bash --noprofile --rcfile bashrc -i\n";
  }
  chmod((folder + "/bash.sh").c_str(), 0755);
  chmod((folder + "/bashrc").c_str(), 0644);
  testing_support::SshDeviceServer sshd(folder + "/bash.sh");
  ASSERT_TRUE(sshd.ready());
  CMirvaleDoc doc = SshPoolDoc(sshd, testing_support::kSshPassword);
  doc.m_mapPools.Find("routers")->m_strBackupCommand = "cat config.txt";
  ServiceProcess service;
  ASSERT_TRUE(service.Start());
  auto scan = ScanAgainWith(service, doc, "");
  ASSERT_TRUE(scan) << DeviceEvents(service, sshd.port()) << sshd.Log();
  EXPECT_EQ(scan->map.Find("routers/127.0.0.1")->m_strStatus, "Finished without changes")
      << DeviceEvents(service, sshd.port());
  std::vector<std::string> expected{"cat config.txt"};
  expected.insert(expected.end(), files.options().config.begin(), files.options().config.end());
  EXPECT_EQ(StoredLines(service), expected);
}

}  // namespace
}  // namespace mirvale

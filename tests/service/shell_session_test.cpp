// The service's shell conversation against the fake device: directly over raw TCP, through
// busybox's telnet server, and over rlogin (RFC 1282 peer).
#include <chrono>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "remoteshell/core/backend.h"
#include "service/shell_session/shell_session_channels.h"
#include "service/shell_session/shell_session_collect.h"
#include "service/shell_session/shell_session_text.h"
#include "tests/support/fake_device.h"
#include "tests/support/scoped_env.h"
#include "tests/support/snmp_agent.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using testing_support::FakeDevice;
using testing_support::FakeDeviceOptions;

class ShellSessionTest : public ::testing::Test {
 protected:
  // The protocol comes from the client's default session, as on a configured service.
  void UseProtocol(const char* name, int port) {
    auto key = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh\\Sessions\\Default%20Settings", true);
    ASSERT_TRUE(key);
    key->SetString("Protocol", name);
    key->SetDword("PortNumber", static_cast<uint32_t>(port));
  }

  ShellSettings Settings(const FakeDevice& device) const {
    ShellSettings settings;
    settings.m_bTelnet = 1;
    settings.m_nRetries = 1;
    settings.m_nTimeout = 1;
    settings.m_nShellPort = device.port();
    settings.m_strShellUser = device.options().user;
    settings.m_strShellPassword = device.options().password;
    settings.m_strPrivilegedCommand = "enable";
    settings.m_strPrivilegedPassword = device.options().enablePassword;
    settings.m_strBackupCommand = "show running-config";
    return settings;
  }

  static std::vector<std::string> Stored(const std::vector<std::string>& lines) {
    std::vector<std::string> stored;
    for (const auto& line : lines) stored.push_back(CleanShellLine(line));
    return stored;
  }

  // What the device shows for the backup command: its echo, then the configuration.
  static std::vector<std::string> Expected(const FakeDevice& device) {
    std::vector<std::string> expected{"show running-config"};
    expected.insert(expected.end(), device.options().config.begin(), device.options().config.end());
    return expected;
  }

  testing_support::TempFolder registry_;
  testing_support::ScopedEnv registryRoot_{"MIRVALE_REGISTRY_ROOT", registry_.path()};
  testing_support::ScopedEnv runAccount_{"MIRVALE_RUN_ACCOUNT", "root"};  // whose rights write the session log
  ManualEvent stop_;
  ShellConversations conversations_{ShellConversations::kDefaultLimit, {}, &stop_};
  CShellSession session_{&stop_};
};

TEST_F(ShellSessionTest, RawDeviceGivesItsConfigurationWithoutPagerOrPrompt) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .page = 100});
  UseProtocol("raw", device.port());
  ShellCollection result = CollectShellConfiguration(conversations_, "127.0.0.1", Settings(device));
  EXPECT_FALSE(result.logonFailed);
  EXPECT_EQ(Stored(result.lines), Expected(device));
  // The device saw the login, the privileged step, the command, one space per page and a line
  // break at the prompt.
  std::string received = device.Received();
  EXPECT_NE(received.find("admin\rsecret\renable\renablepw\rshow running-config\r"), std::string::npos) << received;
  EXPECT_EQ(std::count(received.begin(), received.end(), ' '), 1 + 3);
}

// Two commands typed at once: the prompt after the first is not the end of the answer, even
// when the device takes a while before it takes the second (which it echoes after that prompt).
TEST_F(ShellSessionTest, ScriptOfSeveralCommandsIsReadToItsEnd) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .typingDelay = 0.2});
  UseProtocol("raw", device.port());
  ShellSettings settings = Settings(device);
  settings.m_strBackupCommand = "terminal length 0\\rshow running-config";
  std::vector<std::string> stored = Stored(CollectShellConfiguration(conversations_, "127.0.0.1", settings).lines);
  const std::vector<std::string>& config = device.options().config;
  EXPECT_NE(std::find(stored.begin(), stored.end(), "Router#show running-config"), stored.end());
  ASSERT_GE(stored.size(), config.size());
  EXPECT_EQ(std::vector<std::string>(stored.end() - static_cast<long>(config.size()), stored.end()), config);
}

TEST_F(ShellSessionTest, CursorPositioningPagerIsCollectedAsWell) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .page = 150, .erase = "ansi"});
  UseProtocol("raw", device.port());
  ShellCollection result = CollectShellConfiguration(conversations_, "127.0.0.1", Settings(device));
  EXPECT_EQ(Stored(result.lines), Expected(device));
}

// Each read (login steps, command, pages) ends once the device shows its prompt or pager, not
// after the pool's time-out: the whole conversation takes less than one time-out.
TEST_F(ShellSessionTest, ReadsEndAtTheDevicesPromptLongBeforeTheTimeOut) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .page = 100});
  UseProtocol("raw", device.port());
  ShellSettings settings = Settings(device);
  settings.m_nTimeout = 10;
  auto started = std::chrono::steady_clock::now();
  ShellCollection result = CollectShellConfiguration(conversations_, "127.0.0.1", settings);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(Stored(result.lines), Expected(device));
}

// Output that stops for a moment right after text that looks like the prompt, within one line
// of the answer, is not its end.
TEST_F(ShellSessionTest, APauseRightAfterPromptLikeTextDoesNotSplitTheLine) {
  std::vector<std::string> config = testing_support::SampleConfiguration();
  config.insert(config.begin() + 149, {"banner motd ^C", "Router# is managed by the network team", "^C"});
  FakeDevice device(
      FakeDeviceOptions{.mode = "raw", .page = 100, .config = config, .pause = 0.01, .pauseAfter = "Router#"});
  UseProtocol("raw", device.port());
  EXPECT_EQ(Stored(CollectShellConfiguration(conversations_, "127.0.0.1", Settings(device)).lines), Expected(device));
}

TEST_F(ShellSessionTest, WrongPasswordIsALogonFailure) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw"});
  UseProtocol("raw", device.port());
  ShellSettings settings = Settings(device);
  settings.m_strShellPassword = "wrong";
  settings.m_nRetries = 2;
  ShellCollection result = CollectShellConfiguration(conversations_, "127.0.0.1", settings);
  EXPECT_TRUE(result.logonFailed);
  EXPECT_TRUE(result.lines.empty());
}

TEST_F(ShellSessionTest, NothingListeningFailsToOpenQuickly) {
  int port = testing_support::UnusedLoopbackPort();
  UseProtocol("raw", port);
  ShellSettings settings;
  settings.m_bTelnet = 1;
  settings.m_nTimeout = 5;
  settings.m_nShellPort = port;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ShellAnswers(conversations_, "127.0.0.1", settings));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(ShellSessionTest, ServiceStopEndsAConversationPromptly) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .page = 20});
  UseProtocol("raw", device.port());
  ShellSettings settings = Settings(device);
  settings.m_nTimeout = 30;
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop_.Set();
  });
  auto start = std::chrono::steady_clock::now();
  ShellCollection result = CollectShellConfiguration(conversations_, "127.0.0.1", settings);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // The stop cut the conversation off: nothing of the configuration it was reading is kept.
  EXPECT_FALSE(result.logonFailed);
  EXPECT_TRUE(result.lines.empty());
}

TEST_F(ShellSessionTest, TelnetServerPathCollectsTheConfiguration) {
  FakeDevice device(FakeDeviceOptions{.mode = "telnet", .page = 100});
  UseProtocol("telnet", device.port());
  ShellCollection result = CollectShellConfiguration(conversations_, "127.0.0.1", Settings(device));
  EXPECT_FALSE(result.logonFailed);
  EXPECT_EQ(Stored(result.lines), Expected(device));
}

TEST_F(ShellSessionTest, TelnetNegotiationWithTheServerIsLogged) {
  FakeDevice device(FakeDeviceOptions{.mode = "telnet"});
  UseProtocol("telnet", device.port());
  // The conversation's event lines reach its session log (the packet mode keeps them), each
  // naming the device.
  std::string logFile = registry_.path() + "/session.log";
  auto key = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh\\Sessions\\Default%20Settings", true);
  key->SetDword("LogType", 3);
  key->SetString("LogFileName", logFile);
  ASSERT_TRUE(session_.Open("127.0.0.1", Settings(device)));
  EXPECT_TRUE(session_.Login());
  session_.Close();
  std::string log = platform::ReadWholeFile(logFile).value_or("");
  for (const char* line : {"client:\tWILL NAWS", "server:\tDO NAWS", "client:\tSB NAWS 80,24", "server:\tWILL ECHO",
                           "server:\tWILL SGA", "client:\tDO ECHO"})
    EXPECT_NE(log.find("Event Log: 127.0.0.1:" + std::to_string(device.port()) + ": " + line + "\r\n"),
              std::string::npos)
        << line;
}

TEST_F(ShellSessionTest, PoolSettingsGiveStoredLines) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .page = 400});
  UseProtocol("raw", device.port());
  CPoolItem pool;
  pool.m_bTelnet = 1;
  pool.m_nRetries = 1;
  pool.m_nTimeout = 1;
  pool.m_nShellPort = static_cast<uint32_t>(device.port());
  pool.m_strShellUser = "admin";
  pool.m_strShellPassword = "secret";
  pool.m_strPrivilegedCommand = "enable";
  pool.m_strPrivilegedPassword = "enablepw";
  pool.m_strBackupCommand = "show running-config";
  StoredShellLines stored = CollectStoredShellLines(conversations_, "127.0.0.1", pool);
  EXPECT_FALSE(stored.logonFailed);
  EXPECT_EQ(stored.lines, Expected(device));
  pool.m_strShellPassword = "nope";
  EXPECT_FALSE(SendShellRequestToDevice(conversations_, "127.0.0.1", pool, "interface Gi0/1", "shutdown"));
}

TEST_F(ShellSessionTest, TelnetWrongPasswordIsALogonFailure) {
  FakeDevice device(FakeDeviceOptions{.mode = "telnet"});
  UseProtocol("telnet", device.port());
  ShellSettings settings = Settings(device);
  settings.m_strShellPassword = "wrong";
  EXPECT_TRUE(CollectShellConfiguration(conversations_, "127.0.0.1", settings).logonFailed);
}

TEST_F(ShellSessionTest, RloginHandshakeThenConfiguration) {
  // rlogin takes a privileged source port: in a network namespace of its own, no other test's
  // connection holds one.
  if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
  FakeDevice device(FakeDeviceOptions{.mode = "rlogin", .page = 100});
  UseProtocol("rlogin", device.port());
  ShellCollection result = CollectShellConfiguration(conversations_, "127.0.0.1", Settings(device));
  EXPECT_EQ(Stored(result.lines), Expected(device));
  // The device records the size the client answered its urgent request with in its own time.
  EXPECT_TRUE(testing_support::WaitFor([&] { return device.WindowSizes().find("80,24") != std::string::npos; },
                                       std::chrono::seconds(10)));
  // The terminal and the first of the two speeds from the default session.
  EXPECT_NE(device.Handshake().find("\txterm/38400\n"), std::string::npos) << device.Handshake();
}

TEST_F(ShellSessionTest, ConversationsRunAtOnceButOneAtATimePerDevice) {
  FakeDevice first(FakeDeviceOptions{.mode = "raw", .page = 400});
  FakeDevice second(FakeDeviceOptions{.mode = "raw", .page = 400, .address = "127.0.0.2", .port = first.port()});
  UseProtocol("raw", first.port());
  // The raw device serves one connection at a time: a second conversation with it while one
  // runs would wait unanswered and come back empty.
  ShellSettings settings = Settings(first);
  std::vector<size_t> collected(3);
  auto collect = [&](size_t slot, const char* address) {
    collected[slot] = CollectShellConfiguration(conversations_, address, settings).lines.size();
  };
  std::vector<std::thread> threads;
  threads.emplace_back(collect, 0, "127.0.0.1");
  threads.emplace_back(collect, 1, "127.0.0.1");
  threads.emplace_back(collect, 2, "127.0.0.2");
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(collected, std::vector<size_t>(3, Expected(first).size()));
}

TEST_F(ShellSessionTest, SendShellRequestSendsPathAndValueLines) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw"});
  UseProtocol("raw", device.port());
  ShellSettings settings = Settings(device);
  settings.m_strRestoreStart = "configure terminal";
  settings.m_strRestoreEnd = "end";
  ASSERT_TRUE(session_.Open("127.0.0.1", settings));
  ASSERT_TRUE(session_.Login());
  EXPECT_EQ(SendShellRequest(session_, "interface Gi0/1", "description a\r\n\r\n ip address 1.2.3.4 255.0.0.0 "),
            ShellRequestOutcome::Answered);
  session_.Close();
  std::string received = device.Received();
  EXPECT_NE(received.find("configure terminal\rinterface Gi0/1\rdescription a\rip address 1.2.3.4 255.0.0.0\rend\r"),
            std::string::npos)
      << received;
}

}  // namespace
}  // namespace mirvale

namespace mirvale {
namespace {

class ShellSessionLimitsTest : public ShellSessionTest {
 protected:
  // Each cut is in the service's event log, named by the device.
  bool Logged(const FakeDevice& device, const std::string& text) const {
    std::string events = FakeDevice::ReadFile(events_ / "events.log");
    return events.find("127.0.0.1:" + std::to_string(device.port()) + ": " + text + "\n") != std::string::npos;
  }
  testing_support::TempFolder events_;
  testing_support::ScopedEnv eventLog_{"MIRVALE_EVENTLOG", events_ / "events.log"};
};

// One attempt only: a retry would wait the window out again.
TEST_F(ShellSessionLimitsTest, DeviceThatNeverGoesQuietIsCutOff) {
  FakeDevice device(FakeDeviceOptions{.mode = "stream", .interval = 0.05});
  UseProtocol("raw", device.port());
  ShellConversations conversations(ShellConversations::kDefaultLimit,
                                   ShellSessionLimits{.readWindow = std::chrono::seconds(2)}, &stop_);
  ShellSettings settings = Settings(device);
  settings.m_nRetries = 3;
  auto start = std::chrono::steady_clock::now();
  ShellCollection result = CollectShellConfiguration(conversations, "127.0.0.1", settings);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(result.logonFailed);
  EXPECT_EQ(result.cut, ShellCut::ReadWindow);
  EXPECT_TRUE(Logged(device, "Device output did not pause within 2 s; conversation ended"));
}

TEST_F(ShellSessionLimitsTest, FloodOfOutputEndsTheConversation) {
  FakeDevice device(FakeDeviceOptions{.mode = "stream"});
  UseProtocol("raw", device.port());
  CShellSession session(&stop_, ShellSessionLimits{.heldTextLimit = 64 * 1024});
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(session.Open("127.0.0.1", Settings(device)));
  EXPECT_FALSE(session.Login());
  EXPECT_FALSE(session.Alive());
  EXPECT_FALSE(session.SendText("x\r"));
  std::vector<std::string> lines;
  session.ReadLines(lines);
  session.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
  size_t bytes = 0;
  for (const auto& line : lines) bytes += line.size() + 2;
  EXPECT_LE(bytes, 64u * 1024 + 4096);
  EXPECT_EQ(session.Cut(), ShellCut::Overflow);
  EXPECT_TRUE(Logged(device, "Device output exceeded the limit of 65536 bytes; conversation ended"));
}

}  // namespace
}  // namespace mirvale

// A shell pool scanned through the real MirvaleSrv: the fake device as a raw TCP service on
// 127.0.0.1 (chosen through the client's default session), behind busybox's telnet server,
// behind sshd (SSH-2) and behind the scripted SSH-1 server.
#include <algorithm>
#include <functional>
#include <iostream>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "tests/service/shell_scan_support.h"
#include "tests/support/fake_device.h"
#include "tests/support/service_process.h"
#include "tests/support/ssh_device.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeDevice;
using testing_support::FakeDeviceOptions;
using testing_support::ServiceProcess;
using namespace shell_scan_testing;

// A scan of the SSH pool with the password "Secret-1" stores the device's lines; with a wrong
// one it is a logon failure. peer_log tells what the server saw when the first scan fails.
void ExpectScanThenLogonFailure(const std::function<CMirvaleDoc(const std::string& password)>& doc,
                                const std::vector<std::string>& config, const std::function<std::string()>& peer_log) {
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc("Secret-1"))));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto first = WaitForFinishedScan(service, "");
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->map.Find("routers/127.0.0.1"));
  EXPECT_EQ(first->map.Find("routers/127.0.0.1")->m_strStatus, "Finished without changes") << peer_log();
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), config.begin(), config.end());
  EXPECT_EQ(StoredLines(service), expected);

  auto second = ScanAgainWith(service, doc("wrong"), first->header.m_strScanStart);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->map.Find("routers/127.0.0.1")->m_strStatus, "Failed due to logon failure");
}

TEST(ShellScanService, ShellPoolStoresLinesMarksChangesAndLogonFailures) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .page = 400});
  ServiceProcess service;
  ASSERT_TRUE(UseProtocol(service, "raw", device.port()));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"),
                                            EncodeSettings(ShellSettingsDoc(device.port(), "secret"))));
  ASSERT_TRUE(service.Start());

  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto first = WaitForFinishedScan(service, "");
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->map.Find("routers/127.0.0.1"));
  EXPECT_EQ(first->map.Find("routers/127.0.0.1")->m_strStatus, "Finished without changes");
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), device.options().config.begin(), device.options().config.end());
  EXPECT_EQ(StoredLines(service), expected);

  // One changed line: the scan reports changes and keeps the line it replaced.
  std::this_thread::sleep_for(1100ms);
  std::vector<std::string> changed = device.options().config;
  changed[2] = "hostname Core";
  device.ReplaceConfig(changed);
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto second = WaitForFinishedScan(service, first->header.m_strScanStart);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->map.Find("routers/127.0.0.1")->m_strStatus, "Finished with changes");
  std::vector<std::string> previous;
  std::vector<std::string> lines = StoredLines(service, &previous);
  ASSERT_GT(lines.size(), 3u);
  EXPECT_EQ(lines[3], "hostname Core");
  EXPECT_EQ(previous[3], "hostname Router");

  // A wrong password is a logon failure.
  auto third = ScanAgainWith(service, ShellSettingsDoc(device.port(), "wrong"), second->header.m_strScanStart);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->map.Find("routers/127.0.0.1")->m_strStatus, "Failed due to logon failure");
}

// The same pool behind busybox's telnet server: the service negotiates telnet, logs on and
// stores the configuration. The privileged command typed with its \r is sent as the command and
// one CR, as the scripts are.
TEST(ShellScanService, TelnetPoolIsScannedThroughTheTelnetServer) {
  FakeDevice device(FakeDeviceOptions{.mode = "telnet", .page = 100});
  ServiceProcess service;
  ASSERT_TRUE(UseProtocol(service, "telnet", device.port()));
  CMirvaleDoc doc = ShellSettingsDoc(device.port(), "secret");
  doc.m_mapPools.Find("routers")->m_strPrivilegedCommand = "enable\\r";
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto scan = WaitForFinishedScan(service, "");
  ASSERT_TRUE(scan);
  ASSERT_TRUE(scan->map.Find("routers/127.0.0.1"));
  EXPECT_EQ(scan->map.Find("routers/127.0.0.1")->m_strStatus, "Finished without changes");
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), device.options().config.begin(), device.options().config.end());
  EXPECT_EQ(StoredLines(service), expected);
  std::string received = device.Received();
  EXPECT_EQ(received.find("\\r"), std::string::npos) << received;
  EXPECT_NE(received.find("enable\r"), std::string::npos) << received;
  EXPECT_TRUE(service.Stop());
}

// A read that ends early must not cut a device that pauses mid-page (half a second, within the
// one-second time-out), nor lose lines of one whose prompt changes with every command and whose
// pager text is no pager prompt, which is read at the time-out's pace.
TEST(ShellScanService, PausingDeviceAndDeviceWithoutKnownPromptKeepEveryLine) {
  FakeDevice pausing(FakeDeviceOptions{.mode = "telnet", .page = 100, .pause = 0.5});
  FakeDevice odd(FakeDeviceOptions{.mode = "telnet", .page = 150, .numberedPrompt = true, .pager = " Next page? "});
  ServiceProcess service;
  ASSERT_TRUE(UseProtocol(service, "telnet", pausing.port()));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"),
                                            EncodeSettings(ShellSettingsDoc(pausing.port(), "secret"))));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto first = WaitForFinishedScan(service, "");
  ASSERT_TRUE(first);
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), pausing.options().config.begin(), pausing.options().config.end());
  EXPECT_EQ(StoredLines(service), expected);

  ASSERT_TRUE(UseProtocol(service, "telnet", odd.port()));
  auto second = ScanAgainWith(service, ShellSettingsDoc(odd.port(), "secret"), first->header.m_strScanStart);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->map.Find("routers/127.0.0.1")->m_strStatus, "Finished without changes");
  EXPECT_EQ(StoredLines(service), expected);
}

// sshd on loopback runs the fake device's command line for its test account, logged in by
// password.
TEST(ShellScanService, OverSshStoresTheSameLinesAndAWrongPasswordIsALogonFailure) {
  FakeDevice device(FakeDeviceOptions{.mode = "ssh", .page = 400});
  testing_support::SshDeviceServer sshd(device.Command());
  ASSERT_TRUE(sshd.ready());
  ExpectScanThenLogonFailure([&](const std::string& password) { return SshPoolDoc(sshd, password); },
                             device.options().config, [&] { return sshd.Log(); });
}

// The scripted SSH-1 server serves the fake device's command line to the user it logs in.
TEST(ShellScanService, OverSsh1StoresTheSameLinesAndAWrongPasswordIsALogonFailure) {
  FakeDevice device(FakeDeviceOptions{.mode = "ssh", .page = 400});
  testing_support::TempFolder folder;
  ssh_testing::Server server({"/usr/bin/python3", MIRVALE_SSH1_PEER, "--port", "{port}", "--report",
                              folder / "report.txt", "--user", testing_support::kSshUser, "--password",
                              testing_support::kSshPassword, "--config", device.ConfigPath()});
  ASSERT_TRUE(server.ready());
  auto doc = [&](const std::string& password) {
    CMirvaleDoc settings = ShellSettingsDoc(server.port(), password);
    CPoolItem& pool = *settings.m_mapPools.Find("routers");
    pool.m_bTelnet = 0;
    pool.m_bSsh = 1;
    pool.m_nTimeout = 5;
    pool.m_strShellUser = testing_support::kSshUser;
    return settings;
  };
  ExpectScanThenLogonFailure(doc, device.options().config, [&] { return FakeDevice::ReadFile(folder / "report.txt"); });
}

// Scripted SSH servers that misbehave, each alone in the pool: host keys too large to check
// are refused at once, and a server that closes after the key exchange is no logon failure.
class HostileSshServer {
 public:
  explicit HostileSshServer(const std::string& mode)
      : server_({"/usr/bin/python3", MIRVALE_SOURCE_DIR "/tests/service/peers/ssh_hostile_server.py", "{port}", mode}) {
  }
  bool ready() const { return server_.ready(); }
  CMirvaleDoc Pool() const {
    CMirvaleDoc doc = ShellSettingsDoc(server_.port(), "secret");
    CPoolItem& pool = *doc.m_mapPools.Find("routers");
    pool.m_bTelnet = 0;
    pool.m_bSsh = 1;
    pool.m_nTimeout = kTimeoutSeconds;
    return doc;
  }
  std::string Device() const { return "127.0.0.1:" + std::to_string(server_.port()); }
  static constexpr int kTimeoutSeconds = 5;

 private:
  ssh_testing::Server server_;
};

// One scan of the pool that holds the server alone: the device's status, the service's event
// lines and how long the scan took.
struct HostileScan {
  std::string status;
  std::string events;
  std::chrono::milliseconds took{};
};

HostileScan ScanAlone(const std::string& mode) {
  HostileScan result;
  HostileSshServer server(mode);
  EXPECT_TRUE(server.ready()) << mode;
  ServiceProcess service;
  EXPECT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(server.Pool())));
  EXPECT_TRUE(service.Start());
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(service.Control(kStartScan), 0u);
  auto scan = WaitForFinishedScan(service, "");
  result.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  const CScanDbItem* device = scan ? scan->map.Find("routers/127.0.0.1") : nullptr;
  EXPECT_TRUE(device) << mode << ": the scan did not finish with the device";
  if (device) result.status = device->m_strStatus;
  // The event lines name the device: the address is replaced by a fixed mark for the checks.
  for (const auto& line : service.EventLines()) {
    std::string text = line;
    for (size_t at; (at = text.find(server.Device())) != std::string::npos;)
      text.replace(at, server.Device().size(), "DEVICE");
    result.events += text + "\n";
  }
  return result;
}

TEST(ShellScanService, OversizedHostKeysAreRefusedAtOnce) {
  for (const auto& [mode, refusal] :
       {std::pair{"rsa-16385", "RSA modulus of 16385 bits is larger than the 16384 bits accepted"},
        {"rsa-11400", "RSA modulus of 91199 bits is larger than the 16384 bits accepted"}}) {
    HostileScan scan = ScanAlone(mode);
    std::cout << mode << ": scan " << scan.took.count() << " ms\n";
    EXPECT_LT(scan.took, std::chrono::seconds(2 * HostileSshServer::kTimeoutSeconds)) << mode;
    EXPECT_NE(scan.events.find("FATAL ERROR: DEVICE: Server's host key refused: " + std::string(refusal) + "\n"),
              std::string::npos)
        << scan.events;
  }
}

// No configuration read is no success: a connection lost after the key exchange before any
// login completed is a logon failure, one lost once the login was accepted no response; a
// server closing, or asking of, a channel the client never had ends the connection. However the
// connection ends, the event lines name the device.
TEST(ShellScanService, ConnectionsEndingAfterTheKeyExchangeAreFailures) {
  for (const auto& [mode, status, fatal] :
       {std::tuple{"close-at-kex", "Failed due to logon failure", ""},
        {"close-at-shell", "No response from device", ""},
        {"unknown-close", "No response from device", "Received CHANNEL_CLOSE for nonexistent channel 4242 \n"},
        {"unknown-request", "No response from device",
         "Disconnected: Received channel request for nonexistent channel 4242\n"}}) {
    HostileScan scan = ScanAlone(mode);
    EXPECT_EQ(scan.status, status) << mode << "\n" << scan.events;
    EXPECT_NE(scan.events.find("FATAL ERROR: DEVICE: " + std::string(fatal)), std::string::npos) << scan.events;
    EXPECT_NE(scan.events.find("DEVICE: The server's host key is not cached"), std::string::npos) << scan.events;
  }
}

}  // namespace
}  // namespace mirvale

// A shell pool scanned through the real MirvaleSrv: the fake device as a raw TCP service on
// 127.0.0.1 (chosen through the client's default session), behind busybox's telnet server,
// behind sshd (SSH-2) and behind the scripted SSH-1 server.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "common/status_texts.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "tests/service/shell_scan_support.h"
#include "tests/support/fake_device.h"
#include "tests/support/service_process.h"
#include "tests/support/snmp_agent.h"
#include "tests/support/ssh_device.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeDevice;
using testing_support::FakeDeviceOptions;
using testing_support::ServiceProcess;
using namespace shell_scan_testing;

constexpr uint32_t kStopScan = 137;

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

// An SSH login without a user name, from an SSH pool without one or from a telnet pool whose
// default session chooses SSH, fails before anything is sent: the password is never the answer
// to the server's user-name question, where it would stand in clear in the server's log.
TEST(ShellScanService, SshLoginWithoutAUserNameSendsNoPassword) {
  FakeDevice device(FakeDeviceOptions{.mode = "ssh", .page = 400});
  testing_support::SshDeviceServer sshd(device.Command());
  ASSERT_TRUE(sshd.ready());
  for (bool telnetPool : {false, true}) {
    ServiceProcess service;
    CMirvaleDoc doc = SshPoolDoc(sshd, testing_support::kSshPassword);
    CPoolItem& pool = *doc.m_mapPools.Find("routers");
    if (telnetPool) {
      pool.m_bSsh = 0;
      pool.m_bTelnet = 1;
      ASSERT_TRUE(UseProtocol(service, "ssh", sshd.port()));
    } else {
      pool.m_strShellUser = "";
    }
    ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
    ASSERT_TRUE(service.Start());
    ASSERT_EQ(service.Control(kStartScan), 0u);
    auto scan = WaitForFinishedScan(service, "");
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->map.Find("routers/127.0.0.1")->m_strStatus, "Failed due to logon failure") << telnetPool;
    EXPECT_TRUE(service.WaitForEventLine(
        "127.0.0.1:" + std::to_string(sshd.port()) + ": The user name for the SSH login is missing: nothing was sent",
        5s))
        << platform::ReadWholeFile(service.EventLogPath()).value_or("");
    EXPECT_TRUE(service.Stop());
    EXPECT_EQ(sshd.Log().find(testing_support::kSshPassword), std::string::npos) << sshd.Log();
  }
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

// Hostile peers stand beside the good device at 127.0.0.1, each at a loopback address of its
// own on the same port, in the test's own network namespace.
void AddDevices(CMirvaleDoc& doc, const std::vector<std::string>& addresses) {
  for (const auto& address : addresses)
    doc.m_mapPools.Find("routers")->m_pDevices.FindOrAdd(address) = CDeviceItem{address, "255.255.255.255"};
}

std::string StatusOf(const ScanDatabase& scan, const std::string& address) {
  const CScanDbItem* device = scan.map.Find("routers/" + address);
  return device ? device->m_strStatus : "(not scanned)";
}

// The device's first event line that begins with the text, without the device's name.
std::string EventOf(const ServiceProcess& service, const std::string& device, const std::string& begins) {
  for (const auto& line : service.EventLines())
    if (line.starts_with(device + ": " + begins)) return line.substr(device.size() + 2);
  return "(no event line for " + device + ")";
}

std::vector<std::string> Expected(const FakeDevice& device) {
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), device.options().config.begin(), device.options().config.end());
  return expected;
}

// A telnet device that trickles its output for ever, beside a good one, within a read window of
// 4 s (MIRVALE_SHELL_READ_SECONDS): a stop request (137) ends its conversation at the next read;
// else the window cuts it off. Either way the device is not reported finished, nothing of it is
// stored, and the event log says why.
struct TrickleEnd {
  const char* name;
  bool stopRequest;
  const char* status;
  const char* event;
};

void PrintTo(const TrickleEnd& end, std::ostream* out) { *out << end.name; }

class TricklingTelnetDevice : public ::testing::TestWithParam<TrickleEnd> {};

TEST_P(TricklingTelnetDevice, EndsWithinItsBoundsAndSaysWhy) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
  const TrickleEnd& end = GetParam();
  const int port = testing_support::UnusedLoopbackPort();
  FakeDevice good(FakeDeviceOptions{.mode = "telnet", .page = 400, .port = port});
  FakeDevice trickling(
      FakeDeviceOptions{.mode = "telnet", .page = 400, .address = "127.0.0.2", .port = port, .trickle = 0.02});
  ServiceProcess service;
  service.SetEnv("MIRVALE_SHELL_READ_SECONDS", "4");
  ASSERT_TRUE(UseProtocol(service, "telnet", port));
  CMirvaleDoc doc = ShellSettingsDoc(port, "secret");
  AddDevices(doc, {"127.0.0.2"});
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto trickled = [&] { return trickling.Received().find("show running-config") != std::string::npos; };
  for (auto deadline = std::chrono::steady_clock::now() + 30s;
       !trickled() && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(trickled());
  auto started = std::chrono::steady_clock::now();
  if (end.stopRequest) {
    std::this_thread::sleep_for(2s);
    started = std::chrono::steady_clock::now();
    ASSERT_EQ(service.Control(kStopScan), 0u);
  }
  auto scan = WaitForFinishedScan(service, "");
  ASSERT_TRUE(scan);
  EXPECT_LT(std::chrono::steady_clock::now() - started, end.stopRequest ? 2s : 8s);
  EXPECT_EQ(StatusOf(*scan, "127.0.0.1"), "Finished without changes");
  EXPECT_EQ(StoredLines(service), Expected(good));
  EXPECT_EQ(StatusOf(*scan, "127.0.0.2"), end.status);
  EXPECT_EQ(EventOf(service, "127.0.0.2:" + std::to_string(port), std::string(end.event).substr(0, 10)), end.event);
  // Never the prompt came back: nothing of the trickling device is stored.
  EXPECT_TRUE(StoredLines(service, nullptr, "127.0.0.2").empty());
}

INSTANTIATE_TEST_SUITE_P(Ends, TricklingTelnetDevice,
                         ::testing::Values(TrickleEnd{"StopRequest", true, "Collecting Information...",
                                                      "Conversation ended: the scan was stopped"},
                                           TrickleEnd{"ReadWindow", false, "No response from device",
                                                      "Device output did not pause within 4 s; conversation ended"}),
                         [](const auto& info) { return std::string(info.param.name); });

// SSH peers that never finish their part of the connection, beside sshd serving the good device:
// the good device is stored, and the event log names each other one with its reason.
TEST(ShellScanService, SilentAndTricklingSshPeersAreNamedWithTheirReason) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
  FakeDevice device(FakeDeviceOptions{.mode = "ssh", .page = 400});
  testing_support::SshDeviceServer sshd(device.Command());
  ASSERT_TRUE(sshd.ready());
  const std::string port = std::to_string(sshd.port());
  const std::vector<std::pair<std::string, std::string>> peers = {
      {"silent", "The device sent nothing within 5 s of the connection"},
      {"trickle-banner", "The key exchange did not finish within 5 s: the device was still sending"},
      {"trickle-kex", "The key exchange did not finish within 5 s: the device was still sending"},
      {"ignore-flood", "The key exchange did not finish within 5 s: the device sent "},
      {"ignore-at-login", "The login did not finish within 5 s: the device sent "}};
  std::vector<std::unique_ptr<testing_support::ChildProcess>> servers;
  std::vector<std::string> addresses;
  for (const auto& [mode, reason] : peers) {
    addresses.push_back("127.0.0." + std::to_string(addresses.size() + 2));
    servers.push_back(std::make_unique<testing_support::ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", MIRVALE_SOURCE_DIR "/tests/service/peers/ssh_hostile_server.py",
                                 port, mode, addresses.back()}));
    ASSERT_TRUE(ssh_testing::WaitForTcpPort(sshd.port(), 10s, addresses.back().c_str())) << mode;
  }
  ServiceProcess service;
  // A device that goes on sending is given its read window (here the time-out's 5 s) before it
  // is cut off, a silent one the time-out.
  service.SetEnv("MIRVALE_SHELL_READ_SECONDS", "5");
  CMirvaleDoc doc = SshPoolDoc(sshd, testing_support::kSshPassword);
  AddDevices(doc, addresses);
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto scan = WaitForFinishedScan(service, "");
  ASSERT_TRUE(scan);
  EXPECT_EQ(StatusOf(*scan, "127.0.0.1"), "Finished without changes") << sshd.Log();
  EXPECT_EQ(StoredLines(service), Expected(device));
  for (size_t i = 0; i < peers.size(); ++i) {
    const auto& [mode, reason] = peers[i];
    EXPECT_TRUE(IsFailureStatus(StatusOf(*scan, addresses[i]))) << mode;
    std::string event = EventOf(service, addresses[i] + ":" + port, reason.substr(0, 20));
    EXPECT_TRUE(event.starts_with(reason)) << mode << ": " << event;
  }
}

// A telnet device that cannot be reached in time: behind a proxy that takes the connection and
// never answers, or at an address whose packets vanish. The device is named
// in the event log with the reason; the one reached directly beside it is stored.
struct UnreachablePeer {
  const char* name;
  int proxyMethod;  // 0 none, 3 HTTP CONNECT, 4 telnet command
  const char* address;
  const char* reason;  // the beginning of the device's event line
  bool proxyListens = true;
};

void PrintTo(const UnreachablePeer& peer, std::ostream* out) { *out << peer.name; }

class UnreachableTelnetPeer : public ::testing::TestWithParam<UnreachablePeer> {};

TEST_P(UnreachableTelnetPeer, LeavesAnEventLineNamingTheDeviceAndTheReason) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
  const UnreachablePeer& peer = GetParam();
  // Packets to 10.9.9.2 leave through one end of a veth pair and die at the other, which has no
  // address; the neighbour entry keeps the kernel from failing the connection for want of ARP.
  ASSERT_EQ(std::system("ip link show mirvale-void >/dev/null 2>&1 || ip link add mirvale-void type veth peer name "
                        "mirvale-sink; ip addr replace 10.9.9.1/24 dev mirvale-void && ip link set mirvale-void up && "
                        "ip link set mirvale-sink up && ip neigh replace 10.9.9.2 lladdr 02:00:00:00:00:02 dev "
                        "mirvale-void"),
            0);
  const int port = testing_support::UnusedLoopbackPort();
  const int proxyPort = testing_support::UnusedLoopbackPort();
  FakeDevice good(FakeDeviceOptions{.mode = "telnet", .page = 400, .port = port});
  testing_support::ChildProcess proxy({"/usr/bin/python3",
                                       MIRVALE_SOURCE_DIR "/tests/service/peers/ssh_hostile_server.py",
                                       std::to_string(proxyPort), "silent", "127.0.0.9"});
  ASSERT_TRUE(ssh_testing::WaitForTcpPort(proxyPort, 10s, "127.0.0.9"));
  ServiceProcess service;
  ASSERT_TRUE(UseProtocol(service, "telnet", port));
  // A dead proxy: nothing listens at its port.
  ASSERT_TRUE(UseProxy(service, peer.proxyMethod, "127.0.0.9", peer.proxyListens ? proxyPort : port, "127.0.0.1"));
  CMirvaleDoc doc = ShellSettingsDoc(port, "secret");
  doc.m_mapPools.Find("routers")->m_nTimeout = 2;
  AddDevices(doc, {peer.address});
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto scan = WaitForFinishedScan(service, "");
  ASSERT_TRUE(scan);
  EXPECT_EQ(StatusOf(*scan, "127.0.0.1"), "Finished without changes");
  EXPECT_EQ(StoredLines(service), Expected(good));
  // The device's line, or its connection's fatal error ("FATAL ERROR: " before the device).
  const std::string named = std::string(peer.address) + ":" + std::to_string(port) + ": " + peer.reason;
  const auto lines = service.EventLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.find(named) != std::string::npos;
  })) << platform::ReadWholeFile(service.EventLogPath()).value_or("");
}

INSTANTIATE_TEST_SUITE_P(
    Peers, UnreachableTelnetPeer,
    ::testing::Values(UnreachablePeer{"SilentHttpProxy", 3, "127.0.0.2", "The proxy sent no answer within 2 s"},
                      UnreachablePeer{"SilentTelnetProxy", 4, "127.0.0.2", "The proxy sent no answer within 2 s"},
                      UnreachablePeer{"DeadHttpProxy", 3, "127.0.0.2",
                                      "Proxy error: The connection to the proxy 127.0.0.9 port ", false},
                      UnreachablePeer{"VanishingPackets", 0, "10.9.9.2",
                                      "The connection to the device did not come up within 2 s"}),
    [](const auto& info) { return std::string(info.param.name); });

// An SSH-2 device that says "% Login invalid" once the session opened and closes, reached through
// each kind of proxy (SOCKS 4, SOCKS 5, HTTP CONNECT, telnet command; directly: ShellFaultyDevice):
// the event line names the device and gives its words.
struct ProxyKind {
  const char* mode;  // of proxy_peer.py
  int method;        // the client's "ProxyMethod"
};

void PrintTo(const ProxyKind& kind, std::ostream* out) { *out << kind.mode; }

class SshLoginInvalidOnceTheSessionOpened : public ::testing::TestWithParam<ProxyKind> {};

TEST_P(SshLoginInvalidOnceTheSessionOpened, LeavesAnEventLineWithTheDevicesWords) {
  const ProxyKind& kind = GetParam();
  FakeDevice device(FakeDeviceOptions{.mode = "ssh", .page = 400});
  device.Override({{"close_at_start", "1"}, {"farewell", "% Login invalid"}});
  testing_support::SshDeviceServer sshd(device.Command());
  ASSERT_TRUE(sshd.ready());
  testing_support::TempFolder folder;
  ssh_testing::Server proxy({"/usr/bin/python3", MIRVALE_SOURCE_DIR "/tests/remoteshell/peers/proxy_peer.py", kind.mode,
                             "{port}", folder / "proxy.log"});
  ASSERT_TRUE(proxy.ready());
  ServiceProcess service;
  ASSERT_TRUE(UseProxy(service, kind.method, "127.0.0.1", proxy.port()));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"),
                                            EncodeSettings(SshPoolDoc(sshd, testing_support::kSshPassword))));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  auto scan = WaitForFinishedScan(service, "");
  ASSERT_TRUE(scan);
  EXPECT_EQ(StatusOf(*scan, "127.0.0.1"), "No response from device");
  EXPECT_TRUE(service.WaitForEventLine("127.0.0.1:" + std::to_string(sshd.port()) +
                                           ": The device ended the connection right after the login: % Login invalid",
                                       5s))
      << platform::ReadWholeFile(service.EventLogPath()).value_or("");
  EXPECT_NE(FakeDevice::ReadFile(folder / "proxy.log"), "") << "the proxy carried the connection";
}

INSTANTIATE_TEST_SUITE_P(Proxies, SshLoginInvalidOnceTheSessionOpened,
                         ::testing::Values(ProxyKind{"socks4a", 1}, ProxyKind{"socks5", 2}, ProxyKind{"http", 3},
                                           ProxyKind{"telnet", 4}),
                         [](const auto& info) { return std::string(info.param.mode); });

}  // namespace
}  // namespace mirvale

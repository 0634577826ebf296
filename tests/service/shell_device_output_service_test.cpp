// Shell devices whose output arrives in pieces, or that answer oddly, scanned through the real
// MirvaleSrv over telnet and SSH-2: the stored lines are the configuration, whole, every time,
// and a device whose configuration was never read is never reported finished.
#include <cstdlib>
#include <iostream>
#include <random>

#include <gtest/gtest.h>

#include "tests/service/shell_scan_support.h"
#include "tests/support/fake_device.h"

namespace mirvale {
namespace {

using testing_support::FakeDevice;
using testing_support::FakeDeviceOptions;
using namespace shell_scan_testing;

using Pauses = std::vector<std::pair<int, int>>;

// Lines a read that ends early may take for a prompt or a pager prompt when the device pauses
// inside them, among a banner, comments, a pager every ten lines and the end.
std::vector<std::string> TrickyConfiguration() {
  std::vector<std::string> lines = {"!",
                                    "version 15.2",
                                    "hostname Router",
                                    "banner motd ^C",
                                    "Router>",
                                    "Router#show clock",
                                    "Router(config-if)# shutdown",
                                    "^C",
                                    "! more details in ticket 42",
                                    "!"};
  for (const auto& line : testing_support::SampleConfiguration(4)) lines.push_back(line);
  return lines;
}
constexpr int kChosenLines[] = {4, 5, 6, 8};
constexpr double kPauseSeconds = 0.08;  // longer than the 50 ms a read waits after a prompt

std::vector<std::string> Expected(const std::vector<std::string>& config) {
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), config.begin(), config.end());
  return expected;
}

// Every byte position of the chosen lines (their CR LF included), then random positions of any
// line, from a seed that MIRVALE_SHELL_SEED may fix.
std::vector<Pauses> SplitPlans(const std::vector<std::string>& config, int randomPlans) {
  std::vector<Pauses> plans(1);
  for (int line : kChosenLines)
    for (int position = 0; position <= static_cast<int>(config[line].size()) + 2; ++position)
      plans[0].emplace_back(line, position);
  const char* fixed = std::getenv("MIRVALE_SHELL_SEED");
  unsigned seed = fixed != nullptr ? static_cast<unsigned>(std::atoi(fixed)) : std::random_device{}();
  std::cout << "split seed " << seed << "\n";
  std::mt19937 random(seed);
  for (int plan = 0; plan < randomPlans; ++plan) {
    Pauses pauses;
    for (int i = 0; i < 25; ++i) {
      int line = static_cast<int>(random() % config.size());
      pauses.emplace_back(line, static_cast<int>(random() % (config[line].size() + 3)));
    }
    plans.push_back(pauses);
  }
  return plans;
}

// One scan per plan, the device pausing where the plan says: the same lines every time.
void ExpectTheSameLinesHoweverSplit(FakeDevice& device, const CMirvaleDoc& doc) {
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  std::string last;
  for (const Pauses& plan : SplitPlans(device.options().config, 2)) {
    device.ReplacePauses(plan);
    auto scan = ScanAgainWith(service, doc, last);
    ASSERT_TRUE(scan);
    last = scan->header.m_strScanStart;
    std::string pauses;
    for (const auto& [line, position] : plan) pauses += std::to_string(line) + ":" + std::to_string(position) + " ";
    EXPECT_EQ(StoredLines(service), Expected(device.options().config)) << pauses;
    EXPECT_TRUE(scan->map.Find("routers/127.0.0.1")->m_strStatus.starts_with("Finished")) << pauses;
  }
}

TEST(ShellDeviceOutput, TelnetLinesAreTheSameHoweverTheOutputIsSplit) {
  FakeDevice device(FakeDeviceOptions{
      .mode = "telnet", .page = 10, .erase = "ansi", .config = TrickyConfiguration(), .pauseLength = kPauseSeconds});
  ExpectTheSameLinesHoweverSplit(device, ShellSettingsDoc(device.port(), "secret"));
}

TEST(ShellDeviceOutput, SshLinesAreTheSameHoweverTheOutputIsSplit) {
  FakeDevice device(
      FakeDeviceOptions{.mode = "ssh", .page = 10, .config = TrickyConfiguration(), .pauseLength = kPauseSeconds});
  testing_support::SshDeviceServer sshd(device.Command());
  ASSERT_TRUE(sshd.ready());
  ExpectTheSameLinesHoweverSplit(device, SshPoolDoc(sshd, "Secret-1"));
}

// One scan of the pool alone; the device's status and stored lines.
struct Scan {
  std::string status;
  std::vector<std::string> lines;
  std::chrono::milliseconds took{};
};

Scan ScanOnce(const CMirvaleDoc& doc) {
  Scan result;
  ServiceProcess service;
  EXPECT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  EXPECT_TRUE(service.Start());
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(service.Control(kStartScan), 0u);
  auto scan = WaitForFinishedScan(service, "");
  result.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  const mirvale::CScanDbItem* device = scan ? scan->map.Find("routers/127.0.0.1") : nullptr;
  EXPECT_TRUE(device);
  if (device) result.status = device->m_strStatus;
  result.lines = StoredLines(service);
  return result;
}

// A device that answers its passwords without a line break shows its prompt on the question's
// line, here "$ ": the prompt is what came after the password, so reads end at it (four reads
// waiting out the ten-second time-out would take 40 s), and no "$" is stored.
TEST(ShellDeviceOutput, SameLinePasswordAndADollarPrompt) {
  FakeDevice device(FakeDeviceOptions{.mode = "telnet", .page = 400, .sameLinePassword = true, .prompt = "$ "});
  CMirvaleDoc doc = ShellSettingsDoc(device.port(), "secret");
  doc.m_mapPools.Find("routers")->m_nTimeout = 10;
  Scan scan = ScanOnce(doc);
  EXPECT_EQ(scan.lines, Expected(device.options().config));
  EXPECT_LT(scan.took, std::chrono::seconds(20));
}

// Two MiB without a line break in 64-byte pieces are cut into lines as they come: stored whole.
TEST(ShellDeviceOutput, TwoMebibyteLineIsStoredWhole) {
  std::vector<std::string> config = {"hostname Router", "description " + std::string(2 << 20, 'x'), "end"};
  FakeDevice device(FakeDeviceOptions{.mode = "telnet", .page = 400, .config = config, .piece = 64});
  CMirvaleDoc doc = ShellSettingsDoc(device.port(), "secret");
  doc.m_mapPools.Find("routers")->m_nTimeout = 5;
  Scan scan = ScanOnce(doc);
  EXPECT_EQ(scan.status, "Finished without changes");
  ASSERT_EQ(scan.lines.size(), 4u);
  EXPECT_EQ(scan.lines[2].size(), config[1].size());
  EXPECT_EQ(scan.lines[3], "end");
}

// The device answers the probe and then refuses every connection: no login completed.
TEST(ShellDeviceOutput, DeviceThatRefusesAfterTheProbeIsALogonFailure) {
  FakeDevice device(FakeDeviceOptions{.mode = "raw", .acceptOnce = true});
  Scan scan = ScanOnce(ShellSettingsDoc(device.port(), "secret"));
  EXPECT_EQ(scan.status, "Failed due to logon failure");
  EXPECT_TRUE(scan.lines.empty());
}

// sshd behind a proxy that hands its first 4 KiB on in 50-byte pieces 100 ms apart: the key
// exchange takes longer than the three-second time-out while the device keeps sending.
TEST(ShellDeviceOutput, SshKeyExchangeSlowerThanTheTimeOutWhileTheDeviceSends) {
  FakeDevice device(FakeDeviceOptions{.mode = "ssh", .page = 400, .config = {"hostname Router", "end"}});
  testing_support::SshDeviceServer sshd(device.Command());
  ASSERT_TRUE(sshd.ready());
  ssh_testing::Server proxy({"/usr/bin/python3", MIRVALE_SOURCE_DIR "/tests/service/peers/trickle_proxy.py", "--port",
                             "{port}", "--target", std::to_string(sshd.port()), "--piece", "50", "--pause", "0.1"});
  ASSERT_TRUE(proxy.ready());
  CMirvaleDoc doc = SshPoolDoc(sshd, "Secret-1");
  CPoolItem& pool = *doc.m_mapPools.Find("routers");
  pool.m_nShellPort = static_cast<uint32_t>(proxy.port());
  pool.m_nTimeout = 3;
  Scan scan = ScanOnce(doc);
  EXPECT_EQ(scan.status, "Finished without changes") << sshd.Log();
  EXPECT_EQ(scan.lines, Expected(device.options().config));
}

// The service stopped in the middle of a scan of two slow routers keeps nothing of a
// configuration it had not finished reading, never the prompt: each device holds the lines of
// the scan before or, when its reading was done, the new ones.
TEST(ShellDeviceOutput, ServiceStoppedDuringAShellScanStoresOnlyWholeConfigurations) {
  FakeDeviceOptions slow{.mode = "telnet", .page = 400, .piece = 200, .piecePause = 0.04};
  FakeDevice first(slow);
  slow.address = "127.0.0.2";
  slow.port = first.port();
  FakeDevice second(slow);
  CMirvaleDoc doc = ShellSettingsDoc(first.port(), "secret");
  doc.m_mapPools.Find("routers")->m_nTimeout = 5;
  doc.m_mapPools.Find("routers")->m_pDevices.FindOrAdd("127.0.0.2") = CDeviceItem{"127.0.0.2", "255.255.255.255"};
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  ASSERT_TRUE(WaitForFinishedScan(service, ""));
  const std::vector<std::string> before = Expected(first.options().config);
  ASSERT_EQ(StoredLines(service), before);

  std::vector<std::string> changed = first.options().config;
  changed[2] = "hostname Core";
  for (FakeDevice* device : {&first, &second}) device->ReplaceConfig(changed);
  std::this_thread::sleep_for(1100ms);
  ASSERT_EQ(service.Control(kStartScan), 0u);
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(service.Stop());
  for (const char* address : {"127.0.0.1", "127.0.0.2"}) {
    std::vector<std::string> stored = StoredLines(service, nullptr, address);
    EXPECT_TRUE(stored == before || stored == Expected(changed)) << address << ": " << stored.size() << " lines";
  }
}

}  // namespace
}  // namespace mirvale

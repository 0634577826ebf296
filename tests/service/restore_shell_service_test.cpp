// A shell restore request through the real MirvaleSrv (control 144) to the fake device behind
// busybox's telnet server or OpenSSH's sshd, inside the test's own network namespace.
#include <iostream>
#include <thread>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "tests/support/fake_device.h"
#include "tests/support/lab_pools.h"
#include "tests/support/service_process.h"
#include "tests/support/snmp_agent.h"
#include "tests/support/ssh_device.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeDevice;
using testing_support::FakeDeviceOptions;
using testing_support::ServiceProcess;

constexpr uint32_t kStartRestore = 144;

const std::vector<std::string> kConfiguration = {"hostname Router", "interface GigabitEthernet0/1", " description core",
                                                 " shutdown", "end"};

CMirvaleDoc ShellSettingsFor(const FakeDevice& device, const testing_support::SshDeviceServer* sshd) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = testing_support::AddFakeDeviceTelnetPool(doc, "sw", device);
  if (sshd != nullptr) sshd->Serve(pool);
  // A command path and its lines, separated by CR LF with an empty line and blanks around.
  doc.m_mapRestore.Set("s1", CRestoreItem{"sw", "127.0.0.1", "Router", "interface GigabitEthernet0/1", "",
                                          " description core \r\n\r\n shutdown", "", "admin"});
  // A line the device rejects, with the command path typed with its own \r.
  doc.m_mapRestore.Set("s2", CRestoreItem{"sw", "127.0.0.1", "Router", "interface GigabitEthernet0/2\\r", "",
                                          "bogus line", "", "admin"});
  // A command path the device rejects, though it takes the line under it.
  doc.m_mapRestore.Set("s3",
                       CRestoreItem{"sw", "127.0.0.1", "Router", "bogus context", "", "description x", "", "admin"});
  return doc;
}

DeviceDatabaseMap DeviceWithOldLines() {
  DeviceDatabaseMap devices;
  CDbItem& device = devices.FindOrAdd("sw/127.0.0.1");
  device.m_strPool = "sw";
  device.m_strAddress = "127.0.0.1";
  device.m_strName = "Router";
  device.m_strScanTime = "1000";
  for (const auto& [key, line] : {std::pair{"1", "hostname Old"}, {"2", "interface GigabitEthernet0/1"}}) {
    CDbQuery& stored = device.m_pQueries.FindOrAdd(key);
    stored.m_strKey = key;
    stored.m_strTime = "1000";
    stored.m_strValue = line;
  }
  return devices;
}

// The settings once every request has a result (nullopt when that took over two minutes).
std::optional<CMirvaleDoc> WaitForResults(const ServiceProcess& service) {
  for (auto deadline = std::chrono::steady_clock::now() + 120s; std::chrono::steady_clock::now() < deadline;) {
    CMirvaleDoc doc = DecodeSettings(platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")).value_or(""));
    bool done = !doc.m_mapRestore.empty();
    for (const auto& [key, request] : doc.m_mapRestore) done = done && !request->m_strResult.empty();
    if (done) return doc;
    std::this_thread::sleep_for(100ms);
  }
  return std::nullopt;
}

// The requests of doc carried out through a started service; the settings once every request
// has its result.
std::optional<CMirvaleDoc> RestoreThrough(ServiceProcess& service, const CMirvaleDoc& doc) {
  if (!platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)) || !service.Start() ||
      service.Control(kStartRestore) != 0u)
    return std::nullopt;
  return WaitForResults(service);
}

// The fake device behind busybox's telnet server or sshd, in the test's own network namespace.
class RestoreShellService : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
    device_ =
        std::make_unique<FakeDevice>(FakeDeviceOptions{.mode = GetParam(), .page = 100, .config = kConfiguration});
    if (GetParam() != "ssh") return;
    sshd_ = std::make_unique<testing_support::SshDeviceServer>(device_->Command());
    ASSERT_TRUE(sshd_->ready());
  }
  // The requests of ShellSettingsFor carried out on a device whose stored lines are old, through
  // a started service; the settings once every request has its result.
  std::optional<CMirvaleDoc> RestoreOnOldLines(ServiceProcess& service) {
    if (!platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"),
                                       EncodeSettings(ShellSettingsFor(*device_, sshd_.get()))) ||
        !platform::WriteFileAtomically(service.ProgramFile("Mirvale.db"), EncodeDeviceDatabase(DeviceWithOldLines())) ||
        !service.Start() || service.Control(kStartRestore) != 0u)
      return std::nullopt;
    return WaitForResults(service);
  }
  std::unique_ptr<FakeDevice> device_;
  std::unique_ptr<testing_support::SshDeviceServer> sshd_;
};

TEST_P(RestoreShellService, SendsTheLinesOnceAndCollectsTheDeviceAgain) {
  const FakeDevice& device = *device_;
  const auto& sshd = sshd_;
  ServiceProcess service;
  std::optional<CMirvaleDoc> done = RestoreOnOldLines(service);
  ASSERT_TRUE(done) << "the request received no result";
  EXPECT_EQ(done->m_mapRestore.Find("s1")->m_strResult, "Successful") << "a console line is no error";
  // A refused text is named, in the result the desktop shows and in the event log.
  EXPECT_EQ(done->m_mapRestore.Find("s2")->m_strResult, "Failed: the device rejected \"bogus line\"");
  EXPECT_EQ(done->m_mapRestore.Find("s3")->m_strResult.rfind("Failed: the device rejected \"bogus context\"", 0), 0u)
      << "the command path was refused: " << done->m_mapRestore.Find("s3")->m_strResult;
  const std::string events = platform::ReadWholeFile(service.EventLogPath()).value_or("");
  EXPECT_NE(events.find("127.0.0.1:"), std::string::npos);
  EXPECT_NE(events.find(": The device rejected \"bogus line\": "), std::string::npos)
      << events;

  std::string received = device.Received();
  EXPECT_NE(received.find("configure terminal\rinterface GigabitEthernet0/1\rdescription core\rshutdown\rend\r"
                          "write memory\r"),
            std::string::npos)
      << received;
  EXPECT_NE(received.find("configure terminal\rinterface GigabitEthernet0/2\rbogus line\rend\r"), std::string::npos)
      << received << "\nservice events:\n"
      << platform::ReadWholeFile(service.EventLogPath()).value_or("")
      << (sshd ? "\nsshd:\n" + sshd->Log() : std::string());
  EXPECT_NE(received.find("configure terminal\rbogus context\rdescription x\rend\r"), std::string::npos) << received;
  EXPECT_EQ(received.find("show running-config"), received.rfind("show running-config"))
      << "the configuration is collected once after the request";

  auto devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const CDbItem* stored = devices.Find("sw/127.0.0.1");
  ASSERT_TRUE(stored);
  EXPECT_NE(stored->m_strScanTime, "1000");
  std::vector<std::string> lines;
  for (int key = 1; const CDbQuery* line = stored->m_pQueries.Find(std::to_string(key)); ++key) {
    if (line->m_strTime == stored->m_strScanTime) lines.push_back(line->m_strValue);
  }
  std::vector<std::string> expected{"show running-config"};
  expected.insert(expected.end(), kConfiguration.begin(), kConfiguration.end());
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(stored->m_pQueries.Find("1")->m_strPrevValue, "hostname Old");
}

// The configuration collected after the request is cut before the device's prompt came back:
// what was stored stays the device's configuration and the device fails.
TEST_P(RestoreShellService, ACollectionCutShortKeepsWhatWasStored) {
  device_->Override({{"cut_after", "2"}});
  ServiceProcess service;
  std::optional<CMirvaleDoc> done = RestoreOnOldLines(service);
  ASSERT_TRUE(done) << "the request received no result";
  EXPECT_EQ(done->m_mapRestore.Find("s1")->m_strResult, "Successful");

  auto devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  const CDbItem* stored = devices.Find("sw/127.0.0.1");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->m_strScanTime, "1000");
  EXPECT_EQ(stored->m_strStatus, "No response from device");
  ASSERT_EQ(stored->m_pQueries.size(), 2u);
  EXPECT_EQ(stored->m_pQueries.Find("1")->m_strValue, "hostname Old");
  const int port = sshd_ ? sshd_->port() : device_->port();
  EXPECT_TRUE(service.WaitForEventLine(
      "127.0.0.1:" + std::to_string(port) + ": The connection ended after 2 lines, before the prompt", 5s))
      << platform::ReadWholeFile(service.EventLogPath()).value_or("");
}

// The device drops the connection at the first or the second of three restored lines: the rest,
// the end command and the save never reached it, so the request failed, and the event log says
// where it ended.
TEST_P(RestoreShellService, ARestoreCutOffPartWayFails) {
  for (int cutAt : {1, 2}) {
    // The command path is the first line typed in configuration mode.
    device_->Override({{"cut_at_config_line", std::to_string(cutAt + 1)}});
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    CPoolItem& pool = testing_support::AddFakeDeviceTelnetPool(doc, "sw", *device_);
    if (sshd_) sshd_->Serve(pool);
    doc.m_mapRestore.Set("r", CRestoreItem{"sw", "127.0.0.1", "Router", "interface GigabitEthernet0/1", "",
                                           "description one\r\ndescription two\r\ndescription three", "", "admin"});
    ServiceProcess service;
    std::optional<CMirvaleDoc> done = RestoreThrough(service, doc);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->m_mapRestore.Find("r")->m_strResult, "Failed") << "cut at line " << cutAt;
    const int port = sshd_ ? sshd_->port() : device_->port();
    EXPECT_TRUE(service.WaitForEventLine("127.0.0.1:" + std::to_string(port) +
                                             ": The restore did not reach its end: the connection ended after "
                                             "restored line " +
                                             std::to_string(cutAt) + " of 3",
                                         5s))
        << platform::ReadWholeFile(service.EventLogPath()).value_or("");
  }
}

// Twenty lines restored over telnet are read at the prompt's pace, as over SSH: far below the
// twenty one-second time-outs that waiting out each answer would take.
TEST_P(RestoreShellService, ManyLinesAreSentAtThePromptsPace) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = testing_support::AddFakeDeviceTelnetPool(doc, "sw", *device_);
  if (sshd_) sshd_->Serve(pool);
  std::string lines;
  for (int i = 1; i <= 20; ++i) lines += " description line " + std::to_string(i) + "\r\n";
  doc.m_mapRestore.Set(
      "r", CRestoreItem{"sw", "127.0.0.1", "Router", "interface GigabitEthernet0/1", "", lines, "", "admin"});
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(service.Control(kStartRestore), 0u);
  std::optional<CMirvaleDoc> done = WaitForResults(service);
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->m_mapRestore.Find("r")->m_strResult, "Successful");
  std::cout << GetParam() << ": 20 lines restored and the device collected again in " << took.count() << " ms\n";
  EXPECT_LT(took, 10s);
}

// A device that refuses the wrong enable password ("% Access denied") yet takes "configure
// terminal" in its user mode, after a line break or on the password question's line: the login
// fails, so the restore is not done, and the event log says why.
TEST(RestoreShellServiceLogin, RefusedPrivilegedCommandFailsTheRestore) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
  for (bool sameLine : {false, true}) {
    FakeDevice device(FakeDeviceOptions{
        .mode = "telnet", .page = 100, .config = kConfiguration, .sameLinePassword = sameLine, .lenient = true});
    CMirvaleDoc doc;
    ApplyServiceDefaults(doc);
    testing_support::AddFakeDeviceTelnetPool(doc, "sw", device).m_strPrivilegedPassword = "wrong";
    doc.m_mapRestore.Set("r", CRestoreItem{"sw", "127.0.0.1", "Router", "interface GigabitEthernet0/1", "",
                                           "description core", "", "admin"});
    ServiceProcess service;
    std::optional<CMirvaleDoc> done = RestoreThrough(service, doc);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->m_mapRestore.Find("r")->m_strResult, "Failed") << "same line: " << sameLine;
    EXPECT_EQ(device.Received().find("configure terminal"), std::string::npos) << device.Received();
    const std::string expected =
        "127.0.0.1:" + std::to_string(device.port()) + ": The device refused the privileged command: % Access denied";
    EXPECT_TRUE(service.WaitForEventLine(expected, 5s)) << platform::ReadWholeFile(service.EventLogPath()).value_or("");
  }
}

INSTANTIATE_TEST_SUITE_P(Protocols, RestoreShellService, ::testing::Values("telnet", "ssh"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace mirvale

// A shell restore request through the real MirvaleSrv (control 144) to the fake device behind
// busybox's telnet server or OpenSSH's sshd, inside the test's own network namespace.
#include <gtest/gtest.h>

#include <thread>

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

const std::vector<std::string> kConfiguration = {"hostname Router", "interface GigabitEthernet0/1",
                                                 " description core", " shutdown", "end"};

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
  doc.m_mapRestore.Set("s3", CRestoreItem{"sw", "127.0.0.1", "Router", "bogus context", "", "description x", "",
                                          "admin"});
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

class RestoreShellService : public ::testing::TestWithParam<std::string> {};

TEST_P(RestoreShellService, SendsTheLinesOnceAndCollectsTheDeviceAgain) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
  FakeDevice device(FakeDeviceOptions{.mode = GetParam(), .page = 100, .config = kConfiguration});
  std::unique_ptr<testing_support::SshDeviceServer> sshd;
  if (GetParam() == "ssh") {
    sshd = std::make_unique<testing_support::SshDeviceServer>(device.Command());
    ASSERT_TRUE(sshd->ready());
  }
  ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(ShellSettingsFor(device, sshd.get()))));
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.db"), EncodeDeviceDatabase(DeviceWithOldLines())));
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.Control(kStartRestore), 0u);

  std::optional<CMirvaleDoc> done;
  for (auto deadline = std::chrono::steady_clock::now() + 120s; !done && std::chrono::steady_clock::now() < deadline;) {
    CMirvaleDoc doc = DecodeSettings(platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")).value_or(""));
    if (!doc.m_mapRestore.Find("s3")->m_strResult.empty()) done = doc;
    else std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(done) << "the request received no result";
  EXPECT_EQ(done->m_mapRestore.Find("s1")->m_strResult, "Successful") << "a console line is no error";
  EXPECT_EQ(done->m_mapRestore.Find("s2")->m_strResult, "Failed");
  EXPECT_EQ(done->m_mapRestore.Find("s3")->m_strResult, "Failed") << "the command path was refused";

  std::string received = device.Received();
  EXPECT_NE(received.find("configure terminal\rinterface GigabitEthernet0/1\rdescription core\rshutdown\rend\r"
                          "write memory\r"),
            std::string::npos)
      << received;
  EXPECT_NE(received.find("configure terminal\rinterface GigabitEthernet0/2\rbogus line\rend\r"), std::string::npos)
      << received << "\nservice events:\n" << platform::ReadWholeFile(service.EventLogPath()).value_or("")
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

INSTANTIATE_TEST_SUITE_P(Protocols, RestoreShellService, ::testing::Values("telnet", "ssh"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace mirvale

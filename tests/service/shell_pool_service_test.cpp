// A pool of 32 devices, over telnet and over SSH-2, scanned through the real MirvaleSrv, with a
// restore request on one of them while the scan runs: several conversations at once, never two
// with one device.
#include <gtest/gtest.h>

#include "tests/service/shell_pool_support.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using namespace shell_pool_testing;

constexpr uint32_t kStartScan = 136;
constexpr uint32_t kStartRestore = 144;
constexpr int kDevices = 32;
constexpr int kRefusing = 7;
constexpr int kRestored = 4;

class ShellPoolService : public ::testing::TestWithParam<std::string> {};

TEST_P(ShellPoolService, DevicesAreScannedAtOnceEachAloneWithItsDevice) {
  ASSERT_TRUE(testing_support::EnterPrivateNetwork());
  // sshd takes one password for every address: a wrong one over SSH is the shell scan test's.
  const int refusing = GetParam() == "telnet" ? kRefusing : -1;
  ShellPool pool(kDevices, refusing, GetParam());
  if (pool.sshd) {
    ASSERT_TRUE(pool.sshd->ready()) << pool.sshd->Log();
  }
  CMirvaleDoc doc = pool.Settings();
  doc.m_mapRestore.Set("r1", CRestoreItem{kPool, Address(kRestored), "Router", "interface GigabitEthernet0/1", "",
                                          " description restored", "", "admin"});
  testing_support::ServiceProcess service;
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(doc)));
  ASSERT_TRUE(service.Start());

  ASSERT_EQ(service.Control(kStartScan), 0u);
  std::this_thread::sleep_for(2s);  // the device's scan conversation is under way
  ASSERT_EQ(service.Control(kStartRestore), 0u);
  auto scan = WaitForFinishedScan(service, "", 300s);
  ASSERT_TRUE(scan);

  std::string result;
  for (auto deadline = std::chrono::steady_clock::now() + 120s;
       result.empty() && std::chrono::steady_clock::now() < deadline;) {
    CMirvaleDoc now = DecodeSettings(platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")).value_or(""));
    if (const CRestoreItem* request = now.m_mapRestore.Find("r1")) result = request->m_strResult;
    if (result.empty()) std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(result, "Successful");

  auto devices = DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
  for (int i = 0; i < kDevices; ++i) {
    const CScanDbItem* status = scan->map.Find(std::string(kPool) + "/" + Address(i));
    ASSERT_TRUE(status) << Address(i);
    EXPECT_EQ(pool.devices[i]->Overlaps(), "") << Address(i);
    if (i == refusing) {
      EXPECT_EQ(status->m_strStatus, "Failed due to logon failure");
      EXPECT_TRUE(StoredLines(devices, Address(i)).empty());
    } else {
      EXPECT_EQ(status->m_strStatus, "Finished without changes") << Address(i);
      EXPECT_EQ(StoredLines(devices, Address(i)), ShellPool::Expected()) << Address(i);
    }
  }
  EXPECT_NE(pool.devices[kRestored]->Received().find("interface GigabitEthernet0/1\rdescription restored\rend\r"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Protocols, ShellPoolService, ::testing::Values("telnet", "ssh"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace mirvale

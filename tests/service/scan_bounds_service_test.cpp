// Hostile SNMP agents beside snmpd in one pool, scanned by the real MirvaleSrv inside the
// test's own network namespace: a stop reaches every scan asked for, a device's walks end by
// time and by bytes, what a device keeps across scans stays bounded, and the SNMP wait sleeps.
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "tests/service/endless_snmp_agent.h"
#include "tests/support/lab_pools.h"
#include "tests/support/service_process.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::ServiceProcess;
using testing_support::SnmpAgent;

constexpr uint32_t kStartScan = 136;
constexpr uint32_t kStopScan = 137;

// snmpd on 127.0.0.1 answering sysLocation "Lab 1"; the hostile agent goes on 127.0.0.2.
CMirvaleDoc PairSettings() {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = testing_support::AddSnmpV1Pool(doc, "lab");
  pool.m_nRetries = 0;
  pool.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.6") = CQueryItem{"1.3.6.1.2.1.1.6", "sysLocation", ""};
  pool.m_pDevices.FindOrAdd("127.0.0.0") = CDeviceItem{"127.0.0.0", "255.255.255.252"};  // .1 and .2
  doc.m_strScanPool = "lab";
  doc.m_strScanUser = "admin";
  return doc;
}

// Empty until the service has written the file (it is replaced whole, never seen in part).
ScanDatabase ReadScan(const ServiceProcess& service) {
  auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb"));
  return bytes ? DecodeScanDatabase(*bytes) : ScanDatabase{};
}

DeviceDatabaseMap ReadDevices(const ServiceProcess& service) {
  return DecodeDeviceDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.db")).value_or(""));
}

// The start time of the scan the database shows once it is in the given state and not `other`.
std::string WaitForScan(const ServiceProcess& service, const std::string& status, const std::string& other,
                        std::chrono::seconds limit = 60s) {
  std::string start;
  testing_support::WaitFor(
      [&] {
        ScanDatabase scan = ReadScan(service);
        if (scan.header.m_strScanStatus != status || scan.header.m_strScanStart == other) return false;
        start = scan.header.m_strScanStart;
        return true;
      },
      limit, 5ms);
  return start;
}

bool HasEventLineStarting(const ServiceProcess& service, const std::string& head) {
  for (const auto& line : service.EventLines())
    if (line.rfind(head, 0) == 0) return true;
  return false;
}

// The good device finished and kept its value; the hostile one is stored, without a clean finish.
void ExpectGoodDeviceStoredBesideCutOne(const ServiceProcess& service) {
  DeviceDatabaseMap devices = ReadDevices(service);
  const CDbItem* good = devices.Find("lab/127.0.0.1");
  ASSERT_TRUE(good);
  EXPECT_EQ(good->m_strStatus, "Finished without changes");
  ASSERT_TRUE(good->m_pQueries.Find("1.3.6.1.2.1.1.6.0"));
  EXPECT_EQ(good->m_pQueries.Find("1.3.6.1.2.1.1.6.0")->m_strValue, "Lab 1");
  ASSERT_TRUE(devices.Find("lab/127.0.0.2"));
  EXPECT_EQ(devices.Find("lab/127.0.0.2")->m_strStatus, "Collecting Information...");
}

size_t FileBytes(const std::string& path) { return platform::ReadWholeFile(path).value_or("").size(); }

long PeakMemoryKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

class ScanBounds : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::EnterPrivateNetwork()) GTEST_SKIP() << "needs root for a private network namespace";
    agent = std::make_unique<SnmpAgent>(std::vector<std::string>{"rocommunity public default", "sysLocation Lab 1"},
                                        "udp:127.0.0.1:161");
    ASSERT_TRUE(agent->Ready()) << agent->LogText();
  }

  void StartService(const CMirvaleDoc& settings) {
    ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(settings)));
    ASSERT_TRUE(service.Start());
  }

  std::unique_ptr<SnmpAgent> agent;
  testing_support::TempFolder folder;
  CSnmpClient client{folder / "snmpv3_boot_counter"};
  ServiceProcess service;
};

// A second 136 while the first scan runs, then one 137: the running scan and the one waiting
// behind it both end within a second, with an endless agent of 60 kB values in the pool.
TEST_F(ScanBounds, OneStopEndsTheRunningScanAndTheOneWaiting) {
  auto endless = testing_support::StartEndlessSnmpAgent(client, "127.0.0.2", {"0.05", "--value-bytes", "60000"});
  ASSERT_TRUE(endless);
  StartService(PairSettings());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  std::string first = WaitForScan(service, "Running", "");
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(service.Control(kStartScan), 0u);
  std::this_thread::sleep_for(1500ms);
  ASSERT_EQ(ReadScan(service).header.m_strScanStart, first) << "the second scan waits for the first";

  auto stopped = Clock::now();
  ASSERT_EQ(service.Control(kStopScan), 0u);
  std::string second = WaitForScan(service, "Finished", first, 10s);
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stopped);
  ASSERT_FALSE(second.empty()) << "the waiting scan did not end";
  std::cout << "both scans ended " << took.count() << " ms after the stop\n";
  EXPECT_LT(took, 1000ms);
  ExpectGoodDeviceStoredBesideCutOne(service);
  EXPECT_TRUE(service.WaitForEventLine("SNMP walk of 127.0.0.2 stopped by a stop request", 0s));

  // A scan asked for after the stop runs.
  ASSERT_EQ(service.Control(kStartScan), 0u);
  std::string third = WaitForScan(service, "Running", second, 10s);
  ASSERT_FALSE(third.empty());
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(ReadScan(service).header.m_strScanStatus, "Running");
  EXPECT_TRUE(service.Stop());
}

// An agent answering each step 0.9 s late, for ever: its walks end at the device's walk time
// (shortened to 3 s here), not after the day its 100,000 values would take.
TEST_F(ScanBounds, SlowEndlessAgentEndsAtTheWalkTime) {
  auto endless = testing_support::StartEndlessSnmpAgent(client, "127.0.0.2", {"0.9"});
  ASSERT_TRUE(endless);
  service.SetEnv("MIRVALE_DEVICE_WALK_SECONDS", "3");
  StartService(PairSettings());
  auto started = Clock::now();
  ASSERT_EQ(service.Control(kStartScan), 0u);
  ASSERT_FALSE(WaitForScan(service, "Finished", "", 20s).empty());
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
  std::cout << "the scan took " << took.count() << " ms\n";
  EXPECT_LT(took, 6s);
  ExpectGoodDeviceStoredBesideCutOne(service);
  EXPECT_TRUE(service.WaitForEventLine("SNMP walk of 127.0.0.2 stopped after 3 seconds", 0s));
}

// An agent with 60 kB values whose identifiers grow with every answer: each scan ends at the
// device's 16 MiB of walked values, the device keeps at most 32 MiB in Mirvale.db (the values its
// last scan did not return go first, and that is told), and the service's memory, saves
// included, stays within a few times that.
TEST_F(ScanBounds, GrowingAgentOfLargeValuesStaysWithinItsBytes) {
  // 5 ms a step: a walk of 280 such values takes at least 1.4 s, long enough to stop one halfway.
  auto endless =
      testing_support::StartEndlessSnmpAgent(client, "127.0.0.2", {"0.005", "--grow", "--value-bytes", "60000"});
  ASSERT_TRUE(endless);
  CMirvaleDoc settings = PairSettings();
  settings.m_mapPools.Find("lab")->m_pQueries.FindOrAdd("1.3.6.1.4.1.99999") =
      CQueryItem{"1.3.6.1.4.1.99999", "grow", ""};
  StartService(settings);
  std::string previous;
  for (int scan = 1; scan <= 6; ++scan) {
    auto started = Clock::now();
    ASSERT_EQ(service.Control(kStartScan), 0u);
    std::string start = WaitForScan(service, "Finished", previous, 60s);
    ASSERT_FALSE(start.empty()) << "scan " << scan << " did not end";
    std::cout << "scan " << scan << " took "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count() << " ms, "
              << FileBytes(service.ProgramFile("Mirvale.db")) << " bytes stored, peak memory "
              << PeakMemoryKb(service.Pid()) / 1024 << " MiB\n";
    previous = start;
    EXPECT_LT(FileBytes(service.ProgramFile("Mirvale.db")), 33u << 20) << scan;
    DeviceDatabaseMap devices = ReadDevices(service);
    const CDbItem* grown = devices.Find("lab/127.0.0.2");
    ASSERT_TRUE(grown);
    size_t fresh = 0;
    for (const auto& [key, value] : grown->m_pQueries) fresh += value->m_strTime == start;
    EXPECT_GT(fresh, 250u) << "the last scan's values are kept, scan " << scan;
  }
  ExpectGoodDeviceStoredBesideCutOne(service);
  EXPECT_TRUE(service.WaitForEventLine("SNMP walk of 127.0.0.2 stopped after 16 MiB of values", 0s));
  EXPECT_TRUE(HasEventLineStarting(service, "Stored values of 127.0.0.2 exceeded 32 MiB: dropped "));
  long peakKb = PeakMemoryKb(service.Pid());
  std::cout << "peak memory " << peakKb / 1024 << " MiB\n";
#if defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer holds up to 256 MiB of freed memory back (its quarantine) on top of its own.
  constexpr long kAllowedKb = (128 + 384) * 1024;
#else
  constexpr long kAllowedKb = 128 * 1024;
#endif
  EXPECT_LT(peakKb, kAllowedKb) << "four times what the device may keep";

  // A scan stopped halfway reached only some of the values: none of the others is dropped (the
  // device's next whole scan brings it back within its bytes).
  std::set<std::string> kept;
  DeviceDatabaseMap beforeStop = ReadDevices(service);
  for (const auto& [key, value] : beforeStop.Find("lab/127.0.0.2")->m_pQueries) kept.insert(key);
  ASSERT_EQ(service.Control(kStartScan), 0u);
  ASSERT_FALSE(WaitForScan(service, "Running", previous).empty());
  std::this_thread::sleep_for(700ms);
  ASSERT_EQ(service.Control(kStopScan), 0u);
  ASSERT_FALSE(WaitForScan(service, "Finished", previous, 20s).empty());
  DeviceDatabaseMap afterStop = ReadDevices(service);
  size_t lost = 0;
  for (const std::string& key : kept) lost += afterStop.Find("lab/127.0.0.2")->m_pQueries.Find(key) == nullptr;
  EXPECT_EQ(lost, 0u);
}

// Waits and replies of a process while it runs, by strace attached to it.
class SystemCallCount {
 public:
  explicit SystemCallCount(pid_t pid, const std::string& output) : output_(output) {
    strace_ = std::make_unique<testing_support::ChildProcess>(std::vector<std::string>{
        "/usr/bin/strace", "-f", "-c", "-e", "trace=select,pselect6,poll,ppoll,recvmsg,recvfrom", "-o", output, "-p",
        std::to_string(pid)});
    std::this_thread::sleep_for(1s);  // attached to every thread
  }
  // Detaches and reads the count of each call.
  std::map<std::string, long> Finish() {
    strace_.reset();
    std::map<std::string, long> calls;
    std::istringstream table(platform::ReadWholeFile(output_).value_or(""));
    for (std::string line; std::getline(table, line);) {
      std::istringstream fields(line);
      std::vector<std::string> words;
      for (std::string word; fields >> word;) words.push_back(word);
      if (words.size() >= 5 && words.back() != "total" && std::isdigit(static_cast<unsigned char>(words[3][0])))
        calls[words.back()] = std::stol(words[3]);
    }
    return calls;
  }

 private:
  std::string output_;
  std::unique_ptr<testing_support::ChildProcess> strace_;
};

// An agent answering each step 20 ms late beside snmpd (its walks cut at 2 s): the service waits
// once or twice per reply, where a wait that does not sleep would poll thousands of times.
TEST_F(ScanBounds, SnmpWaitSleepsUntilTheReply) {
  auto slow = testing_support::StartEndlessSnmpAgent(client, "127.0.0.2", {"0.02"});
  ASSERT_TRUE(slow);
  service.SetEnv("MIRVALE_DEVICE_WALK_SECONDS", "2");
  StartService(PairSettings());
  SystemCallCount count(service.Pid(), folder / "strace.txt");
  ASSERT_EQ(service.Control(kStartScan), 0u);
  ASSERT_FALSE(WaitForScan(service, "Finished", "").empty());
  auto calls = count.Finish();
  long waits = calls["select"] + calls["pselect6"] + calls["poll"] + calls["ppoll"];
  long replies = calls["recvmsg"] + calls["recvfrom"];
  std::cout << waits << " waits for " << replies << " replies\n";
  ASSERT_GT(replies, 40);
  EXPECT_LT(waits, 4 * replies);
  ExpectGoodDeviceStoredBesideCutOne(service);
}

}  // namespace
}  // namespace mirvale

// The real MirvaleSrv scanning a /24 and a /16 of loopback addresses, all served by one snmpd
// inside the benchmark's own network namespace (retries 0, time-out 1 s, one query): the time
// from control 136 until the scan database says "Finished", as devices per second, the
// service's processor time per device over the scan, and its peak memory. A cost linear in the
// pool's size keeps the /16 rate near the /24 one.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "tests/support/peak_memory.h"
#include "tests/support/service_process.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using Clock = std::chrono::steady_clock;

CMirvaleDoc ScanSettings(const std::string& network, const std::string& mask) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("bench");
  pool.m_bSnmpV1 = 1;
  pool.m_nRetries = 0;
  pool.m_nTimeout = 1;
  pool.m_strReadCommunity = "public";
  pool.m_pQueries.FindOrAdd("1.3.6.1.2.1.1.5") = CQueryItem{"1.3.6.1.2.1.1.5", "sysName", ""};
  pool.m_pDevices.FindOrAdd(network) = CDeviceItem{network, mask};
  doc.m_strScanPool = "bench";
  doc.m_strScanUser = "bench";
  return doc;
}

// Milliseconds of processor time the process has used, user and system.
double ProcessorMs(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The fields after the command name, which ends at the last ')': state is field 3, utime 14, stime 15.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int number = 3; number <= 15 && fields >> field; ++number)
    if (number >= 14) ticks += std::stod(field);
  return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_ServiceScan(benchmark::State& state, const std::string& network, const std::string& mask, long devices) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a private network namespace");
    return;
  }
  testing_support::SnmpAgent agent({"rocommunity public default", "sysName benchhost"}, "udp:161");
  if (!agent.Ready()) {
    state.SkipWithError("snmpd did not start");
    return;
  }
  long peakKb = 0;
  double scanProcessorMs = 0;
  for (auto _ : state) {
    testing_support::ServiceProcess service;
    // The service tells a listening desktop program right after it has saved "Finished".
    testing_support::NoticeListener notices(service.NoticeSocket());
    if (!notices.Listening() ||!platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(ScanSettings(network, mask))) ||
        !service.Start()) {
      state.SkipWithError("the service did not start");
      return;
    }
    auto started = Clock::now();
    double processorBefore = ProcessorMs(service.Pid());
    if (service.Control(136) != 0u) {
      state.SkipWithError("control 136 failed");
      return;
    }
    bool notified = notices.Receive(std::chrono::minutes(10)).has_value();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    scanProcessorMs += ProcessorMs(service.Pid()) - processorBefore;
    auto scan = DecodeScanDatabase(platform::ReadWholeFile(service.ProgramFile("Mirvale.sdb")).value_or(""));
    if (!notified || scan.header.m_strScanStatus != "Finished" || static_cast<long>(scan.map.size()) != devices) {
      state.SkipWithError("the scan did not finish with every device");
      return;
    }
    peakKb = std::max(peakKb, testing_support::PeakMemoryKb(service.Pid()));
    service.Stop();
  }
  state.counters["devices_per_second"] =
      benchmark::Counter(static_cast<double>(devices) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["processor_ms_per_device"] = scanProcessorMs / static_cast<double>(devices * state.iterations());
  state.counters["peak_memory_MB"] = static_cast<double>(peakKb) / 1024.0;
}

BENCHMARK_CAPTURE(BM_ServiceScan, Loopback24, "127.1.1.0", "255.255.255.0", 254)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ServiceScan, Loopback16, "127.2.0.0", "255.255.0.0", 65534)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirvale

BENCHMARK_MAIN();

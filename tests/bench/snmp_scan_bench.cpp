// Device scans of a /24 of loopback addresses, all served by one snmpd, 64 at a time as a pool
// scan runs them; reports devices per second and the processor time per device (this process
// is the scanning side alone). Runs inside a network namespace of its own.
#include <atomic>
#include <ctime>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "service/scanning/device_scan.h"
#include "tests/support/scoped_env.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

constexpr int kAddresses = 254;
constexpr int kThreads = 64;

void BM_DeviceScanLoopback24(benchmark::State& state) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a private network namespace");
    return;
  }
  testing_support::SnmpAgent agent({"rocommunity public default", "sysName benchhost"}, "udp:161");
  if (!agent.Ready()) {
    state.SkipWithError("snmpd did not start");
    return;
  }
  testing_support::TempFolder folder;
  CSnmpClient snmp(folder / "snmpv3_boot_counter");
  auto pool = std::make_shared<CPoolItem>();
  pool->m_bSnmpV1 = 1;
  pool->m_nRetries = 0;
  pool->m_nTimeout = 2;
  pool->m_strReadCommunity = "public";
  pool->m_pQueries.FindOrAdd("1.3.6.1.2.1.1") = CQueryItem{"1.3.6.1.2.1.1", "system", ""};
  auto settings = std::make_shared<CMirvaleDoc>();
  AuditQueue audit;
  ActionHooks hooks;
  ManualEvent stop;

  auto processorMs = [] {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) * 1000.0 + static_cast<double>(used.tv_nsec) / 1e6;
  };
  const double processorBefore = processorMs();
  for (auto _ : state) {
    ServiceDataStore data(folder.path());
    DeviceScanServices services{data, audit, hooks, stop, snmp};
    std::atomic<int> next = 1;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&] {
        for (int host = next++; host <= kAddresses; host = next++) {
          DeviceScanJob job{"127.0.1." + std::to_string(host), "bench", "bench", "1000", pool, settings, nullptr};
          CConfigurationDevice(services, job).Run();
        }
      });
    for (auto& thread : threads) thread.join();
  }
  state.counters["devices_per_second"] =
      benchmark::Counter(static_cast<double>(kAddresses) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["processor_ms_per_device"] =
      (processorMs() - processorBefore) / static_cast<double>(kAddresses * state.iterations());
}
BENCHMARK(BM_DeviceScanLoopback24)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace mirvale

BENCHMARK_MAIN();

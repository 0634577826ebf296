// The real MirvaleSrv scanning a pool of 16 devices whose listing never ends (no pager, numbered
// lines as fast as the connection takes them), over telnet and over SSH-2: each conversation is
// cut at its 16 MiB output bound, all at once. Counters: the service's peak memory, and what one
// conversation cost above the service's memory before the scan.
#include <benchmark/benchmark.h>

#include "tests/service/shell_pool_support.h"
#include "tests/support/peak_memory.h"
#include "tests/support/snmp_agent.h"

namespace {

using namespace std::chrono_literals;
using namespace shell_pool_testing;

constexpr uint32_t kStartScan = 136;
constexpr int kDevices = 16;  // as many conversations as the service holds at once

void BM_EndlessDevicesPeakMemory(benchmark::State& state, const std::string& protocol) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a network namespace");
    return;
  }
  for (auto _ : state) {
    ShellPool pool(kDevices, -1, protocol);
    for (const auto& device : pool.devices) device->Override({{"page", "0"}, {"flood", "1"}});
    testing_support::ServiceProcess service;
    if ((pool.sshd && !pool.sshd->ready()) ||
        !platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), mirvale::EncodeSettings(pool.Settings())) ||
        !service.Start()) {
      state.SkipWithError("sshd or the service did not start");
      return;
    }
    const long beforeKb = testing_support::PeakMemoryKb(service.Pid());
    std::optional<mirvale::ScanDatabase> scan;
    if (service.Control(kStartScan) != 0u || !(scan = WaitForFinishedScan(service, "", 600s))) {
      state.SkipWithError("the scan did not finish");
      return;
    }
    const long peakKb = testing_support::PeakMemoryKb(service.Pid());
    int cut = 0;
    for (const auto& line : service.EventLines())
      if (line.find("Device output exceeded the limit of 16777216 bytes") != std::string::npos) ++cut;
    if (cut != kDevices) {
      state.SkipWithError(("only " + std::to_string(cut) + " conversations were cut at their bound").c_str());
      return;
    }
    state.counters["peak_memory_MB"] = static_cast<double>(peakKb) / 1024.0;
    state.counters["per_conversation_MB"] = static_cast<double>(peakKb - beforeKb) / 1024.0 / kDevices;
  }
}
BENCHMARK_CAPTURE(BM_EndlessDevicesPeakMemory, Telnet, std::string("telnet"))
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_EndlessDevicesPeakMemory, Ssh, std::string("ssh"))
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

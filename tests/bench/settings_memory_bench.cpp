// The real MirvaleSrv's peak memory (VmHWM) while it takes over a settings file by control 134:
// a file at the 64 MiB bound of nothing but empty restore requests (refused by its record
// count), and a large valid one, a pool of a /16 of single devices with a restore request for
// each. The counters give the growth of the peak in MB and per byte of the file.
// Then a file at every record cap, handed over twice and loaded at a start: the service's peak
// and resident memory (VmHWM, VmRSS) after each, in MB; the target is about 300 MB at the peak
// and near the settings' own size resident.
#include <benchmark/benchmark.h>

#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "tests/common/empty_restore_requests.h"
#include "tests/common/settings_at_every_cap.h"
#include "tests/support/peak_memory.h"
#include "tests/support/service_process.h"

namespace mirvale {
namespace {

std::string LargeValidSettings() {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  CPoolItem& pool = doc.m_mapPools.FindOrAdd("campus");
  pool.m_bSnmpV1 = 1;
  pool.m_strReadCommunity = "public";
  for (int i = 0; i < 65536; ++i) {
    const std::string address = "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256);
    pool.m_pDevices.FindOrAdd(address) = CDeviceItem{address, "255.255.255.255"};
    doc.m_mapRestore.FindOrAdd(std::to_string(i)) =
        CRestoreItem{"campus", address, "switch" + std::to_string(i), "sysContact", "1.3.6.1.2.1.1.4.0",
                     "noc@example.org", "", "operator"};
  }
  return EncodeSettings(doc);
}

void BM_SettingsTakeOver(benchmark::State& state, bool hostile) {
  // Each empty request takes 15 bytes: as many as fit in the bound.
  const std::string bytes =
      hostile ? archive_test::SettingsWithEmptyRestoreRequests(((64u << 20) - 256) / 15) : LargeValidSettings();
  long growthKb = 0;
  for (auto _ : state) {
    testing_support::ServiceProcess service;
    if (!service.Start()) {
      state.SkipWithError("the service did not start");
      return;
    }
    const long before = testing_support::PeakMemoryKb(service.Pid());
    if (!platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), bytes) || service.Control(134) != 0u) {
      state.SkipWithError("control 134 failed");
      return;
    }
    const bool loaded = platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")) == bytes;
    if (loaded == hostile) {
      state.SkipWithError(hostile ? "the hostile file was loaded" : "the valid file was not loaded");
      return;
    }
    growthKb = std::max(growthKb, testing_support::PeakMemoryKb(service.Pid()) - before);
    service.Stop();
  }
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / (1 << 20);
  state.counters["peak_growth_MB"] = static_cast<double>(growthKb) / 1024.0;
  state.counters["peak_growth_per_file_byte"] = static_cast<double>(growthKb) * 1024.0 / static_cast<double>(bytes.size());
}

BENCHMARK_CAPTURE(BM_SettingsTakeOver, EmptyRestoreRequestsAtTheBound, true)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SettingsTakeOver, SlashSixteenPoolWithRequests, false)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SettingsAtEveryCap(benchmark::State& state) {
  const std::string bytes = archive_test::SettingsAtEveryCap();
  for (auto _ : state) {
    testing_support::ServiceProcess service;
    auto measure = [&](const std::string& when) {
      state.counters[when + "_peak_MB"] = static_cast<double>(testing_support::PeakMemoryKb(service.Pid())) / 1024.0;
      state.counters[when + "_resident_MB"] =
          static_cast<double>(testing_support::ResidentMemoryKb(service.Pid())) / 1024.0;
    };
    if (!service.Start()) {
      state.SkipWithError("the service did not start");
      return;
    }
    for (const std::string handOver : {"handover1", "handover2"}) {
      if (!platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), bytes) || service.Control(134) != 0u ||
          platform::ReadWholeFile(service.ProgramFile("Mirvale.ini")) != bytes) {
        state.SkipWithError("the file was not taken over");
        return;
      }
      measure(handOver);
    }
    service.Stop();
    if (!service.Start()) {
      state.SkipWithError("the service did not start again");
      return;
    }
    service.Control(134);  // answered once the settings are loaded
    measure("start");
    service.Stop();
  }
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / (1 << 20);
}

BENCHMARK(BM_SettingsAtEveryCap)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirvale

BENCHMARK_MAIN();

// Encoding and decoding a large device database, and the desktop store's deep copy of it.
#include <benchmark/benchmark.h>

#include "common/database_files.h"

using namespace mirvale;

namespace {

DeviceDatabaseMap LargeDatabase(int devices, int values) {
  DeviceDatabaseMap map;
  for (int d = 0; d < devices; ++d) {
    std::string address = "10.0." + std::to_string(d / 256) + "." + std::to_string(d % 256);
    CDbItem& device = map.FindOrAdd(DeviceKey("pool", address));
    device.m_strPool = "pool";
    device.m_strAddress = address;
    device.m_strName = "device-" + std::to_string(d);
    device.m_strScanTime = "1700000000";
    device.m_strStatus = "Finished without changes";
    for (int v = 1; v <= values; ++v) {
      std::string key = std::to_string(v);
      device.m_pQueries.Set(key, CDbQuery{"", "", key, "interface GigabitEthernet0/" + key + " description uplink",
                                          "1700000000", "", ""});
    }
  }
  return map;
}

void BM_EncodeDeviceDatabase(benchmark::State& state) {
  DeviceDatabaseMap map = LargeDatabase(static_cast<int>(state.range(0)), 100);
  size_t bytes = 0;
  for (auto _ : state) {
    std::string encoded = EncodeDeviceDatabase(map);
    bytes = encoded.size();
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
}

void BM_DecodeDeviceDatabase(benchmark::State& state) {
  std::string encoded = EncodeDeviceDatabase(LargeDatabase(static_cast<int>(state.range(0)), 100));
  for (auto _ : state) {
    DeviceDatabaseMap map = DecodeDeviceDatabase(encoded);
    benchmark::DoNotOptimize(map.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(encoded.size() * state.iterations()));
}

void BM_DeepCopyDeviceDatabase(benchmark::State& state) {
  DeviceDatabaseMap map = LargeDatabase(static_cast<int>(state.range(0)), 100);
  for (auto _ : state) {
    DeviceDatabaseMap copy = map;
    benchmark::DoNotOptimize(copy.size());
  }
}

}  // namespace

BENCHMARK(BM_EncodeDeviceDatabase)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeDeviceDatabase)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeepCopyDeviceDatabase)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// The shell part of scanning a pool of 32 telnet devices (probe, then log in and collect 300
// lines through 13 pages), one thread per device as the service's device threads, with up to
// 16 conversations at once beside the same pool with conversations limited to one.
#include <benchmark/benchmark.h>

#include "service/shell_session/shell_session_channels.h"
#include "service/shell_session/shell_session_collect.h"
#include "tests/service/shell_pool_support.h"
#include "tests/support/snmp_agent.h"

namespace {

using namespace shell_pool_testing;

constexpr int kDevices = 32;

// Devices per second, and whether every device gave all its lines.
double ScanRate(ShellPool& pool, size_t conversationLimit, bool* complete) {
  mirvale::ShellConversations conversations(conversationLimit);
  mirvale::ShellSettings settings = mirvale::ShellSettingsFromPool(*pool.Settings().m_mapPools.Find(kPool));
  std::vector<size_t> collected(pool.devices.size());
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (size_t i = 0; i < pool.devices.size(); ++i) {
    threads.emplace_back([&, i] {
      std::string address = Address(static_cast<int>(i));
      if (mirvale::ShellAnswers(conversations, address, settings))
        collected[i] = mirvale::CollectStoredShellLines(conversations, address, settings).lines.size();
    });
  }
  for (auto& thread : threads) thread.join();
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  *complete = std::all_of(collected.begin(), collected.end(),
                          [](size_t lines) { return lines == ShellPool::Expected().size(); });
  return static_cast<double>(pool.devices.size()) / took.count();
}

void BM_ShellPoolOfThirtyTwo(benchmark::State& state) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a network namespace");
    return;
  }
  testing_support::TempFolder registry;
  testing_support::ScopedEnv root("MIRVALE_REGISTRY_ROOT", registry.path());
  ShellPool pool(kDevices);
  for (auto _ : state) {
    bool parallelComplete = false;
    bool serialComplete = false;
    double parallel = ScanRate(pool, mirvale::ShellConversations::kDefaultLimit, &parallelComplete);
    double serial = ScanRate(pool, 1, &serialComplete);
    if (!parallelComplete || !serialComplete) state.SkipWithError("a device gave fewer lines than it holds");
    state.counters["devices_per_s"] = parallel;
    state.counters["devices_per_s_one_at_a_time"] = serial;
    state.counters["speedup"] = parallel / serial;
  }
}
BENCHMARK(BM_ShellPoolOfThirtyTwo)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// Time to collect a 500-line configuration over telnet (busybox's server, a pager every 23
// lines, one-second time-out): each read waits one time-out for the device to go quiet.
#include <benchmark/benchmark.h>

#include "platform/registry.h"
#include "service/shell_session/shell_session_collect.h"
#include "tests/support/fake_device.h"

namespace {

std::vector<std::string> FiveHundredLines() {
  std::vector<std::string> lines;
  for (int i = 0; i < 100; ++i) {
    lines.push_back("interface Vlan" + std::to_string(i));
    lines.push_back(" description access " + std::to_string(i));
    lines.push_back(" ip address 10.1." + std::to_string(i) + ".1 255.255.255.0");
    lines.push_back("  no shutdown");
    lines.push_back("!");
  }
  return lines;
}

void BM_TelnetFiveHundredLines(benchmark::State& state) {
  testing_support::TempFolder registry;
  testing_support::ScopedEnv root("MIRVALE_REGISTRY_ROOT", registry.path());
  testing_support::FakeDevice device(testing_support::FakeDeviceOptions{.mode = "telnet", .config = FiveHundredLines()});
  mirvale::ShellSettings settings;
  settings.m_bTelnet = 1;
  settings.m_nRetries = 1;
  settings.m_nTimeout = 1;
  settings.m_nShellPort = device.port();
  settings.m_strShellUser = "admin";
  settings.m_strShellPassword = "secret";
  settings.m_strPrivilegedCommand = "enable";
  settings.m_strPrivilegedPassword = "enablepw";
  settings.m_strBackupCommand = "show running-config";
  mirvale::ShellConversations conversations;
  size_t lines = 0;
  for (auto _ : state) lines = mirvale::CollectShellConfiguration(conversations, "127.0.0.1", settings).lines.size();
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_TelnetFiveHundredLines)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

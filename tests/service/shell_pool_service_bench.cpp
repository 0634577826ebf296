// The real MirvaleSrv scanning a pool of 32 devices with 300-line configurations over telnet and
// over SSH-2 (devices per second), beside 16 OpenSSH `ssh -tt` clients at once typing the same
// commands into the same sshd; and the median time one device's collection takes over each
// protocol beside one `ssh -tt` listing.
#include <algorithm>
#include <atomic>
#include <sstream>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>

#include "tests/service/shell_pool_support.h"
#include "tests/support/snmp_agent.h"

namespace {

using namespace std::chrono_literals;
using namespace shell_pool_testing;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kStartScan = 136;
constexpr int kDevices = 32;
constexpr int kOpenSshClients = 16;  // as many as the service's conversations at once

double Seconds(Clock::duration took) { return std::chrono::duration<double>(took).count(); }

// The device's stored lines in the service's database, or none.
std::vector<std::string> ServiceStoredLines(const testing_support::ServiceProcess& service,
                                            const std::string& address) {
  auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.db"));
  return bytes ? StoredLines(mirvale::DecodeDeviceDatabase(*bytes), address) : std::vector<std::string>{};
}

bool StartServiceWith(testing_support::ServiceProcess& service, const mirvale::CMirvaleDoc& doc) {
  return platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), mirvale::EncodeSettings(doc)) &&
         service.Start();
}

// Processor seconds (user and system) a process has used so far.
double ProcessorSeconds(pid_t pid) {
  std::string stat = testing_support::FakeDevice::ReadFile("/proc/" + std::to_string(pid) + "/stat");
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int index = 3; fields >> field && index <= 15; ++index)
    if (index >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Seconds of one scan of the pool through a service started for it; nullopt (and why) unless
// every device stored its lines. processor: the service's processor seconds for the scan.
std::optional<double> ScanSeconds(const ShellPool& pool, std::string& failure, double* processor = nullptr) {
  testing_support::ServiceProcess service;
  if ((pool.sshd && !pool.sshd->ready()) || !StartServiceWith(service, pool.Settings())) {
    failure = "sshd or the service did not start";
    return std::nullopt;
  }
  double processorBefore = ProcessorSeconds(service.Pid());
  auto start = Clock::now();
  std::optional<mirvale::ScanDatabase> scan;
  if (service.Control(kStartScan) != 0u || !(scan = WaitForFinishedScan(service, "", 600s, 5ms))) {
    failure = "the scan did not finish";
    return std::nullopt;
  }
  double took = Seconds(Clock::now() - start);
  if (processor) *processor = ProcessorSeconds(service.Pid()) - processorBefore;
  const std::vector<std::string> expected = ShellPool::Expected();
  for (size_t i = 0; i < pool.devices.size(); ++i) {
    std::string address = Address(static_cast<int>(i));
    std::vector<std::string> stored = ServiceStoredLines(service, address);
    if (stored != expected) {
      const mirvale::CScanDbItem* status = scan->map.Find(std::string(kPool) + "/" + address);
      auto differs = std::mismatch(stored.begin(), stored.end(), expected.begin(), expected.end()).first;
      failure = address + " stored " + std::to_string(stored.size()) + " lines (" +
                (status ? status->m_strStatus : "no status") + "), the first wrong one \"" +
                (differs != stored.end() ? *differs : "") + "\" at " + std::to_string(differs - stored.begin()) +
                "; the service's events: " + platform::ReadWholeFile(service.EventLogPath()).value_or("");
      return std::nullopt;
    }
  }
  return took;
}

// `ssh -tt` with the password from an askpass script, typing what the service sends: the
// backup command, a space at each pager, "exit" at the prompt after the listing. The seconds
// the whole listing took, or nullopt.
std::optional<double> RunOpenSsh(const std::string& address, const std::string& askpass) {
  int in[2];
  int out[2];
  if (pipe(in) != 0) return std::nullopt;
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return std::nullopt;
  }
  auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    setenv("SSH_ASKPASS", askpass.c_str(), 1);
    setenv("SSH_ASKPASS_REQUIRE", "force", 1);
    execlp("ssh", "ssh", "-tt", "-F", "/dev/null", "-p", std::to_string(kPort).c_str(), "-o",
           "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null", "-o", "PubkeyAuthentication=no", "-o",
           "PreferredAuthentications=password", "-l", testing_support::kSshUser, address.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  std::string seen;
  double wholeListing = 0;
  bool commandSent = false;
  size_t scanned = 0;
  auto deadline = start + 60s;
  while (Clock::now() < deadline && wholeListing == 0) {
    pollfd ready{out[0], POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    char buffer[4096];
    ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    seen.append(buffer, static_cast<size_t>(got));
    auto type = [&](const char* text) { (void)!write(in[1], text, std::strlen(text)); };
    if (!commandSent && seen.find("Router#") != std::string::npos) {
      type("show running-config\r");
      commandSent = true;
      scanned = seen.size();
    }
    if (!commandSent) continue;
    for (size_t at; (at = seen.find("--More--", scanned)) != std::string::npos;) {
      type(" ");
      scanned = at + 8;
    }
    if (seen.find("end\r\nRouter#", scanned > 20 ? scanned - 20 : 0) != std::string::npos) {
      wholeListing = Seconds(Clock::now() - start);
      type("exit\r");
    }
  }
  close(in[1]);
  close(out[0]);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  if (wholeListing == 0) return std::nullopt;
  return wholeListing;
}

// The askpass script OpenSSH's client takes the test account's password from.
struct AskPass {
  AskPass() {
    std::ofstream(path) << "#!/bin/sh\necho '" << testing_support::kSshPassword << "'\n";
    chmod(path.c_str(), 0755);
  }
  testing_support::TempFolder folder;
  const std::string path = folder / "askpass.sh";
};

// Devices per second of 16 `ssh -tt` clients at once over the pool's devices.
std::optional<double> OpenSshRate(const ShellPool& pool) {
  AskPass askpass;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto start = Clock::now();
  std::vector<std::thread> clients;
  for (int i = 0; i < kOpenSshClients; ++i) {
    clients.emplace_back([&] {
      for (size_t device; (device = next++) < pool.devices.size();)
        if (!RunOpenSsh(Address(static_cast<int>(device)), askpass.path)) failed = true;
    });
  }
  for (auto& client : clients) client.join();
  if (failed) return std::nullopt;
  return static_cast<double>(pool.devices.size()) / Seconds(Clock::now() - start);
}

void BM_ServiceShellPoolBesideOpenSsh(benchmark::State& state) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a network namespace");
    return;
  }
  for (auto _ : state) {
    // One after the other: both serve the common port on every address.
    std::string failure;
    std::optional<double> telnet;
    double telnetProcessor = 0;
    double sshProcessor = 0;
    {
      ShellPool pool(kDevices, -1, "telnet");
      telnet = ScanSeconds(pool, failure, &telnetProcessor);
    }
    if (!telnet) {
      state.SkipWithError(("telnet: " + failure).c_str());
      return;
    }
    ShellPool pool(kDevices, -1, "ssh");
    std::optional<double> ssh = ScanSeconds(pool, failure, &sshProcessor);
    if (!ssh) {
      state.SkipWithError(("ssh: " + failure).c_str());
      return;
    }
    std::optional<double> openssh = OpenSshRate(pool);
    if (!openssh) {
      state.SkipWithError("ssh -tt did not show every configuration");
      return;
    }
    state.counters["telnet_devices_per_s"] = kDevices / *telnet;
    state.counters["ssh_devices_per_s"] = kDevices / *ssh;
    state.counters["openssh_devices_per_s"] = *openssh;
    state.counters["telnet_to_openssh"] = kDevices / *telnet / *openssh;
    state.counters["ssh_to_openssh"] = kDevices / *ssh / *openssh;
    state.counters["telnet_service_cpu_s_per_device"] = telnetProcessor / kDevices;
    state.counters["ssh_service_cpu_s_per_device"] = sshProcessor / kDevices;
  }
}
BENCHMARK(BM_ServiceShellPoolBesideOpenSsh)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// One device's collection: the whole scan of a pool of that device alone (probe, login, backup
// command, 13 pages, prompt), the median of several, beside one `ssh -tt` listing.
void BM_OneDeviceCollection(benchmark::State& state) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a network namespace");
    return;
  }
  constexpr int kRuns = 5;
  for (auto _ : state) {
    std::string failure;
    for (const char* protocol : {"telnet", "ssh"}) {
      ShellPool pool(1, -1, protocol);
      std::vector<double> runs;
      for (int run = 0; run < kRuns; ++run) {
        std::optional<double> took = ScanSeconds(pool, failure);
        if (!took) {
          state.SkipWithError((std::string(protocol) + ": " + failure).c_str());
          return;
        }
        runs.push_back(*took);
      }
      state.counters[std::string(protocol) + "_median_s"] = Median(runs);
      if (!pool.sshd) continue;
      AskPass askpass;
      std::vector<double> listings;
      for (int run = 0; run < kRuns; ++run) {
        std::optional<double> took = RunOpenSsh(Address(0), askpass.path);
        if (!took) {
          state.SkipWithError("ssh -tt did not show the whole configuration");
          return;
        }
        listings.push_back(*took);
      }
      state.counters["openssh_median_s"] = Median(listings);
    }
  }
}
BENCHMARK(BM_OneDeviceCollection)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

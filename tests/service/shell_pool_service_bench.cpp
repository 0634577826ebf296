// The real MirvaleSrv scanning a pool of 32 devices with 300-line configurations over telnet and
// over SSH-2 (devices per second, one run each), and the time to the first stored line of one
// device over SSH-2 beside OpenSSH's `ssh -tt` typing the same command into the same sshd.
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

double Seconds(Clock::duration took) { return std::chrono::duration<double>(took).count(); }

// The device's stored lines in the service's database, or none.
std::vector<std::string> ServiceStoredLines(const testing_support::ServiceProcess& service, const std::string& address) {
  auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.db"));
  return bytes ? StoredLines(mirvale::DecodeDeviceDatabase(*bytes), address) : std::vector<std::string>{};
}

bool StartServiceWith(testing_support::ServiceProcess& service, const mirvale::CMirvaleDoc& doc) {
  return platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), mirvale::EncodeSettings(doc)) &&
         service.Start();
}

// Devices per second of one scan of the whole pool; nullopt (and why) unless every device
// stored its lines.
std::optional<double> PoolRate(const std::string& protocol, std::string& failure) {
  failure = protocol + ": ";
  ShellPool pool(kDevices, -1, protocol);
  testing_support::ServiceProcess service;
  if ((pool.sshd && !pool.sshd->ready()) || !StartServiceWith(service, pool.Settings())) {
    failure += "sshd or the service did not start";
    return std::nullopt;
  }
  auto start = Clock::now();
  if (service.Control(kStartScan) != 0u || !WaitForFinishedScan(service, "", 600s)) {
    failure += "the scan did not finish";
    return std::nullopt;
  }
  double took = Seconds(Clock::now() - start);
  for (int i = 0; i < kDevices; ++i) {
    size_t stored = ServiceStoredLines(service, Address(i)).size();
    if (stored != ShellPool::Expected().size()) {
      failure += Address(i) + " stored " + std::to_string(stored) + " lines";
      return std::nullopt;
    }
  }
  return kDevices / took;
}

void BM_ServiceShellPoolOverTelnetAndSsh(benchmark::State& state) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a network namespace");
    return;
  }
  for (auto _ : state) {
    // One after the other: both serve the common port on every address.
    std::string failure;
    std::optional<double> telnet = PoolRate("telnet", failure);
    std::optional<double> ssh = telnet ? PoolRate("ssh", failure) : std::nullopt;
    if (!telnet || !ssh) {
      state.SkipWithError(failure.c_str());
      return;
    }
    state.counters["telnet_devices_per_s"] = *telnet;
    state.counters["ssh_devices_per_s"] = *ssh;
  }
}
BENCHMARK(BM_ServiceShellPoolOverTelnetAndSsh)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// `ssh -tt` with the password from an askpass script, typing what the service sends: the
// backup command, a space at each pager, "exit" at the prompt after the listing.
struct OpenSshTimes {
  double firstLine = 0;  // the command's echo line, the service's first stored line
  double wholeListing = 0;
};

std::optional<OpenSshTimes> RunOpenSsh(int port, const std::string& askpass) {
  int in[2];
  int out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return std::nullopt;
  auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    setenv("SSH_ASKPASS", askpass.c_str(), 1);
    setenv("SSH_ASKPASS_REQUIRE", "force", 1);
    execlp("ssh", "ssh", "-tt", "-F", "/dev/null", "-p", std::to_string(port).c_str(), "-o",
           "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null", "-o", "PubkeyAuthentication=no", "-o",
           "PreferredAuthentications=password", "-l", testing_support::kSshUser, "127.0.0.1", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  std::string seen;
  OpenSshTimes times;
  bool commandSent = false;
  size_t scanned = 0;
  auto deadline = start + 60s;
  while (Clock::now() < deadline && times.wholeListing == 0) {
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
    if (times.firstLine == 0 && seen.find("show running-config\r\n") != std::string::npos)
      times.firstLine = Seconds(Clock::now() - start);
    for (size_t at; (at = seen.find("--More--", scanned)) != std::string::npos;) {
      type(" ");
      scanned = at + 8;
    }
    if (seen.find("end\r\nRouter#", scanned > 20 ? scanned - 20 : 0) != std::string::npos) {
      times.wholeListing = Seconds(Clock::now() - start);
      type("exit\r");
    }
  }
  close(in[1]);
  close(out[0]);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  if (times.wholeListing == 0) return std::nullopt;
  return times;
}

void BM_FirstStoredLineOverSshBesideOpenSsh(benchmark::State& state) {
  if (!testing_support::EnterPrivateNetwork()) {
    state.SkipWithError("needs root for a network namespace");
    return;
  }
  ShellPool pool(1, -1, "ssh");
  testing_support::ServiceProcess service;
  mirvale::CMirvaleDoc doc = pool.Settings();
  if (!pool.sshd->ready() || !StartServiceWith(service, doc)) {
    state.SkipWithError("sshd or the service did not start");
    return;
  }
  testing_support::TempFolder folder;
  const std::string askpass = folder / "askpass.sh";
  std::ofstream(askpass) << "#!/bin/sh\necho '" << testing_support::kSshPassword << "'\n";
  chmod(askpass.c_str(), 0755);
  for (auto _ : state) {
    auto start = Clock::now();
    if (service.Control(kStartScan) != 0u) break;
    double stored = 0;
    while (stored == 0 && Clock::now() < start + 120s) {
      if (!ServiceStoredLines(service, Address(0)).empty()) stored = Seconds(Clock::now() - start);
      else std::this_thread::sleep_for(5ms);
    }
    auto scan = WaitForFinishedScan(service, "", 120s);
    double scanned = Seconds(Clock::now() - start);
    std::optional<OpenSshTimes> openssh = RunOpenSsh(kPort, askpass);
    if (stored == 0 || !scan || ServiceStoredLines(service, Address(0)) != ShellPool::Expected()) {
      state.SkipWithError("the service did not store the whole configuration");
      return;
    }
    if (!openssh) {
      state.SkipWithError("ssh -tt did not show the whole configuration");
      return;
    }
    state.counters["service_first_stored_line_s"] = stored;
    state.counters["service_whole_scan_s"] = scanned;
    state.counters["openssh_first_line_s"] = openssh->firstLine;
    state.counters["openssh_whole_listing_s"] = openssh->wholeListing;
  }
}
BENCHMARK(BM_FirstStoredLineOverSshBesideOpenSsh)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

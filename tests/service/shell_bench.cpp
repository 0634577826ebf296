// Time to collect a 500-line configuration over telnet (busybox's server, a pager every 23
// lines, one-second time-out), and the time from a device's prompt to the end of the read that
// waits for it (raw TCP, ten-second time-out); the processor time of cutting a 2 MiB line
// without breaks, received in 64-byte pieces, into lines; and the time a twenty-line restore
// takes over telnet.
#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/registry.h"
#include "service/shell_session/shell_output_lines.h"
#include "service/shell_session/shell_session.h"
#include "service/shell_session/shell_session_channels.h"
#include "service/shell_session/shell_session_collect.h"
#include "tests/support/fake_device.h"
#include "tests/support/lab_pools.h"

namespace {

using Clock = std::chrono::steady_clock;

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
  testing_support::FakeDevice device(
      testing_support::FakeDeviceOptions{.mode = "telnet", .config = FiveHundredLines()});
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

// A restore of twenty lines over telnet (one-second time-out): each line's answer ends at the
// device's prompt, so the request takes far less than the twenty seconds of waiting each out.
void BM_TelnetTwentyLineRestore(benchmark::State& state) {
  testing_support::TempFolder registry;
  testing_support::ScopedEnv root("MIRVALE_REGISTRY_ROOT", registry.path());
  testing_support::FakeDevice device(testing_support::FakeDeviceOptions{.mode = "telnet"});
  mirvale::CMirvaleDoc doc;
  const mirvale::CPoolItem& pool = testing_support::AddFakeDeviceTelnetPool(doc, "sw", device);
  std::string lines;
  for (int i = 1; i <= 20; ++i) lines += "description line " + std::to_string(i) + "\r\n";
  mirvale::ShellConversations conversations;
  bool answered = false;
  for (auto _ : state)
    answered = mirvale::SendShellRequestToDevice(conversations, "127.0.0.1", pool, "interface Gi0/1", lines);
  state.counters["answered"] = answered ? 1 : 0;
}
BENCHMARK(BM_TelnetTwentyLineRestore)->Unit(benchmark::kSecond)->Iterations(1);

// A device on raw TCP that shows its prompt at once and answers every command line with two
// lines and its prompt, noting when it sent the prompt.
class PromptDevice {
 public:
  PromptDevice() : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~PromptDevice() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }
  int port() const { return port_; }
  Clock::time_point PromptSent() const { return Clock::time_point(Clock::duration(promptSent_.load())); }

 private:
  void Serve() {
    int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Answer(client, "Router#");
    std::string command;
    char c = 0;
    while (recv(client, &c, 1, 0) == 1) {
      if (c != '\r') {
        command += c;
        continue;
      }
      Answer(client, command + "\r\n12:00:00.000 UTC Wed Dec 9 2026\r\nRouter#");
      command.clear();
    }
    close(client);
  }
  void Answer(int client, const std::string& text) {
    promptSent_ = Clock::now().time_since_epoch().count();
    send(client, text.data(), text.size(), MSG_NOSIGNAL);
  }

  int listener_;
  int port_ = 0;
  std::atomic<Clock::rep> promptSent_{0};
  std::thread thread_;
};

void BM_PromptToEndOfRead(benchmark::State& state) {
  testing_support::TempFolder registry;
  testing_support::ScopedEnv root("MIRVALE_REGISTRY_ROOT", registry.path());
  PromptDevice device;
  auto key = platform::RegistryKey::Open("Software\\Hollerin\\Mirsh\\Sessions\\Default%20Settings", true);
  key->SetString("Protocol", "raw");
  key->SetDword("PortNumber", static_cast<uint32_t>(device.port()));
  mirvale::ShellSettings settings;
  settings.m_bTelnet = 1;
  settings.m_nRetries = 1;
  settings.m_nTimeout = 10;
  settings.m_nShellPort = device.port();
  mirvale::CShellSession session;
  if (!session.Open("127.0.0.1", settings) || !session.Login()) {
    state.SkipWithError("the device did not show its prompt");
    return;
  }
  for (auto _ : state) {
    session.SendText("show clock\r");
    std::vector<std::string> lines;
    session.ReadLines(lines);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - device.PromptSent()).count());
  }
  session.Close();
}
BENCHMARK(BM_PromptToEndOfRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_TwoMebibyteLineIn64BytePieces(benchmark::State& state) {
  const std::string piece = "description " + std::string(52, 'x');
  for (auto _ : state) {
    mirvale::OutputLines output;
    for (int i = 0; i < (2 << 20) / 64; ++i) output.Append(piece);
    benchmark::DoNotOptimize(output.Standing().size());
  }
}
BENCHMARK(BM_TwoMebibyteLineIn64BytePieces)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

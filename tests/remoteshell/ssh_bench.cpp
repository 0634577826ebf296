// The SSH client beside OpenSSH's own client, both forced to aes128-ctr, hmac-sha1 and
// diffie-hellman-group14-sha1 against the same sshd, in one run: connection set-up to the
// shell prompt, and 16 MiB of command output (the time of "head -c 16M /dev/zero" less the
// time of "true", so both clients' set-up is taken off alike). The ratios close the output.
#include <csignal>
#include <map>

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include "remoteshell/core/prompt_set.h"
#include "tests/remoteshell/ssh_test_support.h"

namespace {

using namespace ssh_testing;

constexpr size_t kBulkBytes = 16 * 1024 * 1024;
const std::string kBulkCommand = "head -c " + std::to_string(kBulkBytes) + " /dev/zero";

struct Bench {
  TempFolder folder;
  testing_support::ScopedEnv registry{"MIRVALE_REGISTRY_ROOT", folder / "registry"};
  testing_support::ScopedEnv home{"HOME", folder.path()};
  TestAccount account{"mirvalebench", "Bench-pass-1"};
  bool key_made =
      RunCommand("ssh-keygen -q -t ed25519 -N '' -f " + folder / "client" + " && cp " + folder / "client.pub " +
                 account.home() / "authorized_keys && chmod 644 " + account.home() / "authorized_keys") == 0;
  Sshd sshd{{"Ciphers aes128-ctr", "MACs hmac-sha1", "KexAlgorithms diffie-hellman-group14-sha1",
             "HostKeyAlgorithms ssh-rsa", "AuthorizedKeysFile " + account.home() / "authorized_keys",
             "PasswordAuthentication yes", "KbdInteractiveAuthentication no", "LogLevel ERROR"},
            true,
            &account};

  // OpenSSH's client logs in with the key, ours with the password.
  std::string OpenSsh(const std::string& options) const {
    return "exec ssh -F /dev/null -o BatchMode=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null "
           "-o LogLevel=ERROR -c aes128-ctr -m hmac-sha1 -o KexAlgorithms=diffie-hellman-group14-sha1 "
           "-o HostKeyAlgorithms=ssh-rsa -o PasswordAuthentication=no -i " +
           folder / "client" + " -p " + std::to_string(sshd.port()) + " " + options + " " + account.user() +
           "@127.0.0.1";
  }
  SessionConfig Config(const std::string& command) const {
    SessionConfig config = ClientConfig();
    std::strcpy(config.user_name, account.user().c_str());
    std::strcpy(config.remote_command, command.c_str());
    config.no_pty = command.empty() ? 0 : 1;
    return config;
  }
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best time of each measurement, for the ratios: on a shared machine the other load only
// ever adds time.
std::map<std::string, double> best;

void Keep(const std::string& name, double seconds) {
  auto [entry, added] = best.emplace(name, seconds);
  if (!added) entry->second = std::min(entry->second, seconds);
}

struct Received {
  std::string head;  // the first bytes, where the prompt shows
  size_t bytes = 0;
  std::string password;
};
Received* received = nullptr;

// One conversation of our client with the password answered and the output counted; done
// (when given) ends it early.
Outcome RunOurs(const SessionConfig& config, std::function<bool()> done = {}, size_t* bytes = nullptr) {
  Received mine;
  mine.password = "Bench-pass-1";
  received = &mine;
  ShellConversation* conversation = conversation_current();
  conversation->hooks.prompt = [](void*, PromptSet* prompts) {
    if (prompts->count > 0) std::strncpy(prompts->items[0]->reply, received->password.c_str(), 99);
    return 1;
  };
  conversation->hooks.output = [](void*, int, const char* data, int length) {
    if (received->head.size() < 4096) received->head.append(data, static_cast<size_t>(length));
    received->bytes += static_cast<size_t>(length);
    return 0;
  };
  Outcome outcome =
      Converse(Shared().sshd.port(), config,
               done ? [&](SshSession*) { return !done(); } : std::function<bool(SshSession*)>(), "127.0.0.1", true);
  if (done && !done()) outcome.fatal += " (ended before the prompt)";
  conversation->hooks.prompt = nullptr;
  conversation->hooks.output = nullptr;
  received = nullptr;
  if (bytes != nullptr) *bytes = mine.bytes;
  return outcome;
}

bool ShowsPrompt(const std::string& text) { return text.find("$ ") != std::string::npos; }

void BM_SetUpToPromptMirvale(benchmark::State& state) {
  Bench& bench = Shared();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    Outcome outcome = RunOurs(bench.Config(""), [] { return ShowsPrompt(received->head); });
    double seconds = Seconds(start);
    if (!outcome.fatal.empty()) state.SkipWithError((outcome.fatal + "\n" + outcome.AllEvents()).c_str());
    state.SetIterationTime(seconds);
    Keep("setup mirvale", seconds);
  }
}
BENCHMARK(BM_SetUpToPromptMirvale)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// OpenSSH's client with a terminal and a shell, read until the prompt shows.
double OpenSshToPrompt(const std::string& command) {
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) return 0;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(to_child[0], 0);
    dup2(from_child[1], 1);
    close(to_child[1]);
    close(from_child[0]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  std::string text;
  char buffer[4096];
  ssize_t got;
  while (!ShowsPrompt(text) && (got = read(from_child[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  double seconds = ShowsPrompt(text) ? Seconds(start) : 0;
  close(to_child[1]);
  close(from_child[0]);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return seconds;
}

void BM_SetUpToPromptOpenSsh(benchmark::State& state) {
  Bench& bench = Shared();
  for (auto _ : state) {
    double seconds = OpenSshToPrompt(bench.OpenSsh("-tt"));
    if (seconds == 0) state.SkipWithError("no prompt from OpenSSH's client");
    state.SetIterationTime(seconds);
    Keep("setup openssh", seconds);
  }
}
BENCHMARK(BM_SetUpToPromptOpenSsh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OutputMirvale(benchmark::State& state) {
  Bench& bench = Shared();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    Outcome empty = RunOurs(bench.Config("true"));
    double setup = Seconds(start);
    start = std::chrono::steady_clock::now();
    size_t bytes = 0;
    Outcome bulk = RunOurs(bench.Config(kBulkCommand), {}, &bytes);
    double seconds = std::max(1e-6, Seconds(start) - setup);
    if (empty.exit_status != 0 || bulk.exit_status != 0 || bytes != kBulkBytes)
      state.SkipWithError((bulk.fatal + "\n" + bulk.AllEvents()).c_str());
    state.SetIterationTime(seconds);
    Keep("empty mirvale", setup);
    Keep("full mirvale", setup + seconds);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBulkBytes));
}
BENCHMARK(BM_OutputMirvale)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OutputOpenSsh(benchmark::State& state) {
  Bench& bench = Shared();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    RunCommand(bench.OpenSsh("") + " true </dev/null");
    double setup = Seconds(start);
    start = std::chrono::steady_clock::now();
    RunCommand(bench.OpenSsh("") + " '" + kBulkCommand + "' </dev/null >/dev/null");
    double seconds = std::max(1e-6, Seconds(start) - setup);
    state.SetIterationTime(seconds);
    Keep("empty openssh", setup);
    Keep("full openssh", setup + seconds);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBulkBytes));
}
BENCHMARK(BM_OutputOpenSsh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (best.size() == 6) {
    // Each client's output time is its best run with output less its best run without: the
    // difference of single runs is as noisy as the set-up, which dwarfs OpenSSH's transfer.
    for (const char* who : {"mirvale", "openssh"})
      best[std::string("bulk ") + who] =
          std::max(1e-6, best[std::string("full ") + who] - best[std::string("empty ") + who]);
    double setup = best["setup mirvale"] / best["setup openssh"];
    double throughput = best["bulk openssh"] / best["bulk mirvale"];
    std::printf("best of each: set-up to prompt %.1f ms, OpenSSH %.1f ms, ratio %.2f (target at most 1.5)\n",
                best["setup mirvale"] * 1e3, best["setup openssh"] * 1e3, setup);
    std::printf(
        "best of each: 16 MiB output at %.1f MiB/s, OpenSSH %.1f MiB/s, throughput ratio %.2f (target at least 0.5)\n",
        16 / best["bulk mirvale"], 16 / best["bulk openssh"], throughput);
  }
  return 0;
}

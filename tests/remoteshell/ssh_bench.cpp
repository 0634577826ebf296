// The SSH client beside OpenSSH's own client, both forced to aes128-ctr, hmac-sha1 and
// diffie-hellman-group14-sha1 against the same sshd: connection set-up to where user
// authentication starts, and 16 MiB sent through the transport (our client: IGNORE packets
// before authentication; the OpenSSH client: standard input of a "cat > /dev/null" session).
#include <benchmark/benchmark.h>

#include "tests/remoteshell/ssh_test_support.h"

namespace {

using namespace ssh_testing;

constexpr size_t kBulkBytes = 16 * 1024 * 1024;
constexpr size_t kChunk = 32 * 1024;

struct Bench {
  TempFolder folder;
  testing_support::ScopedEnv registry{"MIRVALE_REGISTRY_ROOT", folder / "registry"};
  testing_support::ScopedEnv home{"HOME", folder.path()};
  bool key_made = RunCommand("ssh-keygen -q -t ed25519 -N '' -f " + folder / "client" + " && cp " +
                             folder / "client.pub " + folder / "authorized_keys") == 0;
  Sshd sshd{{"Ciphers aes128-ctr", "MACs hmac-sha1", "KexAlgorithms diffie-hellman-group14-sha1",
             "HostKeyAlgorithms ssh-rsa", "AuthorizedKeysFile " + folder / "authorized_keys", "PermitRootLogin yes",
             "LogLevel ERROR"}};

  std::string OpenSsh(const std::string& command) const {
    return "ssh -F /dev/null -o BatchMode=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null "
           "-o LogLevel=ERROR -c aes128-ctr -m hmac-sha1 -o KexAlgorithms=diffie-hellman-group14-sha1 "
           "-o HostKeyAlgorithms=ssh-rsa -p " +
           std::to_string(sshd.port()) + " " + command;
  }
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_SetUpMirvale(benchmark::State& state) {
  Bench& bench = Shared();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    Outcome outcome = Converse(bench.sshd.port());
    state.SetIterationTime(Seconds(start));
    if (!outcome.accepted) state.SkipWithError("no userauth");
  }
}
BENCHMARK(BM_SetUpMirvale)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// OpenSSH's client up to its first ("none") authentication request and the refusal.
void BM_SetUpOpenSsh(benchmark::State& state) {
  Bench& bench = Shared();
  std::string command = bench.OpenSsh(
      "-o PubkeyAuthentication=no -o PasswordAuthentication=no "
      "-o KbdInteractiveAuthentication=no -o GSSAPIAuthentication=no "
      "nobody@127.0.0.1 true 2>/dev/null");
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    RunCommand(command);
    state.SetIterationTime(Seconds(start));
  }
}
BENCHMARK(BM_SetUpOpenSsh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BulkMirvale(benchmark::State& state) {
  Bench& bench = Shared();
  for (auto _ : state) {
    std::chrono::steady_clock::time_point start;
    double seconds = 0;
    size_t sent = 0;
    uint32_t answer_after = 0;
    Outcome outcome = Converse(bench.sshd.port(), ClientConfig(), [&](SshSession* ssh) {
      if (sent == 0) start = std::chrono::steady_clock::now();
      if (sent < kBulkBytes) {
        // A few packets per turn, so the socket's queue never holds much more than it sends.
        for (int i = 0; i < 64 && sent < kBulkBytes; ++i, sent += kChunk) {
          WireBuffer ignore;
          ignore.put_byte(kMsgIgnore);
          ignore.put_string(std::string(kChunk, 'x'));
          ssh2_send(ssh, ignore);
        }
        if (sent >= kBulkBytes) {
          // Before authentication the server answers a KEXINIT with UNIMPLEMENTED, once it has
          // read everything before it.
          WireBuffer unknown;
          unknown.put_byte(kMsgKexInit);
          ssh2_send(ssh, unknown);
          answer_after = ssh->in.sequence;
        }
        return true;
      }
      if (ssh->in.sequence == answer_after) return true;
      seconds = Seconds(start);
      return false;
    });
    if (seconds == 0) {
      state.SkipWithError((outcome.fatal + "\n" + outcome.AllEvents()).c_str());
      break;
    }
    state.SetIterationTime(seconds);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBulkBytes));
}
BENCHMARK(BM_BulkMirvale)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The session's set-up ("true") is timed apart and taken off.
void BM_BulkOpenSsh(benchmark::State& state) {
  Bench& bench = Shared();
  std::string login = bench.OpenSsh("-i " + bench.folder / "client" + " root@127.0.0.1 ");
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    RunCommand(login + "true");
    double setup = Seconds(start);
    start = std::chrono::steady_clock::now();
    RunCommand("head -c " + std::to_string(kBulkBytes) + " /dev/zero | " + login + "'cat > /dev/null'");
    state.SetIterationTime(std::max(0.0, Seconds(start) - setup));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBulkBytes));
}
BENCHMARK(BM_BulkOpenSsh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

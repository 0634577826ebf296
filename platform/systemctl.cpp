#include "platform/systemctl.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/event_log.h"
#include "platform/folders.h"
#include "platform/service_control_codes.h"
#include "platform/unix_socket.h"

extern char** environ;

namespace platform {

namespace {

constexpr size_t kOutputLimit = 4096;

bool SystemdRuns() {
  struct stat info {};
  return stat(SystemdMarkerPath().c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What systemctl wrote, fit for a message box: printable text and line ends, no trailing blanks.
std::string Cleaned(const std::string& raw) {
  std::string text;
  for (unsigned char c : raw) {
    if (c == '\n' || c == '\t' || c >= 0x20) text += static_cast<char>(c == '\t' ? ' ' : c);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

int WaitForChild(pid_t child, bool kill) {
  if (kill) ::kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string SystemdMarkerPath() { return GetEnv("MIRVALE_SYSTEMD_MARKER").value_or("/run/systemd/system"); }

bool ServiceControlUsesSystemd() {
  const bool systemd = SystemdRuns();
  static std::once_flag told;
  std::call_once(told, [systemd] {
    ReportEvent(kMirvaleServiceName, EventType::Information,
                systemd ? "Service control through systemd"
                        : "Service control without systemd: the service runs as a process of its own");
  });
  return systemd;
}

SystemctlOutput RunSystemctl(const std::vector<std::string>& arguments, std::chrono::milliseconds limit) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return {};
  UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
  std::vector<char*> argv{const_cast<char*>("systemctl")};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);
  pid_t child = -1;
  int spawned = posix_spawnp(&child, "systemctl", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {-1, "systemctl could not be run: " + std::string(strerror(spawned))};
  writeEnd.Reset();

  // Read to the end of the output (a grandchild holding the pipe open cannot stall the caller
  // past the limit); beyond the bound the output is drained and dropped.
  std::string raw;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool late = false;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      late = true;
      break;
    }
    pollfd waiting{readEnd.get(), POLLIN, 0};
    int ready = poll(&waiting, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char buffer[1024];
    ssize_t got = read(readEnd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (raw.size() < kOutputLimit) raw.append(buffer, std::min(static_cast<size_t>(got), kOutputLimit - raw.size()));
  }
  int exitCode = WaitForChild(child, late);
  if (late) return {-1, "systemctl did not answer in time"};
  return {exitCode, Cleaned(raw)};
}

ServiceCallResult CallSystemctl(const std::vector<std::string>& arguments, std::initializer_list<int> alsoDone) {
  SystemctlOutput output = RunSystemctl(arguments);
  if (output.exitCode == 0 || std::ranges::find(alsoDone, output.exitCode) != alsoDone.end())
    return ServiceCallResult::Done();
  if (!output.text.empty()) return ServiceCallResult::Failed(output.text);
  std::string call = "systemctl";
  for (const auto& argument : arguments) call += " " + argument;
  return ServiceCallResult::Failed(call + " failed with status " + std::to_string(output.exitCode));
}

}  // namespace platform

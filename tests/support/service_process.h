#pragma once
// Runs the real MirvaleSrv for end-to-end tests, in temporary program, data, run, registry and
// systemd folders of its own: register it, start it, wait for its control socket, send control
// codes, stop it, and read its event-log mirror. Also a listener on the notice socket, in place
// of the desktop program. Link the test with mirvale_platform.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <map>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"
#include "tests/support/scoped_env.h"

extern char** environ;

namespace testing_support {

class ServiceProcess {
 public:
  using Clock = std::chrono::steady_clock;

  ServiceProcess() {
    for (const char* folder : {"program", "common", "run", "registry", "units"})
      platform::CreateFolderLevels(temp_ / folder);
    env_["MIRVALE_PROGRAM_FOLDER"] = ProgramFolder();
    env_["MIRVALE_COMMON_APPDATA"] = temp_ / "common";
    env_["MIRVALE_RUN_DIR"] = RunFolder();
    env_["MIRVALE_REGISTRY_ROOT"] = temp_ / "registry";
    env_["MIRVALE_EVENTLOG"] = EventLogPath();
    env_["MIRVALE_SYSTEMD_DIR"] = temp_ / "units";
    env_["MIRVALE_POLKIT_RULES_DIR"] = temp_ / "polkit";
    // The service runs as a process of its own, also on a machine that systemd runs.
    env_["MIRVALE_SYSTEMD_MARKER"] = temp_ / "no-systemd";
    // Registration must not add a group to the machine: tests share root's.
    env_["MIRVALE_OPERATOR_GROUP"] = "root";
    // Nor an account: run actions and settings-chosen files keep root's rights unless a test
    // names an unprivileged account of its own.
    env_["MIRVALE_RUN_ACCOUNT"] = "root";
    platform::CreateFolderLevels(DataFolder());
  }
  ~ServiceProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  static std::string Binary() { return std::string(MIRVALE_BINARY_DIR) + "/bin/MirvaleSrv"; }

  // Runs this MirvaleSrv (an installed one) in place of the build's.
  void SetProgram(const std::string& path) { program_ = path; }

  // Starts the service as the leader of a session of its own without a terminal, as a daemon.
  void SetNewSession() { newSession_ = true; }

  // Extra or changed environment for the service (before Start or RunCommand).
  void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }
  // The folders' variables, for a client in this process that must find the same files.
  const std::map<std::string, std::string>& Environment() const { return env_; }

  std::string Root() const { return temp_.path(); }
  std::string ProgramFolder() const { return temp_ / "program"; }
  std::string DataFolder() const { return temp_ / "common/Oskavel/Mirvale"; }
  std::string RunFolder() const { return temp_ / "run"; }
  std::string ControlSocket() const { return temp_ / "run/control"; }
  std::string NoticeSocket() const { return DataFolder() + "/OskavelMirvale"; }
  std::string EventLogPath() const { return temp_ / "events.log"; }
  std::string OutputPath() const { return temp_ / "service.out"; }
  std::string ProgramFile(const std::string& name) const { return ProgramFolder() + "/" + name; }
  std::string DataFile(const std::string& name) const { return DataFolder() + "/" + name; }
  pid_t Pid() const { return pid_; }

  // Runs MirvaleSrv with the arguments to its end; its exit code, or -1.
  int RunCommand(const std::vector<std::string>& arguments) {
    pid_t child = Spawn(arguments);
    if (child < 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // "MirvaleSrv -Service": registers it, so that its messages go to the event log.
  bool Register() { return RunCommand({"-Service"}) == 0; }

  // Starts the service (with optional command-line arguments) and waits until its control
  // socket answers that it runs.
  bool Start(const std::vector<std::string>& arguments = {}, std::chrono::milliseconds wait = std::chrono::seconds(20)) {
    pid_ = Spawn(arguments);
    if (pid_ < 0) return false;
    auto deadline = Clock::now() + wait;
    while (Clock::now() < deadline) {
      if (platform::QueryServiceState(ControlSocket()) == platform::ServiceState::Running) return true;
      if (Exited(std::chrono::milliseconds(0))) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  std::optional<uint32_t> Control(uint32_t code, std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return platform::SendServiceControl(code, ControlSocket(), timeout);
  }

  // Stops the service by control code 1, or by SIGTERM; the time it took to exit, or nullopt
  // when it did not exit within the timeout.
  std::optional<std::chrono::milliseconds> Stop(bool bySignal = false,
                                                std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    if (pid_ <= 0) return std::nullopt;
    auto started = Clock::now();
    if (bySignal) kill(pid_, SIGTERM);
    else Control(platform::kControlStop);
    if (!Exited(timeout)) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
  }

  // Waits for the process to end; true when it has (its status is then in ExitStatus).
  bool Exited(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return true;
    auto deadline = Clock::now() + timeout;
    for (;;) {
      int status = 0;
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        exitStatus_ = status;
        pid_ = -1;
        return true;
      }
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  int ExitStatus() const { return exitStatus_; }

  std::vector<std::string> EventLines() const {
    std::vector<std::string> lines;
    std::string text = platform::ReadWholeFile(EventLogPath()).value_or("");
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }

  bool WaitForEventLine(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
    auto deadline = Clock::now() + timeout;
    for (;;) {
      for (const auto& seen : EventLines())
        if (seen == line) return true;
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

 private:
  pid_t Spawn(const std::vector<std::string>& arguments) {
    std::vector<std::string> envText;
    for (char** entry = environ; *entry; ++entry) {
      std::string text = *entry;
      if (env_.count(text.substr(0, text.find('='))) == 0) envText.push_back(text);
    }
    for (const auto& [name, value] : env_) envText.push_back(name + "=" + value);
    std::vector<std::string> argText{program_};
    argText.insert(argText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (auto& text : argText) argv.push_back(text.data());
    argv.push_back(nullptr);
    for (auto& text : envText) envp.push_back(text.data());
    envp.push_back(nullptr);
    std::string output = OutputPath();
    const pid_t parent = getpid();
    pid_t child = fork();
    if (child == 0) {
      // A test that ends without its destructors (a sanitizer halting it) takes its service along.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      if (newSession_) setsid();
      FILE* out = fopen(output.c_str(), "a");
      if (out) {
        dup2(fileno(out), 1);
        dup2(fileno(out), 2);
      }
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    return child;
  }

  TempFolder temp_;
  std::map<std::string, std::string> env_;
  bool newSession_ = false;
  std::string program_ = Binary();
  pid_t pid_ = -1;
  int exitStatus_ = 0;
};

// The desktop program's end of the notice socket: listens, and receives one connection's bytes.
class NoticeListener {
 public:
  explicit NoticeListener(const std::string& path) : path_(path) {
    listener_ = platform::ListenUnixStream(path, 0600, 4);
  }
  ~NoticeListener() {
    if (listener_) unlink(path_.c_str());
  }
  bool Listening() const { return static_cast<bool>(listener_); }

  // Everything one sender wrote before closing; nullopt when nobody connected in time.
  std::optional<std::string> Receive(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    pollfd waiting{listener_.get(), POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(timeout.count())) != 1) return std::nullopt;
    platform::UniqueFd client(accept(listener_.get(), nullptr, nullptr));
    if (!client) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    for (;;) {
      pollfd reading{client.get(), POLLIN, 0};
      if (poll(&reading, 1, static_cast<int>(timeout.count())) != 1) break;
      ssize_t got = recv(client.get(), buffer, sizeof buffer, 0);
      if (got <= 0) break;
      bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
  }

 private:
  std::string path_;
  platform::UniqueFd listener_;
};

}  // namespace testing_support

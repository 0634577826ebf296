#pragma once
// The real desktop program <build>/bin/Mirvale as a child of the test: on an X display of its
// own, with the service's folder variables so it finds the service's files and sockets, its
// output in a file. A program still running when the object goes is killed, so none outlives
// the test (nor, through the parent-death signal, a test that ends without its destructors).
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "tests/support/service_process.h"

extern char** environ;

namespace testing_support {

class DesktopProcess {
 public:
  using Clock = std::chrono::steady_clock;

  // extra: variables of the program's own on top of the service's and the test's.
  DesktopProcess(const ServiceProcess& service, const std::string& display, std::string outputPath,
                 const std::map<std::string, std::string>& extra = {})
      : outputPath_(std::move(outputPath)) {
    std::map<std::string, std::string> env = service.Environment();
    for (const auto& [name, value] : extra) env[name] = value;
    env["DISPLAY"] = display;
    env["QT_QPA_PLATFORM"] = "xcb";  // the test program itself runs offscreen
    pid_ = Spawn(env);
  }
  ~DesktopProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  DesktopProcess(const DesktopProcess&) = delete;
  DesktopProcess& operator=(const DesktopProcess&) = delete;

  static std::string Binary() { return std::string(MIRVALE_BINARY_DIR) + "/bin/Mirvale"; }

  bool Started() const { return pid_ > 0 || ended_; }

  // Waits for the program to end; true when it has (its wait status is then in Status).
  bool Ended(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return ended_;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        pid_ = -1;
        ended_ = true;
        return true;
      }
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // How the program ended: "exit code N" or "signal N (name)"; "running" before it has.
  std::string Outcome() const {
    if (!ended_) return "running";
    if (WIFEXITED(status_)) return "exit code " + std::to_string(WEXITSTATUS(status_));
    const int signal = WTERMSIG(status_);
    return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  }

  std::string Output() const { return platform::ReadWholeFile(outputPath_).value_or(""); }

 private:
  pid_t Spawn(const std::map<std::string, std::string>& env) {
    std::vector<std::string> envText;
    for (char** entry = environ; *entry; ++entry) {
      std::string text = *entry;
      if (env.count(text.substr(0, text.find('='))) == 0) envText.push_back(text);
    }
    for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& text : envText) envp.push_back(text.data());
    envp.push_back(nullptr);
    std::string binary = Binary();
    char* argv[] = {binary.data(), nullptr};
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      const int out = open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
      }
      execve(argv[0], argv, envp.data());
      _exit(127);
    }
    return child;
  }

  const std::string outputPath_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace testing_support

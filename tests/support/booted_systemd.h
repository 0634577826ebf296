#pragma once
// A real systemd as PID 1 of namespaces of its own on this machine, installing nothing: the test
// moves a child into a cgroup of its own, unshares mount, PID, UTS, IPC, network and cgroup
// namespaces and runs tests/support/systemd_boot.sh there (an overlay of / over a tmpfs, the
// input folder mounted at its own path, then systemd). Commands run inside through nsenter, as
// root or as an account, each killed at its time limit. The object kills the namespace's init
// (so every process in it), waits for its cgroup to empty and removes it and the stage folder.
// Needs root.
//   BootedSystemd machine;  // put what the machine needs into machine.InputFolder() first
//   ASSERT_TRUE(machine.Boot()) << machine.Problem();
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "tests/support/command_output.h"
#include "tests/support/shared_stage.h"

namespace testing_support {

// The text in single quotes for /bin/sh.
inline std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class BootedSystemd {
 public:
  struct Result {
    int status = -1;
    std::string output;  // standard output and error, without the trailing line ends
  };

  // Makes the stage and input folders; Boot starts the machine.
  BootedSystemd() {
    folder_ = SharedStage::Get().NewFolder("booted-systemd");
    std::filesystem::create_directories(folder_ + "/stage");
    std::filesystem::create_directories(InputFolder());
    chmod(InputFolder().c_str(), 0755);
  }

  // Boots; true once systemd has finished its start-up within the limit.
  bool Boot(std::chrono::seconds limit = std::chrono::seconds(60)) {
    cgroup_ = OwnCgroupParent() + "/mirvale-booted-" + std::to_string(getpid());
    if (mkdir(cgroup_.c_str(), 0755) != 0) {
      problem_ = "cannot make the cgroup " + cgroup_ + " (a cgroup2 hierarchy is needed): " + std::strerror(errno);
      cgroup_.clear();
      return false;
    }
    unshare_ = fork();
    if (unshare_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      FILE* log = std::fopen((folder_ + "/console.log").c_str(), "w");
      if (log) {
        dup2(fileno(log), 1);
        dup2(fileno(log), 2);
      }
      std::ofstream procs(cgroup_ + "/cgroup.procs");
      procs << "0\n" << std::flush;
      if (!procs) _exit(126);
      const std::string script = std::string(MIRVALE_SOURCE_DIR) + "/tests/support/systemd_boot.sh";
      const std::string stage = folder_ + "/stage";
      execlp("unshare", "unshare", "--mount", "--pid", "--fork", "--uts", "--ipc", "--net", "--cgroup", "--kill-child",
             "/bin/bash", script.c_str(), stage.c_str(), InputFolder().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (init_ <= 0 && std::chrono::steady_clock::now() < deadline) {
      init_ = InitPid();
      if (init_ <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (init_ <= 0) {
      problem_ = "systemd did not become the namespaces' init:\n" + ConsoleLog();
      return false;
    }
    // is-system-running --wait ends once the start-up has (running or degraded).
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string state = Run("systemctl is-system-running --wait", "root", std::chrono::seconds(5)).output;
      if (state == "running" || state == "degraded") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    problem_ = "systemd did not finish its start-up:\n" + ConsoleLog();
    return false;
  }

  ~BootedSystemd() {
    if (unshare_ > 0) {
      if (init_ > 0) kill(init_, SIGKILL);
      kill(unshare_, SIGKILL);
      waitpid(unshare_, nullptr, 0);
    }
    RemoveCgroup();
    std::error_code ignored;
    umount2((folder_ + "/stage").c_str(), MNT_DETACH);  // only when a failed boot left it here
    std::filesystem::remove_all(folder_, ignored);
  }
  BootedSystemd(const BootedSystemd&) = delete;
  BootedSystemd& operator=(const BootedSystemd&) = delete;

  // Why Boot failed.
  const std::string& Problem() const { return problem_; }
  // What systemd wrote on its console.
  std::string ConsoleLog() const { return platform::ReadWholeFile(folder_ + "/console.log").value_or(""); }
  // A folder of this machine that the booted one sees at the same path, mounted there, and
  // that every account may read: copy in what the machine needs of the checkout.
  std::string InputFolder() const { return folder_ + "/input"; }
  // A folder of this machine for files copied out (Run's hostRedirect).
  std::string OutputFolder() const { return folder_; }

  // Runs a /bin/sh command inside as root or as the account (with its groups), standard input
  // on /dev/null; redirection is the inside shell's unless hostRedirect is given, which the
  // host's shell applies (to copy a file out).
  Result Run(const std::string& command, const std::string& account = "root",
             std::chrono::seconds limit = std::chrono::seconds(60), const std::string& hostRedirect = "") const {
    std::string line =
        "timeout -s KILL " + std::to_string(limit.count()) + " nsenter -t " + std::to_string(init_) + " -a -r -w -- ";
    if (account != "root") line += "setpriv --reuid=" + account + " --regid=" + account + " --init-groups -- ";
    line += "/bin/sh -c " + ShellQuoted(command) + " </dev/null";
    line += hostRedirect.empty() ? " 2>&1" : " " + hostRedirect;
    std::string output = CommandOutput("( " + line + " ); echo \"~status $?\"");
    Result result;
    const size_t mark = output.rfind("~status ");
    if (mark == std::string::npos) return result;
    result.status = std::atoi(output.c_str() + mark + 8);
    output.erase(mark);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    result.output = output;
    return result;
  }

 private:
  // The cgroup2 hierarchy's folder of this process's own cgroup.
  static std::string OwnCgroupParent() {
    std::string mount;
    std::ifstream mounts("/proc/self/mountinfo");
    for (std::string line; std::getline(mounts, line);) {
      const size_t dash = line.find(" - cgroup2 ");
      if (dash == std::string::npos) continue;
      // Fields: id parent major:minor root mount-point ...
      size_t start = 0;
      for (int field = 0; field < 4; ++field) start = line.find(' ', start) + 1;
      mount = line.substr(start, line.find(' ', start) - start);
      break;
    }
    std::string own;
    std::ifstream groups("/proc/self/cgroup");
    for (std::string line; std::getline(groups, line);)
      if (line.rfind("0::", 0) == 0) own = line.substr(3);
    return own == "/" ? mount : mount + own;
  }

  // The host's id of the namespace's PID 1: the child of unshare.
  pid_t InitPid() const {
    std::ifstream children("/proc/" + std::to_string(unshare_) + "/task/" + std::to_string(unshare_) + "/children");
    pid_t child = -1;
    children >> child;
    if (child <= 0) return -1;
    // Still the boot script until it has become systemd.
    std::ifstream comm("/proc/" + std::to_string(child) + "/comm");
    std::string name;
    comm >> name;
    return name == "systemd" ? child : -1;
  }

  void RemoveCgroup() const {
    if (cgroup_.empty()) return;
    for (int attempt = 0; attempt < 200; ++attempt) {
      std::vector<std::string> folders;
      std::error_code error;
      for (std::filesystem::recursive_directory_iterator it(cgroup_, error), end; !error && it != end;
           it.increment(error))
        if (it->is_directory(error)) folders.push_back(it->path().string());
      std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
      for (const auto& folder : folders) rmdir(folder.c_str());
      if (rmdir(cgroup_.c_str()) == 0 || errno == ENOENT) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  std::string folder_;
  std::string cgroup_;
  pid_t unshare_ = -1;
  pid_t init_ = -1;
  std::string problem_;
};

}  // namespace testing_support

#include "tests/support/snmp_agent.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/atomic_file.h"

namespace testing_support {
namespace {

bool BringLoopbackUp() {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags |= IFF_UP | IFF_RUNNING;
  up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  close(fd);
  return up;
}

std::string ReadText(const std::string& path) {
  return platform::ReadWholeFile(path).value_or("");
}

}  // namespace

bool EnterPrivateNetwork() {
  static const bool entered = [] {
    if (geteuid() != 0) return false;
    if (unshare(CLONE_NEWNET) != 0) return false;
    return BringLoopbackUp();
  }();
  return entered;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  std::vector<char*> environment;
  auto overridden = [&](const char* entry) {
    for (const auto& assignment : extraEnvironment) {
      size_t nameEnd = assignment.find('=') + 1;
      if (std::strncmp(entry, assignment.c_str(), nameEnd) == 0) return true;
    }
    return false;
  };
  for (char** entry = environ; *entry; ++entry)
    if (!overridden(*entry)) environment.push_back(*entry);
  for (const auto& assignment : extraEnvironment) environment.push_back(const_cast<char*>(assignment.c_str()));
  environment.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execve(args[0], args.data(), environment.data());
    _exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

bool ChildProcess::Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

bool WaitForUdpPort(int port, std::chrono::milliseconds limit) {
  char wanted[8];
  std::snprintf(wanted, sizeof(wanted), ":%04X", port);
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    std::istringstream table(ReadText("/proc/self/net/udp"));
    std::string line;
    std::getline(table, line);  // heading
    while (std::getline(table, line)) {
      std::istringstream fields(line);
      std::string slot, local;
      fields >> slot >> local;
      if (local.size() >= 5 && local.compare(local.size() - 5, 5, wanted) == 0) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

SnmpAgent::SnmpAgent(const std::vector<std::string>& configLines, const std::string& listenSpec) {
  // Per-request connection lines would make the agent write its log for every packet.
  std::string config = "dontLogTCPWrappersConnects yes\n";
  for (const auto& line : configLines) config += line + "\n";
  platform::WriteFileAtomically(folder_ / "snmpd.conf", config, 0600);
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/usr/sbin/snmpd", "-f", "-Lf", folder_ / "snmpd.log", "-C", "-c",
                               folder_ / "snmpd.conf", "-p", folder_ / "snmpd.pid", listenSpec},
      std::vector<std::string>{"SNMP_PERSISTENT_DIR=" + (folder_ / "persist"), "MIBS=", "MIBDIRS=" + folder_.path()});
  ready_ = WaitForUdpPort(161) && process_->Running();
}

std::string SnmpAgent::LogText() const { return ReadText(folder_ / "snmpd.log"); }

TrapReceiver::TrapReceiver(const std::string& listenSpec) {
  platform::WriteFileAtomically(folder_ / "snmptrapd.conf", "disableAuthorization yes\n", 0600);
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/usr/sbin/snmptrapd", "-f", "-On", "-Lf", folder_ / "traps.log", "-C", "-c",
                               folder_ / "snmptrapd.conf", "-p", folder_ / "snmptrapd.pid", "-F",
                               "TRAP %b enterprise %N generic %w specific %q vars %v\n", listenSpec},
      std::vector<std::string>{"SNMP_PERSISTENT_DIR=" + (folder_ / "persist"), "MIBS=", "MIBDIRS=" + folder_.path()});
  ready_ = WaitForUdpPort(162) && process_->Running();
}

std::string TrapReceiver::LogText() const { return ReadText(folder_ / "traps.log"); }

bool TrapReceiver::WaitForLines(const std::string& needle, int count, std::chrono::milliseconds limit) const {
  auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    std::istringstream log(LogText());
    std::string line;
    int found = 0;
    while (std::getline(log, line))
      if (line.find(needle) != std::string::npos) ++found;
    if (found >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

OddSnmpAgent::OddSnmpAgent(const std::string& address, int port) {
  process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
      "/usr/bin/python3", std::string(MIRVALE_SOURCE_DIR) + "/tests/support/snmp_odd_agent.py", address,
      std::to_string(port)});
  ready_ = WaitForUdpPort(port) && process_->Running();
}

}  // namespace testing_support

#pragma once
// The fake network device of the shell tests (tests/support/fake_device.py) as a raw TCP
// service, as an rlogin service, behind busybox's telnet server, all on 127.0.0.1, or as the
// command an SSH server runs for its user (the caller starts that server), with a
// configuration of a few hundred indented lines and a log of every byte it received.
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/scoped_env.h"
#include "tests/support/shared_stage.h"

namespace testing_support {

// A router-like configuration: blocks of indented lines under their context lines.
inline std::vector<std::string> SampleConfiguration(int interfaces = 60) {
  std::vector<std::string> lines = {"!", "version 15.2", "hostname Router", "!"};
  for (int i = 0; i < interfaces; ++i) {
    lines.push_back("interface GigabitEthernet0/" + std::to_string(i));
    lines.push_back(" description uplink " + std::to_string(i));
    lines.push_back(" ip address 10.0." + std::to_string(i) + ".1 255.255.255.0");
    lines.push_back("  standby 1 ip 10.0." + std::to_string(i) + ".254");
    lines.push_back("!");
  }
  lines.push_back("line vty 0 4");
  lines.push_back(" login local");
  lines.push_back("end");
  return lines;
}

inline int UnusedLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

struct FakeDeviceOptions {
  std::string mode = "raw";  // "raw", "rlogin", "telnet", "stream" or "ssh" (logged in already, nothing started)
  std::string user = "admin";
  std::string password = "secret";
  std::string enablePassword = "enablepw";
  int page = 23;
  std::string erase = "backspace";  // or "ansi", "left", "left-only", "left-clear", "erase-line",
                                    // "erase-line-only", "cr"
  std::vector<std::string> config = SampleConfiguration();
  double interval = 0;                // stream: seconds between lines
  std::string address = "127.0.0.1";  // where the server listens
  int port = 0;                       // its port (0: any free one)
  double pause = 0;                   // seconds of silence in the middle of a line of the second page
  std::string pauseAfter{};           // or after this text, when that line begins with it
  bool numberedPrompt = false;        // "Router0>", "Router1#", ...: the count of commands run
  std::string pager = " --More-- ";
  double typingDelay = 0;  // seconds after each prompt before the next command is taken
  // (configuration line index, byte of its text and CR LF): silent pauseLength seconds before each
  std::vector<std::pair<int, int>> pauses = {};
  double pauseLength = 0;
  int piece = 0;  // all output in pieces of this many bytes, piecePause seconds apart
  double piecePause = 0;
  bool sameLinePassword = false;  // no line break after a password: the prompt follows on its line
  std::string prompt = "";        // one prompt for every mode instead of "Router>" and "Router#"
  bool acceptOnce = false;        // raw: one connection, then every other is refused
  bool lenient = false;           // "configure terminal" needs no privileges
  double trickle = 0;             // seconds between numbered lines sent for ever after the configuration
};

class FakeDevice {
 public:
  explicit FakeDevice(FakeDeviceOptions options) : options_(std::move(options)) {
    WriteConfig();
    // clang-format off
    std::vector<std::string> device = {
        "/usr/bin/python3", Script(),
        "--user", options_.user, "--password", options_.password, "--enable-password", options_.enablePassword,
        "--config", ConfigPath(), "--page", std::to_string(options_.page), "--erase", options_.erase,
        "--log", LogPath(), "--session-marker", folder_ / "session", "--pause", std::to_string(options_.pause),
        "--pause-after", options_.pauseAfter,
        "--pager", options_.pager, "--typing-delay", std::to_string(options_.typingDelay),
        "--pauses", folder_ / "pauses.txt", "--pause-length", std::to_string(options_.pauseLength),
        "--piece", std::to_string(options_.piece), "--piece-pause", std::to_string(options_.piecePause),
        "--prompt", options_.prompt, "--trickle", std::to_string(options_.trickle),
        "--overrides", folder_ / "overrides.txt"};
    // clang-format on
    if (options_.numberedPrompt) device.push_back("--numbered-prompt");
    if (options_.sameLinePassword) device.push_back("--same-line-password");
    if (options_.acceptOnce) device.push_back("--accept-once");
    if (options_.lenient) device.push_back("--lenient");
    if (options_.mode == "telnet") {
      port_ = options_.port != 0 ? options_.port : UnusedLoopbackPort();
      WriteCommand(device, "");
      Start({"/bin/busybox", "telnetd", "-F", "-b", options_.address, "-p", std::to_string(port_), "-l", Command()});
      WaitForPort();
    } else if (options_.mode == "ssh") {
      // The SSH server runs the command as its test account, which must write the logs.
      chmod(folder_.path().c_str(), 0777);
      WriteCommand(device, " --no-login");
    } else {
      device.insert(device.end(), {"--mode", options_.mode, "--port-file", folder_ / "port", "--interval",
                                   std::to_string(options_.interval), "--address", options_.address, "--port",
                                   std::to_string(options_.port)});
      Start(device);
      ReadPortFile();
    }
  }
  ~FakeDevice() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  FakeDevice(const FakeDevice&) = delete;
  FakeDevice& operator=(const FakeDevice&) = delete;

  int port() const { return port_; }
  // The device's command line on its terminal (telnet and ssh modes): the program a telnet
  // server runs, or an SSH server's ForceCommand.
  std::string Command() const { return folder_ / "device.sh"; }
  const FakeDeviceOptions& options() const { return options_; }
  std::string ConfigPath() const { return folder_ / "config.txt"; }
  std::string LogPath() const { return folder_ / "received.log"; }
  std::string Received() const { return ReadFile(LogPath()); }
  std::string Handshake() const { return ReadFile(LogPath() + ".handshake"); }
  std::string WindowSizes() const { return ReadFile(LogPath() + ".sizes"); }
  // A line for each logged-in session that began while another was still logged in.
  std::string Overlaps() const { return ReadFile(folder_ / "session.overlaps"); }
  void ReplaceConfig(std::vector<std::string> config) {
    options_.config = std::move(config);
    WriteConfig();
  }
  // Options for the connections from now on, as "option value" pairs of the device's command
  // line without its dashes ("cut_after 100", "no_echo 1"); an empty list gives back those given.
  void Override(const std::vector<std::pair<std::string, std::string>>& options) const {
    std::ofstream out(folder_ / "overrides.txt", std::ios::binary);
    for (const auto& [name, value] : options) out << name << " " << value << "\n";
  }
  void ReplacePauses(std::vector<std::pair<int, int>> pauses) {
    options_.pauses = std::move(pauses);
    WriteConfig();
  }

  // The device's script, where the SSH server's test account may read it too.
  static std::string Script() {
    return SharedStage::Get().Copy(std::string(MIRVALE_SOURCE_DIR) + "/tests/support/fake_device.py");
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  void WriteConfig() {
    std::ofstream out(ConfigPath(), std::ios::binary);
    for (const auto& line : options_.config) out << line << "\n";
    std::ofstream pauses(folder_ / "pauses.txt");
    for (const auto& [line, position] : options_.pauses) pauses << line << " " << position << "\n";
  }

  void WriteCommand(const std::vector<std::string>& device, const std::string& extra) {
    std::ofstream script(Command());
    script << "#!/bin/sh\nexec";
    for (const auto& argument : device) script << " '" << argument << "'";
    script << " --mode stdio" << extra << "\n";
    script.close();
    chmod(Command().c_str(), 0755);
  }

  void Start(const std::vector<std::string>& arguments) {
    pid_ = fork();
    if (pid_ == 0) {
      std::vector<char*> argv;
      for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }

  void ReadPortFile() {
    for (int i = 0; i < 500 && port_ == 0; ++i) {
      std::string text = ReadFile(folder_ / "port");
      if (!text.empty())
        port_ = std::stoi(text);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  void WaitForPort() {
    for (int i = 0; i < 500; ++i) {
      int fd = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<uint16_t>(port_));
      inet_pton(AF_INET, options_.address.c_str(), &address.sin_addr);
      bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      close(fd);
      if (up) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  FakeDeviceOptions options_;
  TempFolder folder_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace testing_support

#pragma once
// Real SSH servers on loopback for the SSH back end's tests (OpenSSH sshd with a test
// configuration, dropbear, a scripted paramiko server), and one client conversation run to its
// end with its event lines and fatal message kept.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/timers.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/net/network.h"
#include "remoteshell/ssh/ssh_backend.h"
#include "remoteshell/ssh/ssh_session.h"
#include "tests/remoteshell/net_test_support.h"
#include "tests/support/scoped_env.h"
#include "tests/support/snmp_agent.h"

namespace ssh_testing {

using testing_support::ChildProcess;
using testing_support::TempFolder;

inline bool WaitForTcpPort(int port, std::chrono::milliseconds limit = std::chrono::seconds(10),
                           const char* host = "127.0.0.1") {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host, &address.sin_addr);
    bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// Appends a "name<TAB>value" entry to a settings list.
inline void AddEntry(char* list, size_t capacity, const std::string& name, const std::string& value) {
  size_t end = 0;
  while (end < capacity && list[end] != '\0') end += std::strlen(list + end) + 1;
  std::string entry = name + "\t" + value;
  ASSERT_LT(end + entry.size() + 2, capacity);
  std::memcpy(list + end, entry.c_str(), entry.size() + 1);
  list[end + entry.size() + 1] = '\0';
}

// A free loopback port below the kernel's ephemeral range, so that no outgoing connection on
// this busy machine takes it between our choice and the listener's bind.
inline int ListenerPort() {
  static std::mt19937 random(std::random_device{}());
  for (;;) {
    int port = 20000 + static_cast<int>(random() % 12000);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (free) return port;
  }
}

inline int RunCommand(const std::string& command) { return std::system(command.c_str()); }

// Host keys made once per test process.
inline const TempFolder& HostKeys() {
  static TempFolder keys;
  static bool made = [] {
    RunCommand("ssh-keygen -q -t rsa -b 2048 -N '' -f " + keys / "rsa" + " >/dev/null");
    RunCommand("ssh-keygen -q -t dsa -N '' -f " + keys / "dsa" + " >/dev/null");
    return true;
  }();
  (void)made;
  return keys;
}

// Shell commands that, run inside a private mount namespace, lay the named files of folder over
// /etc's. An overlay on the whole of /etc rather than a bind mount on each file: useradd or userdel
// in a test running beside renames a new /etc/passwd into place, and the kernel then detaches a
// bind mount on the old file in every other namespace, so the account would vanish mid-test.
inline std::string OverlayEtcCommands(const std::string& folder, const std::vector<std::string>& names) {
  const std::string etc = folder + "/etc-overlay";
  std::string commands =
      "mkdir -p " + etc + " && mount -t tmpfs none " + etc + " && mkdir " + etc + "/upper " + etc + "/work";
  for (const auto& name : names) commands += " && cp -p " + folder + "/" + name + " " + etc + "/upper/" + name;
  return commands + " && mount -t overlay overlay -o lowerdir=/etc,upperdir=" + etc + "/upper,workdir=" + etc +
         "/work /etc";
}

// A login account for sshd that exists only inside sshd's own mount namespace: copies of
// passwd, shadow and group with one more user are laid over /etc's for sshd alone, so the
// machine's accounts are never touched.
class TestAccount {
 public:
  TestAccount(const std::string& user, const std::string& password) : user_(user) {
    chmod(home_.path().c_str(), 0777);
    auto append = [&](const std::string& source, const std::string& line) {
      RunCommand("cp " + source + " " + files_ / source.substr(5));
      std::ofstream(files_ / source.substr(5), std::ios::app) << line << "\n";
    };
    append("/etc/passwd", user + ":x:4242:4242::" + home_.path() + ":/bin/sh");
    append("/etc/group", user + ":x:4242:");
    std::string hash;
    if (FILE* pipe = popen(("openssl passwd -6 '" + password + "'").c_str(), "r")) {
      char line[256] = {};
      if (fgets(line, sizeof line, pipe) != nullptr) hash = line;
      pclose(pipe);
    }
    if (!hash.empty() && hash.back() == '\n') hash.pop_back();
    append("/etc/shadow", user + ":" + hash + ":19000:0:99999:7:::");
    std::ofstream launcher(files_ / "launch.sh");
    launcher << OverlayEtcCommands(files_.path(), {"passwd", "shadow", "group"}) << " || exit 1\n"
             << "exec \"$@\"\n";
  }
  const std::string& user() const { return user_; }
  // A folder the account may read and write.
  const TempFolder& home() const { return home_; }
  // The command line prefix that runs a program with the account in place.
  std::vector<std::string> Launcher() const { return {"/usr/bin/unshare", "-m", "/bin/sh", files_ / "launch.sh"}; }

 private:
  std::string user_;
  TempFolder files_;
  TempFolder home_;
};

// OpenSSH sshd in the foreground on a free loopback port. The test configuration offers every
// algorithm the client knows; extra lines come first, so they win over it (sshd keeps the
// first value of a keyword). With base false only the extra lines and the essentials are used.
class Sshd {
 public:
  explicit Sshd(const std::vector<std::string>& extra, bool base = true, const TestAccount* account = nullptr) {
    // The privilege-separation folder sshd insists on. Never removed here: tests run in parallel
    // and one sshd's folder must not vanish under another; scripts/test.sh removes it after the
    // run when the run made it.
    if (access("/run/sshd", F_OK) != 0) mkdir("/run/sshd", 0755);
    port_ = net_testing::unused_port();
    std::ofstream config(folder_ / "sshd_config");
    for (const auto& line : extra) config << line << "\n";
    config << "ListenAddress 127.0.0.1\nHostKey " << HostKeys() / "rsa"
           << "\nHostKey " << HostKeys() / "dsa"
           << "\nPidFile " << folder_ / "pid"
           << "\nUsePAM no\nStrictModes no\nLogLevel DEBUG\n";
    if (base)
      config << "HostKeyAlgorithms +ssh-rsa,ssh-dss\n"
                "KexAlgorithms diffie-hellman-group-exchange-sha256,diffie-hellman-group-exchange-sha1,"
                "diffie-hellman-group14-sha1,diffie-hellman-group1-sha1\n"
                "Ciphers +aes128-cbc,aes192-cbc,aes256-cbc,3des-cbc\n"
                "MACs +hmac-md5,hmac-sha1-96,hmac-sha1\n";
    config.close();
    std::vector<std::string> argv = account != nullptr ? account->Launcher() : std::vector<std::string>{};
    for (const std::string& arg :
         {std::string("/usr/sbin/sshd"), std::string("-D"), std::string("-E"), folder_ / "sshd.log", std::string("-f"),
          folder_ / "sshd_config", std::string("-p"), std::to_string(port_)})
      argv.push_back(arg);
    process_ = std::make_unique<ChildProcess>(argv);
    ready_ = WaitForTcpPort(port_);
  }
  ~Sshd() { process_.reset(); }
  int port() const { return port_; }
  bool ready() const { return ready_; }
  std::string Log() const {
    std::ifstream in(folder_ / "sshd.log");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // sshd's session process may write its last lines after the client is gone.
  bool WaitForLog(const std::string& text) const {
    for (int i = 0; i < 100; ++i) {
      if (Log().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

 private:
  TempFolder folder_;
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
  bool ready_ = false;
};

// Any program that serves on a port it is given through a placeholder "{port}".
class Server {
 public:
  explicit Server(std::vector<std::string> argv) {
    port_ = net_testing::unused_port();
    for (auto& arg : argv)
      if (size_t at = arg.find("{port}"); at != std::string::npos) arg.replace(at, 6, std::to_string(port_));
    process_ = std::make_unique<ChildProcess>(argv);
    ready_ = WaitForTcpPort(port_);
  }
  int port() const { return port_; }
  bool ready() const { return ready_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
  bool ready_ = false;
};

// ssh-agent in the foreground on a socket of its own, holding the keys given.
class Agent {
 public:
  explicit Agent(const std::vector<std::string>& keys) {
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/ssh-agent", "-D", "-a", socket()});
    struct stat info {};
    for (int i = 0; i < 200 && stat(socket().c_str(), &info) != 0; ++i) usleep(10000);
    for (const auto& key : keys) added_ += RunCommand("SSH_AUTH_SOCK=" + socket() + " ssh-add -q " + key) == 0;
  }
  std::string socket() const { return folder_ / "agent.sock"; }
  int added() const { return added_; }

 private:
  TempFolder folder_;
  std::unique_ptr<ChildProcess> process_;
  int added_ = 0;
};

inline SessionConfig ClientConfig() {
  SessionConfig config{};
  std::strcpy(config.terminal_type, "xterm");
  config.terminal_width = 80;
  config.terminal_height = 24;
  config.ssh_protocol = 2;
  const int ciphers[kCipherCount] = {3, 2, 1, 0, 5, 4};
  std::memcpy(config.cipher_list, ciphers, sizeof ciphers);
  const int kexes[kKexCount] = {3, 2, 1, 0};
  std::memcpy(config.kex_list, kexes, sizeof kexes);
  std::strcpy(config.rekey_data, "1G");
  for (int SessionConfig::*quirk :
       {&SessionConfig::bug_ignore1, &SessionConfig::bug_plain_password1, &SessionConfig::bug_rsa1,
        &SessionConfig::bug_hmac2, &SessionConfig::bug_derive_key2, &SessionConfig::bug_rsa_pad2,
        &SessionConfig::bug_pk_session_id2, &SessionConfig::bug_rekey2, &SessionConfig::bug_dh_gex2})
    config.*quirk = 2;
  return config;
}

// What one conversation left behind.
// For as long as it lives, answers every login question with one reply (in the first prompt)
// and keeps the questions asked and what the server wrote to each stream.
struct LoginAnswers {
  std::string reply;
  std::vector<std::string> asked;  // every prompt text
  std::string output;              // both streams as they came
  std::string errors;              // the error stream alone

  LoginAnswers() {
    current_answers() = this;
    ShellConversation* conversation = conversation_current();
    conversation->hooks.prompt = [](void*, PromptSet* prompts) {
      LoginAnswers* answers = current_answers();
      for (int i = 0; i < prompts->count; ++i) answers->asked.push_back(prompts->items[i]->text);
      if (prompts->count > 0) std::strncpy(prompts->items[0]->reply, answers->reply.c_str(), 99);
      return 1;
    };
    conversation->hooks.output = [](void*, int is_stderr, const char* data, int length) {
      current_answers()->output.append(data, static_cast<size_t>(length));
      if (is_stderr) current_answers()->errors.append(data, static_cast<size_t>(length));
      return 0;
    };
  }
  ~LoginAnswers() {
    conversation_current()->hooks.prompt = nullptr;
    conversation_current()->hooks.output = nullptr;
    current_answers() = nullptr;
  }
  LoginAnswers(const LoginAnswers&) = delete;
  LoginAnswers& operator=(const LoginAnswers&) = delete;

  // Starts afresh for the next conversation, answering this.
  void Reset(std::string answer = "") {
    reply = std::move(answer);
    asked.clear();
    output.clear();
    errors.clear();
  }

 private:
  static LoginAnswers*& current_answers() {
    static LoginAnswers* current = nullptr;
    return current;
  }
};

struct Outcome {
  const char* open_error = nullptr;
  std::vector<std::string> events;
  std::string fatal;
  bool accepted = false;  // the server accepted "ssh-userauth"
  int connected = 0;      // times the back end reported the device session up
  int version = 0;
  int kex_count = 0;
  int exit_status = -1;
  bool Logged(const std::string& line) const {
    for (const auto& event : events)
      if (event == line) return true;
    return false;
  }
  bool LoggedStart(const std::string& start) const {
    for (const auto& event : events)
      if (event.compare(0, start.size(), start) == 0) return true;
    return false;
  }
  std::string AllEvents() const {
    std::string all;
    for (const auto& event : events) all += event + "\n";
    return all;
  }
};

inline Outcome* current = nullptr;
// Called on every session Converse opens, before anything is received (tests stand in for
// parts of the front end there).
inline std::function<void(SshSession*)> prepare_session;

// Runs one conversation until it closes (or the time runs out). after_accept, when given, is
// called on every turn once "ssh-userauth" is accepted until it returns false; the test then
// disconnects. Without login it takes over from user authentication (the session stays open).
inline Outcome Converse(int port, SessionConfig config = ClientConfig(),
                        std::function<bool(SshSession*)> after_accept = {}, const char* host = "127.0.0.1",
                        bool login = false) {
  Outcome outcome;
  current = &outcome;
  backend_set_event_sink([](void*, const char* text) { current->events.push_back(text); });
  set_connection_fatal_handler([](void*, const char* message) { current->fatal = message; });
  conversation_current()->hooks.connected = [](void*) { ++current->connected; };
  net_startup();
  void* handle = nullptr;
  char* canonical = nullptr;
  outcome.open_error = ssh_backend.open(nullptr, &handle, &config, host, port, &canonical, 1, 0);
  std::free(canonical);
  auto* ssh = static_cast<SshSession*>(handle);
  if (prepare_session && ssh != nullptr) prepare_session(ssh);
  static std::function<bool(SshSession*)>* hook = nullptr;
  hook = after_accept ? &after_accept : nullptr;
  if (hook != nullptr && !login) ssh->userauth_start = [](SshSession*) {};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (outcome.open_error == nullptr && ssh->state != kSshClosed && std::chrono::steady_clock::now() < deadline) {
    net_run_once(5);
    timers_run_due(nullptr);  // as the service's session loop does
    if (hook != nullptr && ssh->service_accepted && ssh->state != kSshClosed && !(*hook)(ssh))
      ssh_disconnect(ssh, nullptr, "test finished", 11, true);
  }
  outcome.accepted = ssh->service_accepted;
  outcome.version = ssh->version;
  outcome.exit_status = ssh->exit_status;
  ssh_backend.free(handle);
  net_shutdown();
  backend_set_event_sink(nullptr);
  set_connection_fatal_handler(nullptr);
  conversation_current()->hooks.connected = nullptr;
  current = nullptr;
  for (const auto& event : outcome.events)
    if (event.compare(0, 12, "Initialised ") == 0 && event.find("client->server encryption") != std::string::npos)
      ++outcome.kex_count;
  return outcome;
}

}  // namespace ssh_testing

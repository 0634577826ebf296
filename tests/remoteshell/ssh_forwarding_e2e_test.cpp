// Port and X11 forwarding through OpenSSH sshd on loopback: a remote forwarding to a local echo
// server, a local forwarding and a dynamic (SOCKS) forwarding used by local clients, and X11
// connections to an Xvfb display whose cookie only the client knows.
#include <future>

#include <gtest/gtest.h>

#include "remoteshell/core/prompt_set.h"
#include "tests/remoteshell/ssh_test_support.h"
#include "tests/support/command_output.h"
#include "tests/support/shared_stage.h"

namespace {

using namespace ssh_testing;
using testing_support::CommandOutput;
using testing_support::ScopedEnv;
using testing_support::SharedStage;

std::string* output = nullptr;

class SshForwarding : public testing::Test {
 protected:
  SshForwarding() {
    output = &output_;
    conversation_current()->hooks.prompt = [](void*, PromptSet* prompts) {
      if (prompts->count > 0) std::strncpy(prompts->items[0]->reply, "Secret-1", 99);
      return 1;
    };
    conversation_current()->hooks.output = [](void*, int, const char* data, int length) {
      output->append(data, static_cast<size_t>(length));
      return 0;
    };
  }
  ~SshForwarding() override {
    conversation_current()->hooks.prompt = nullptr;
    conversation_current()->hooks.output = nullptr;
    output = nullptr;
  }
  SessionConfig Config(const std::string& command) const {
    SessionConfig config = ClientConfig();
    std::strcpy(config.user_name, account_.user().c_str());
    std::snprintf(config.remote_command, sizeof config.remote_command, "%s", command.c_str());
    config.no_pty = 1;
    return config;
  }

  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
  TestAccount account_{"mirvalefwd", "Secret-1"};
  std::string output_;
};

TEST_F(SshForwarding, RemoteLocalAndDynamicForwardingsCarryData) {
  Sshd sshd({"PasswordAuthentication yes", "AllowTcpForwarding yes"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  Server echo({"/usr/bin/python3", MIRVALE_ECHO_PEER, "{port}"});
  // Two megabytes through the dynamic forwarding need its channel's window opened many times.
  TempFolder site;
  RunCommand("head -c 2097152 /dev/urandom > " + site / "big");
  Server web({"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", site.path(), "{port}"});
  ASSERT_TRUE(echo.ready() && web.ready());
  int remote_port = ListenerPort(), local_port = ListenerPort(), socks_port = ListenerPort();
  ASSERT_TRUE(remote_port != local_port && local_port != socks_port && socks_port != remote_port);

  // The server's side uses the remote forwarding; our side uses the local and dynamic ones
  // while the command waits for our clients to be done (20 seconds at most).
  SessionConfig config =
      Config("/usr/bin/python3 " + SharedStage::Get().Copy(MIRVALE_ECHO_PEER) + " " + std::to_string(remote_port) +
             " through-remote; for i in $(seq 100); do [ -e clients-done ] && break; sleep 0.2; "
             "done; echo done");
  AddEntry(config.port_forwardings, sizeof config.port_forwardings, "R" + std::to_string(remote_port),
           "127.0.0.1:" + std::to_string(echo.port()));
  AddEntry(config.port_forwardings, sizeof config.port_forwardings, "L" + std::to_string(local_port),
           "127.0.0.1:" + std::to_string(echo.port()));
  AddEntry(config.port_forwardings, sizeof config.port_forwardings, "D" + std::to_string(socks_port), "");
  auto clients = std::async(std::launch::async, [&] {
    if (!WaitForTcpPort(socks_port, std::chrono::seconds(15))) {
      std::ofstream(account_.home() / "clients-done").close();
      return std::string("no listener");
    }
    std::string local = CommandOutput(std::string("/usr/bin/python3 ") + MIRVALE_ECHO_PEER + " " +
                                      std::to_string(local_port) + " through-local");
    std::string socks = CommandOutput("curl -s --max-time 5 --socks5-hostname 127.0.0.1:" + std::to_string(socks_port) +
                                      " http://localhost:" + std::to_string(web.port()) + "/big | cmp - " +
                                      site / "big" + " && echo same");
    // Bytes right behind the SOCKS request wait for the channel and arrive first.
    std::string early =
        CommandOutput(std::string("/usr/bin/python3 ") + MIRVALE_ECHO_PEER + " " + std::to_string(socks_port) +
                      " behind-the-request " + std::to_string(echo.port()));
    std::ofstream(account_.home() / "clients-done").close();
    return local + "\n" + socks + "\n" + early;
  });
  Outcome outcome = Converse(sshd.port(), config);
  std::string from_clients = clients.get();

  EXPECT_NE(output_.find("through-remote\n"), std::string::npos) << output_ << outcome.AllEvents() << sshd.Log();
  EXPECT_NE(output_.find("done"), std::string::npos);
  EXPECT_TRUE(outcome.Logged("Remote port forwarding from " + std::to_string(remote_port) + " enabled"));
  EXPECT_TRUE(outcome.Logged("Local port " + std::to_string(local_port) +
                             " forwarding to 127.0.0.1:" + std::to_string(echo.port())));
  EXPECT_TRUE(outcome.Logged("Local port " + std::to_string(socks_port) + " SOCKS dynamic forwarding"));
  EXPECT_NE(from_clients.find("through-local"), std::string::npos) << from_clients << outcome.AllEvents();
  EXPECT_NE(from_clients.find("\nsame"), std::string::npos) << from_clients;
  EXPECT_NE(from_clients.find("\nbehind-the-request"), std::string::npos) << from_clients;
  EXPECT_TRUE(outcome.Logged("Disconnected: All channels closed"));
  EXPECT_EQ(outcome.fatal, "");
}

TEST_F(SshForwarding, EnvironmentAndTerminalModesReachTheSession) {
  Sshd sshd({"PasswordAuthentication yes", "AcceptEnv MIRVALE_*"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  SessionConfig config = Config("echo greeting=$MIRVALE_GREETING other=$OTHER_VALUE; stty -a");
  config.no_pty = 0;
  AddEntry(config.environment, sizeof config.environment, "MIRVALE_GREETING", "hello");
  AddEntry(config.environment, sizeof config.environment, "OTHER_VALUE", "refused");
  AddEntry(config.terminal_modes, sizeof config.terminal_modes, "INTR", "V^B");
  AddEntry(config.terminal_modes, sizeof config.terminal_modes, "ECHO", "Voff");
  AddEntry(config.terminal_modes, sizeof config.terminal_modes, "QUIT", "A");
  Outcome outcome = Converse(sshd.port(), config);
  EXPECT_TRUE(outcome.Logged("Sent 2 environment variables")) << outcome.AllEvents();
  EXPECT_TRUE(outcome.Logged("1 environment variables refused"));
  EXPECT_NE(output_.find("Server refused to set all environment variables\r\n"), std::string::npos);
  EXPECT_NE(output_.find("greeting=hello other=\r\n"), std::string::npos) << output_;
  EXPECT_NE(output_.find("intr = ^B;"), std::string::npos);
  EXPECT_NE(output_.find(" -echo "), std::string::npos);
  EXPECT_NE(output_.find("quit = ^\\;"), std::string::npos);
}

TEST_F(SshForwarding, ForwardedAgentListsItsKeyOnTheServer) {
  RunCommand("ssh-keygen -q -t ed25519 -N '' -C forwarded -f " + folder_ / "key" + " >/dev/null");
  std::string fingerprint = CommandOutput("ssh-keygen -l -f " + folder_ / "key.pub" + " | cut -d' ' -f2");
  ASSERT_FALSE(fingerprint.empty());
  Agent agent({folder_ / "key"});
  ASSERT_EQ(agent.added(), 1);
  ScopedEnv use_agent("SSH_AUTH_SOCK", agent.socket());
  Sshd sshd({"PasswordAuthentication yes", "AllowAgentForwarding yes"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  SessionConfig config = Config("ssh-add -l; exit 0");
  config.agent_forwarding = 1;
  Outcome outcome = Converse(sshd.port(), config);

  EXPECT_TRUE(outcome.Logged("Requesting OpenSSH-style agent forwarding")) << outcome.AllEvents();
  EXPECT_TRUE(outcome.Logged("Agent forwarding enabled")) << sshd.Log();
  EXPECT_NE(output_.find(fingerprint + " forwarded (ED25519)"), std::string::npos) << output_;
  EXPECT_EQ(outcome.exit_status, 0);
}

// Xvfb on a free display, listening on TCP and on its Unix socket, with a cookie in an
// authority file of its own.
class Xvfb {
 public:
  Xvfb() {
    for (number_ = 40; number_ < 200; ++number_)
      if (access(("/tmp/.X" + std::to_string(number_) + "-lock").c_str(), F_OK) != 0 &&
          !WaitForTcpPort(6000 + number_, std::chrono::milliseconds(1)))
        break;
    RunCommand("xauth -q -f " + authority() + " add :" + std::to_string(number_) +
               " MIT-MAGIC-COOKIE-1 0123456789abcdef0123456789abcdef 2>/dev/null");
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/bin/Xvfb", ":" + std::to_string(number_), "-listen", "tcp", "-auth", authority()});
    ready_ = WaitForTcpPort(6000 + number_);
  }
  ~Xvfb() {
    process_.reset();
    // The socket folder goes too when this display made it and no other display uses it.
    if (!socket_folder_existed_) rmdir("/tmp/.X11-unix");
  }
  std::string authority() const { return folder_ / "xauthority"; }
  int number() const { return number_; }
  bool ready() const { return ready_; }

 private:
  TempFolder folder_;
  bool socket_folder_existed_ = access("/tmp/.X11-unix", F_OK) == 0;
  int number_ = 0;
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

TEST_F(SshForwarding, X11ClientsReachTheDisplayOnlyWithTheInventedCookie) {
  Xvfb display;
  ASSERT_TRUE(display.ready());
  ScopedEnv authority("XAUTHORITY", display.authority());
  Sshd sshd({"PasswordAuthentication yes", "X11Forwarding yes", "X11UseLocalhost yes"}, true, &account_);
  ASSERT_TRUE(sshd.ready());
  SessionConfig config = Config(
      "echo screens=$(xdpyinfo | grep -c 'screen #0'); XAUTHORITY=$HOME/wrong xauth -q add $DISPLAY "
      "MIT-MAGIC-COOKIE-1 00112233445566778899aabbccddeeff; XAUTHORITY=$HOME/wrong xdpyinfo; exit 0");
  config.x11_forward = 1;
  config.x11_auth = 1;
  std::snprintf(config.x11_display, sizeof config.x11_display, "127.0.0.1:%d", display.number());
  Outcome outcome = Converse(sshd.port(), config);

  EXPECT_TRUE(outcome.Logged("X11 forwarding enabled")) << outcome.AllEvents() << sshd.Log();
  EXPECT_TRUE(outcome.Logged("Opening X11 forward connection succeeded"));
  EXPECT_NE(output_.find("screens=1\n"), std::string::npos) << output_;
  EXPECT_NE(output_.find("Mirsh X11 proxy: MIT-MAGIC-COOKIE-1 data did not match"), std::string::npos) << output_;
  EXPECT_EQ(outcome.exit_status, 0);

  // The same display through its local socket.
  output_.clear();
  config = Config("echo screens=$(xdpyinfo | grep -c 'screen #0')");
  config.x11_forward = 1;
  config.x11_auth = 1;
  std::snprintf(config.x11_display, sizeof config.x11_display, "unix:%d", display.number());
  Outcome local = Converse(sshd.port(), config);
  EXPECT_TRUE(local.Logged("Opening X11 forward connection succeeded")) << local.AllEvents();
  EXPECT_NE(output_.find("screens=1\n"), std::string::npos) << output_;
}

}  // namespace

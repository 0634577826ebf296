// Connections through proxies started by the tests on loopback: tinyproxy (HTTP CONNECT, with
// and without Basic authentication), dante (SOCKS 4 and 5), and small Python peers for SOCKS 4A,
// SOCKS 5 CHAP and the telnet-command proxy. The raw back end carries the bytes; the test plays
// the destination.
#include <fstream>

#include <gtest/gtest.h>
#include <poll.h>

#include "remoteshell/core/conversation.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/terminal/raw_backend.h"
#include "tests/remoteshell/ssh_test_support.h"

namespace {

using ssh_testing::Server;
using testing_support::TempFolder;

// A loopback listener of the test standing for the device.
class Destination {
 public:
  ~Destination() {
    if (peer_ >= 0) close(peer_);
  }
  int port() const { return listener_.port(); }
  bool TryAccept() {
    if (peer_ < 0) peer_ = listener_.accept_one(0);
    return peer_ >= 0;
  }
  std::string Read() {
    std::string data;
    char buffer[4096];
    ssize_t got;
    while ((got = recv(peer_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) data.append(buffer, static_cast<size_t>(got));
    return data;
  }
  void Write(const std::string& data) { ::send(peer_, data.data(), data.size(), 0); }

 private:
  net_testing::Peer listener_;
  int peer_ = -1;
};

struct Outcome {
  std::string output;     // what the client received from the destination
  std::string at_device;  // what the destination received from the client
  std::vector<std::string> events;
  std::string fatal;
  int connected = 0;
  bool Logged(const std::string& line) const { return std::find(events.begin(), events.end(), line) != events.end(); }
};
Outcome* current = nullptr;

SessionConfig Config(int method, int proxy_port) {
  SessionConfig config = ssh_testing::ClientConfig();
  config.proxy_method = method;
  config.proxy_localhost = 1;
  config.proxy_dns = 2;
  std::strcpy(config.proxy_host, "127.0.0.1");
  config.proxy_port = proxy_port;
  std::strcpy(config.proxy_telnet_command, "connect %host %port\\n");
  return config;
}

// Opens the raw back end to the destination through the proxy, writes "ping" at once (while
// the proxy is still being negotiated), answers "pong" from the destination, and ends. With
// device_first the destination says "pong" as soon as it is reached: the telnet-command proxy
// ends its negotiation only at the first bytes from the far side.
Outcome Relay(SessionConfig config, const char* host = "127.0.0.1", bool device_first = false) {
  Outcome outcome;
  current = &outcome;
  Destination destination;
  backend_set_event_sink([](void*, const char* text) { current->events.push_back(text); });
  backend_set_output_sink([](void*, int, const char* data, int length) {
    current->output.append(data, static_cast<size_t>(length));
    return 0;
  });
  set_connection_fatal_handler([](void*, const char* message) { current->fatal = message; });
  conversation_current()->hooks.connected = [](void*) { ++current->connected; };
  net_startup();
  void* handle = nullptr;
  char* canonical = nullptr;
  const char* error = raw_backend.open(nullptr, &handle, &config, host, destination.port(), &canonical, 1, 0);
  std::free(canonical);
  if (error != nullptr) outcome.fatal = error;
  raw_backend.send(handle, "ping", 4);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool answered = false;
  while (error == nullptr && outcome.fatal.empty() && std::chrono::steady_clock::now() < deadline &&
         (outcome.output.find("pong") == std::string::npos || outcome.at_device != "ping")) {
    net_run_once(5);
    if (!destination.TryAccept()) continue;
    outcome.at_device += destination.Read();
    if (!answered && (device_first || outcome.at_device == "ping")) {
      destination.Write("pong");
      answered = true;
    }
  }
  raw_backend.free(handle);
  net_shutdown();
  backend_set_event_sink(nullptr);
  backend_set_output_sink(nullptr);
  set_connection_fatal_handler(nullptr);
  conversation_current()->hooks.connected = nullptr;
  current = nullptr;
  return outcome;
}

void ExpectRelayed(const Outcome& outcome, const std::string& what) {
  EXPECT_EQ(outcome.fatal, "") << what;
  EXPECT_EQ(outcome.at_device, "ping") << what;
  EXPECT_EQ(outcome.output, "pong") << what;
  EXPECT_EQ(outcome.connected, 1) << what;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ProxyEndToEnd : public testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name) << text;
    return folder_ / name;
  }
  // A server command whose configuration file names its port as PORT: the file is copied with
  // the port the test chose, then the command runs with the copy as its last argument.
  static std::vector<std::string> WithPort(const std::string& config, const std::string& command) {
    return {"/bin/sh", "-c",
            "sed \"s/PORT/$0/\" " + config + " > " + config + ".real && exec " + command + " " + config + ".real",
            "{port}"};
  }
  TempFolder folder_;
  testing_support::ScopedEnv home_{"HOME", folder_.path()};  // the random pool's seed file
};

TEST_F(ProxyEndToEnd, HttpConnectThroughTinyproxyWithAndWithoutBasicAuth) {
  std::string common = "Listen 127.0.0.1\nAllow 127.0.0.1\nUser nobody\nGroup nogroup\nMaxClients 4\nTimeout 10\n";
  Server open(WithPort(Write("open.conf", "Port PORT\n" + common), "tinyproxy -d -c"));
  ASSERT_TRUE(open.ready());
  Outcome plain = Relay(Config(3, open.port()));
  ExpectRelayed(plain, "tinyproxy");
  EXPECT_TRUE(plain.Logged("Connecting to 127.0.0.1 port " + std::to_string(open.port())));

  Server guarded(WithPort(Write("auth.conf", "Port PORT\n" + common + "BasicAuth alice s3cret\n"), "tinyproxy -d -c"));
  ASSERT_TRUE(guarded.ready());
  SessionConfig config = Config(3, guarded.port());
  std::strcpy(config.proxy_username, "alice");
  std::strcpy(config.proxy_password, "s3cret");
  ExpectRelayed(Relay(config), "tinyproxy with Basic auth");
  std::strcpy(config.proxy_password, "wrong");
  Outcome refused = Relay(config);
  EXPECT_EQ(refused.fatal, "Proxy error: 401 Unauthorized");
  EXPECT_EQ(refused.connected, 0);
}

std::string DanteConfig(const std::string& folder, const std::string& method) {
  return "logoutput: " + folder +
         "/danted.log\ninternal: 127.0.0.1 port = PORT\nexternal: 127.0.0.1\n"
         "clientmethod: none\nsocksmethod: " +
         method +
         "\nuser.privileged: root\nuser.unprivileged: nobody\n"
         "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
         "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 command: connect }\n";
}

TEST_F(ProxyEndToEnd, Socks4And5ThroughDante) {
  Server dante(WithPort(Write("danted.conf", DanteConfig(folder_.path(), "none")),
                        "danted -p " + folder_ / "danted.pid" + " -f"));
  ASSERT_TRUE(dante.ready()) << ReadText(folder_ / "danted.log");
  ExpectRelayed(Relay(Config(1, dante.port())), "SOCKS 4");
  ExpectRelayed(Relay(Config(2, dante.port())), "SOCKS 5");
  // The proxy resolves the name (SOCKS 5 with "ProxyDNS" automatic).
  ExpectRelayed(Relay(Config(2, dante.port()), "localhost"), "SOCKS 5 by name");

  // An SSH conversation through the proxy reaches the server's user authentication.
  testing_support::ScopedEnv registry("MIRVALE_REGISTRY_ROOT", folder_ / "registry");
  ssh_testing::Sshd sshd({});
  ASSERT_TRUE(sshd.ready());
  ssh_testing::Outcome ssh = ssh_testing::Converse(sshd.port(), Config(2, dante.port()));
  EXPECT_TRUE(ssh.accepted) << ssh.AllEvents();
  EXPECT_EQ(ssh.connected, 1);
  EXPECT_TRUE(ssh.Logged("Connecting to 127.0.0.1 port " + std::to_string(dante.port())));
}

// Dante checks user names against the system's accounts: the test's account exists only in a
// mount namespace of the proxy's own, over copies of the account files.
TEST_F(ProxyEndToEnd, Socks5UserNameAuthenticationThroughDante) {
  ssh_testing::RunCommand(
      "cp /etc/passwd " + folder_ / "passwd" + " && cp /etc/shadow " + folder_ / "shadow" +
      " && echo 'proxyuser:x:64123:65534::/nonexistent:/usr/sbin/nologin' >> " + folder_ / "passwd" +
      " && echo \"proxyuser:$(openssl passwd -6 s3cret):19000:0:99999:7:::\" >> " + folder_ / "shadow");
  std::string config_path = Write("danted.conf", DanteConfig(folder_.path(), "username"));
  Server dante({"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                ssh_testing::OverlayEtcCommands(folder_.path(), {"passwd", "shadow"}) + " && sed \"s/PORT/$0/\" " + config_path + " > " + config_path +
                    ".real && exec danted -p " + folder_ / "danted.pid" + " -f " + config_path + ".real",
                "{port}"});
  ASSERT_TRUE(dante.ready()) << ReadText(folder_ / "danted.log");
  SessionConfig config = Config(2, dante.port());
  std::strcpy(config.proxy_username, "proxyuser");
  std::strcpy(config.proxy_password, "s3cret");
  ExpectRelayed(Relay(config), "SOCKS 5 user name");
  std::strcpy(config.proxy_password, "wrong");
  EXPECT_EQ(Relay(config).fatal, "Proxy error: SOCKS proxy refused password authentication");
  config.proxy_username[0] = config.proxy_password[0] = '\0';
  EXPECT_EQ(Relay(config).fatal, "Proxy error: SOCKS proxy did not accept our authentication");
}

class PythonProxy : public Server {
 public:
  PythonProxy(const std::string& mode, const std::string& log, std::vector<std::string> extra = {})
      : Server(Arguments(mode, log, std::move(extra))) {}

 private:
  static std::vector<std::string> Arguments(const std::string& mode, const std::string& log,
                                            std::vector<std::string> extra) {
    std::vector<std::string> argv = {"/usr/bin/python3", MIRVALE_PROXY_PEER, mode, "{port}", log};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
  }
};

TEST_F(ProxyEndToEnd, Socks4aChapAndTelnetCommandThroughScriptedProxies) {
  PythonProxy socks4a("socks4a", folder_ / "socks4a.log");
  ASSERT_TRUE(socks4a.ready());
  SessionConfig config = Config(1, socks4a.port());
  config.proxy_dns = 1;  // yes: even SOCKS 4 leaves the name to the proxy (4A)
  std::strcpy(config.proxy_username, "svc");
  ExpectRelayed(Relay(config, "localhost"), "SOCKS 4A");
  EXPECT_NE(ReadText(folder_ / "socks4a.log").find("socks4 user=svc host=localhost"), std::string::npos);

  PythonProxy chap("chap", folder_ / "chap.log", {"alice", "chap-secret"});
  ASSERT_TRUE(chap.ready());
  config = Config(2, chap.port());
  std::strcpy(config.proxy_username, "alice");
  std::strcpy(config.proxy_password, "chap-secret");
  ExpectRelayed(Relay(config), "SOCKS 5 CHAP");
  std::strcpy(config.proxy_password, "wrong");
  EXPECT_EQ(Relay(config).fatal, "Proxy error: SOCKS proxy refused CHAP authentication");

  PythonProxy telnet("telnet", folder_ / "telnet.log");
  ASSERT_TRUE(telnet.ready());
  ExpectRelayed(Relay(Config(4, telnet.port()), "127.0.0.1", true), "telnet command");
  EXPECT_NE(ReadText(folder_ / "telnet.log").find("telnet connect 127.0.0.1 "), std::string::npos);
}

TEST_F(ProxyEndToEnd, LoopbackGoesDirectUnlessProxyLocalhostIsSet) {
  SessionConfig config = Config(3, net_testing::unused_port());
  config.proxy_localhost = 0;
  ExpectRelayed(Relay(config), "direct");
  config.proxy_localhost = 1;
  EXPECT_NE(Relay(config).fatal, "");  // nobody listens on the proxy port
}

}  // namespace

// The proxy layer's rules: which destinations go direct, the telnet command's expansion, a
// SOCKS 5 answer arriving in pieces, and the HTTP proxy's request and reply parsing against a
// proxy played by the test.
#include "remoteshell/net/proxy.h"

#include <cstring>

#include <gtest/gtest.h>
#include <poll.h>

#include "base/memory.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/net/proxy_socket.h"
#include "remoteshell/terminal/raw_backend.h"
#include "tests/remoteshell/net_test_support.h"
#include "tests/remoteshell/proxy_link.h"

namespace {

SessionConfig ProxyConfig(int method, const char* excludes = "") {
  SessionConfig config{};
  config.proxy_method = method;
  config.proxy_dns = 2;
  std::strcpy(config.proxy_host, "127.0.0.1");
  std::strcpy(config.proxy_exclude_list, excludes);
  return config;
}

TEST(ProxyExclusion, LocalhostAndListedHostsGoDirect) {
  SessionConfig config = ProxyConfig(3, "*.corp.example, 10.1.* lab-");
  EXPECT_FALSE(proxy_applies(config, "localhost", nullptr));
  EXPECT_FALSE(proxy_applies(config, "127.0.0.5", nullptr));
  EXPECT_FALSE(proxy_applies(config, "::1", nullptr));
  EXPECT_FALSE(proxy_applies(config, "router.CORP.example", nullptr));
  EXPECT_FALSE(proxy_applies(config, "lab-switch", nullptr));
  EXPECT_TRUE(proxy_applies(config, "corp.example", nullptr)) << "shorter than the entry";
  EXPECT_TRUE(proxy_applies(config, "router.example", nullptr));
  char* canonical = nullptr;
  NetAddress* address = net_lookup_host("10.1.2.3", &canonical, 0);
  checked_free(canonical);
  EXPECT_FALSE(proxy_applies(config, "device", address)) << "matched by its address";
  net_address_free(address);
  config.proxy_localhost = 1;
  EXPECT_TRUE(proxy_applies(config, "localhost", nullptr));
}

TEST(ProxyExclusion, WhoResolvesTheName) {
  char* canonical = nullptr;
  SessionConfig socks4 = ProxyConfig(1);
  NetAddress* local = proxy_lookup_host("localhost", &canonical, socks4);
  checked_free(canonical);
  EXPECT_NE(net_address_type(local), kNetAddressName) << "not proxied at all";
  net_address_free(local);
  socks4.proxy_localhost = 1;
  NetAddress* resolved = proxy_lookup_host("localhost", &canonical, socks4);
  checked_free(canonical);
  EXPECT_NE(net_address_type(resolved), kNetAddressName) << "SOCKS 4, automatic: resolved here";
  net_address_free(resolved);
  SessionConfig socks5 = socks4;
  socks5.proxy_method = 2;
  NetAddress* named = proxy_lookup_host("localhost", &canonical, socks5);
  EXPECT_STREQ(canonical, "localhost");
  checked_free(canonical);
  EXPECT_EQ(net_address_type(named), kNetAddressName) << "SOCKS 5, automatic: the proxy resolves it";
  net_address_free(named);
}

TEST(ProxyTelnetCommand, KeywordsAndEscapesExpand) {
  ProxySocket proxy;
  proxy.remote = net_unresolved_address("router1");
  proxy.remote_port = 2222;
  proxy.config = ProxyConfig(4);
  std::strcpy(proxy.config.proxy_username, "bob");
  std::strcpy(proxy.config.proxy_password, "pw");
  proxy.config.proxy_port = 8080;
  std::strcpy(proxy.config.proxy_telnet_command,
              "%HOST %port %user:%pass via %proxyhost:%proxyport 100%% %z\\r\\n\\t\\x41\\xZZ\\\\\\%\\q");
  EXPECT_EQ(proxy_expand_telnet_command(&proxy), "router1 2222 bob:pw via 127.0.0.1:8080 100% %z\r\n\tA\\xZZ\\%\\q");
  net_address_free(proxy.remote);
  proxy.remote = nullptr;
}

TEST(Socks5Negotiation, AnswersSplitAnywhereStillProgress) {
  SessionConfig config = ProxyConfig(2);
  std::strcpy(config.proxy_username, "alice");
  std::strcpy(config.proxy_password, "s3cret");
  using namespace std::string_literals;
  const std::string answer =
      "\x05\x02\x01\x00\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x16"
      "banner"s;
  // A byte at a time, and pieces that end inside each reply.
  for (size_t piece : {1, 3}) {
    proxy_testing::Negotiation socks(2, config, "far.example");
    for (size_t at = 0; at < answer.size(); at += piece) ASSERT_TRUE(socks.Receive(answer.substr(at, piece)));
    EXPECT_TRUE(socks.Done());
    EXPECT_EQ(socks.sent(),
              "\x05\x03\x00\x03\x02"
              "\x01\x05"
              "alice\x06s3cret"
              "\x05\x01\x00\x03\x0b"
              "far.example\x00\x16"s);
    EXPECT_EQ(socks.owner().delivered, "banner");
    EXPECT_EQ(socks.owner().error, "");
  }
}

// The raw back end through an HTTP proxy played by the test on a loopback socket.
class HttpProxyPeer : public testing::Test {
 protected:
  void SetUp() override {
    set_connection_fatal_handler([](void*, const char* message) { fatal = message; });
    backend_set_output_sink([](void*, int, const char* data, int length) {
      output.append(data, static_cast<size_t>(length));
      return 0;
    });
    fatal.clear();
    output.clear();
    net_startup();
  }
  void TearDown() override {
    if (handle_ != nullptr) raw_backend.free(handle_);
    if (proxy_side_ >= 0) close(proxy_side_);
    net_shutdown();
    set_connection_fatal_handler(nullptr);
    backend_set_output_sink(nullptr);
  }
  // Opens towards host:port; returns what the proxy received.
  std::string Open(const char* host, SessionConfig config) {
    config.proxy_port = peer_.port();
    config.proxy_localhost = 1;
    char* canonical = nullptr;
    EXPECT_EQ(raw_backend.open(nullptr, &handle_, &config, host, 2323, &canonical, 1, 0), nullptr);
    checked_free(canonical);
    raw_backend.send(handle_, "early", 5);
    Pump();
    proxy_side_ = peer_.accept_one();
    return Read();
  }
  void Pump() {
    for (int i = 0; i < 20; ++i) net_run_once(2);
  }
  std::string Read() {
    Pump();
    std::string data;
    char buffer[4096];
    ssize_t got;
    while ((got = recv(proxy_side_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
      data.append(buffer, static_cast<size_t>(got));
    return data;
  }
  void Answer(const std::string& text) {
    ::send(proxy_side_, text.data(), text.size(), 0);
    Pump();
  }
  static inline std::string fatal, output;
  net_testing::Peer peer_;
  void* handle_ = nullptr;
  int proxy_side_ = -1;
};

TEST_F(HttpProxyPeer, RequestBracketsIpv6AndCarriesBasicAuth) {
  SessionConfig config = ProxyConfig(3);
  std::strcpy(config.proxy_username, "alice");
  std::strcpy(config.proxy_password, "s3cret");
  EXPECT_EQ(Open("::1", config),
            "CONNECT [::1]:2323 HTTP/1.1\r\nHost: [::1]:2323\r\n"
            "Proxy-Authorization: Basic YWxpY2U6czNjcmV0\r\n\r\n");
  // Folded header lines are skipped with the rest; the negotiation ends at the empty line and
  // what the owner wrote meanwhile follows.
  Answer("HTTP/1.1 200 Connection established\r\nVia: a\r\n  folded\r\n\r\nbanner");
  EXPECT_EQ(output, "banner");
  EXPECT_EQ(Read(), "early");
  EXPECT_EQ(fatal, "");
}

TEST_F(HttpProxyPeer, RefusalsAndEndlessRepliesEndTheConnection) {
  Open("127.0.0.1", ProxyConfig(3));
  Answer("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n");
  EXPECT_EQ(fatal, "Proxy error: 407 Proxy Authentication Required");
  EXPECT_EQ(output, "");
}

TEST_F(HttpProxyPeer, AStatusLineWithoutEndIsNotWaitedForForever) {
  Open("127.0.0.1", ProxyConfig(3));
  Answer("HTTP/1.1 200 " + std::string(9000, 'x'));
  EXPECT_EQ(fatal, "Proxy error: HTTP response was absent");
}

}  // namespace

#pragma once
// A proxy negotiation without a network: the connection to the proxy records what the client
// sends, the owner records what it is told, and the proxy's answer is handed to the method's
// step in whatever pieces the caller chooses, as the socket layer would.
#include <string>

#include "remoteshell/net/proxy_socket.h"
#include "tests/remoteshell/recording_socket.h"

namespace proxy_testing {

// What the owner heard.
struct Owner {
  std::string error;      // the closing's text
  std::string delivered;  // bytes past the proxy's answer
  bool connected = false;
};

inline Owner* owner_of(void* context) { return static_cast<Owner*>(context); }

inline const SocketEventSink kOwnerSink = {
    .log = nullptr,
    .closing =
        [](void* context, const char* text, int, int) {
          owner_of(context)->error = text != nullptr ? text : "closed";
          return 0;
        },
    .receive =
        [](void* context, int, const char* data, int length) {
          owner_of(context)->delivered.append(data, static_cast<size_t>(length));
          return 1;
        },
    .sent = nullptr,
    .accepting = nullptr,
    .connected = [](void* context) { owner_of(context)->connected = true; },
};

// One negotiation with method 1 (SOCKS 4), 2 (SOCKS 5), 3 (HTTP) or 4 (telnet command) towards
// destination (an unresolved name) port 22.
class Negotiation {
 public:
  Negotiation(int method, const SessionConfig& config, const char* destination) {
    proxy_.ops = nullptr;
    proxy_.sub = &link_;
    proxy_.owner = SocketOwner{&kOwnerSink, &owner_};
    proxy_.remote = net_unresolved_address(destination);
    proxy_.remote_port = 22;
    proxy_.config = config;
    static int (*const kSteps[])(ProxySocket*, int) = {proxy_socks4_step, proxy_socks5_step, proxy_http_step,
                                                       proxy_telnet_step};
    proxy_.step = kSteps[(method - 1) & 3];
    proxy_.step(&proxy_, kProxyStart);
  }
  ~Negotiation() {
    net_address_free(proxy_.remote);
    proxy_.remote = nullptr;
    proxy_.sub = nullptr;
  }
  Negotiation(const Negotiation&) = delete;
  Negotiation& operator=(const Negotiation&) = delete;

  // Hands bytes from the proxy to the step while negotiating (to the owner afterwards); false
  // once the conversation has ended.
  bool Receive(const std::string& bytes) {
    if (proxy_.state == 0) {
      owner_.delivered += bytes;
      return true;
    }
    proxy_.received += bytes;
    return proxy_.step(&proxy_, kProxyReceived) != 0 && !proxy_.has_error;
  }
  bool Done() const { return proxy_.state == 0; }
  const Owner& owner() const { return owner_; }
  const std::string& sent() const { return link_.written; }

 private:
  socket_testing::Link link_{{&socket_testing::kLinkOps}, {}};
  Owner owner_;
  ProxySocket proxy_;
};

}  // namespace proxy_testing

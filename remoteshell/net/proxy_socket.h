#pragma once
// The record of one connection through a proxy and the steps its method files share. The
// owner sees a socket like any other; until the negotiation ends the proxy socket keeps the
// owner's writes and the proxy's answers to itself.
#include <string>

#include "remoteshell/core/session_config.h"
#include "remoteshell/net/network.h"

enum ProxyChange { kProxyStart = -1, kProxyClosing = 0, kProxySent = 1, kProxyReceived = 2, kProxyAccepting = 3 };

// Error codes handed to the owner's closing with a proxy error text.
inline constexpr int kProxyErrorCode = 8000;
inline constexpr int kProxyUnexpectedErrorCode = 8001;

struct ProxySocket : Socket {
  Socket* sub = nullptr;  // the connection to the proxy
  SocketOwner owner{};
  NetAddress* remote = nullptr;  // the destination, possibly unresolved
  int remote_port = 0;
  std::string error;
  bool has_error = false;
  int state = -1;  // -1 not started, 0 done, positive: the method's step
  std::string pending_output, pending_urgent;
  bool pending_flush = false;
  std::string received;  // the proxy's bytes not yet consumed
  bool owner_froze = false;
  void* private_data = nullptr;
  SessionConfig config{};
  int (*step)(ProxySocket* proxy, int change) = nullptr;
  // CHAP: attributes of the current message, how many were read.
  int chap_attributes = 0;
  int chap_read = 0;
  // Lifetime: closed inside one of its own events, it is released when the event returns.
  int depth = 0;
  bool closed = false;
};

// Writes to the proxy.
void proxy_send(ProxySocket* proxy, const std::string& bytes);
// Ends the negotiation: the owner's queued writes go out, the owner hears "connected", and the
// socket becomes transparent (bytes already received go to the owner). Returns 0 when the owner
// ended the conversation.
int proxy_finish(ProxySocket* proxy);
// Reports a proxy error to the owner's closing; returns what the owner returned.
int proxy_fail(ProxySocket* proxy, const std::string& text, int code = kProxyErrorCode);
// The destination as text: the address, an IPv6 literal in brackets when asked, or the name.
std::string proxy_destination_text(const ProxySocket* proxy, bool bracket_ipv6);

// Method steps: each is called with the change that happened and returns 0 when the
// conversation must end.
int proxy_http_step(ProxySocket* proxy, int change);
int proxy_socks4_step(ProxySocket* proxy, int change);
int proxy_socks5_step(ProxySocket* proxy, int change);
int proxy_telnet_step(ProxySocket* proxy, int change);
// The telnet proxy's command with its % keywords and backslash escapes expanded.
std::string proxy_expand_telnet_command(const ProxySocket* proxy);

// The proxy socket: the socket operations its owner calls, the events of the connection to the
// proxy, the end of a negotiation, and the connection set-up.
#include "remoteshell/net/proxy_socket.h"

#include <cstring>
#include <string>

#include "base/memory.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/net/proxy.h"

namespace {

ProxySocket* of(Socket* socket) { return static_cast<ProxySocket*>(socket); }
ProxySocket* of(void* context) { return static_cast<ProxySocket*>(context); }

// The connection to the proxy failed before the proxy connected through: the failure is the
// proxy's, named as such, not the destination's.
const char* unreachable_proxy(ProxySocket* proxy, const char* error_text) {
  proxy->error = std::string("Proxy error: The connection to the proxy ") + proxy->config.proxy_host + " port " +
                 std::to_string(proxy->config.proxy_port) + " failed: " + error_text;
  proxy->has_error = true;
  return proxy->error.c_str();
}

void release(ProxySocket* proxy) {
  if (proxy->sub != nullptr) socket_close(proxy->sub);
  if (proxy->remote != nullptr) net_address_free(proxy->remote);
  delete proxy;
}

// Keeps the record alive through one of its events; released afterwards when closed inside.
class EventScope {
 public:
  explicit EventScope(ProxySocket* proxy) : proxy_(proxy) { ++proxy_->depth; }
  ~EventScope() {
    if (--proxy_->depth == 0 && proxy_->closed) release(proxy_);
  }
  EventScope(const EventScope&) = delete;
  EventScope& operator=(const EventScope&) = delete;

 private:
  ProxySocket* proxy_;
};

// Hands the bytes the proxy sent past its answer to the owner, at most 512 at a time, until
// the owner freezes the socket; returns 0 when the owner ended the conversation.
int deliver_received(ProxySocket* proxy) {
  while (!proxy->received.empty() && !proxy->owner_froze && !proxy->closed) {
    std::string piece = proxy->received.substr(0, 512);
    proxy->received.erase(0, piece.size());
    if (proxy->owner.sink->receive(proxy->owner.context, 0, piece.data(), static_cast<int>(piece.size())) == 0)
      return 0;
  }
  return 1;
}

// ---- operations the owner calls ----

SocketOwner op_event_sink(Socket* socket, const SocketOwner* owner) {
  SocketOwner previous = of(socket)->owner;
  if (owner != nullptr) of(socket)->owner = *owner;
  return previous;
}

void op_close(Socket* socket) {
  ProxySocket* proxy = of(socket);
  if (proxy->depth == 0) return release(proxy);
  proxy->closed = true;
  if (proxy->sub != nullptr) socket_close(proxy->sub);
  proxy->sub = nullptr;
}

int op_write(Socket* socket, const char* data, int length) {
  ProxySocket* proxy = of(socket);
  if (proxy->state != 0 || proxy->sub == nullptr) {
    proxy->pending_output.append(data, static_cast<size_t>(length));
    return static_cast<int>(proxy->pending_output.size());
  }
  return socket_write(proxy->sub, data, length);
}

int op_write_urgent(Socket* socket, const char* data, int length) {
  ProxySocket* proxy = of(socket);
  if (proxy->state != 0 || proxy->sub == nullptr) {
    proxy->pending_output.clear();
    proxy->pending_urgent.assign(data, static_cast<size_t>(length));
    return length;
  }
  return socket_write_urgent(proxy->sub, data, length);
}

void op_flush(Socket* socket) {
  ProxySocket* proxy = of(socket);
  if (proxy->state != 0 || proxy->sub == nullptr)
    proxy->pending_flush = true;
  else
    socket_flush(proxy->sub);
}

void op_set_private(Socket* socket, void* data) { of(socket)->private_data = data; }
void* op_get_private(Socket* socket) { return of(socket)->private_data; }

void op_set_frozen(Socket* socket, int frozen) {
  ProxySocket* proxy = of(socket);
  proxy->owner_froze = frozen != 0;
  if (proxy->state != 0 || proxy->sub == nullptr) return;
  if (!frozen) {
    EventScope scope(proxy);
    deliver_received(proxy);
    if (proxy->closed) return;
  }
  socket_set_frozen(proxy->sub, proxy->owner_froze ? 1 : 0);
}

const char* op_last_error(Socket* socket) {
  ProxySocket* proxy = of(socket);
  if (proxy->has_error) return proxy->error.c_str();
  const char* error = proxy->sub != nullptr ? socket_last_error(proxy->sub) : nullptr;
  return error != nullptr && proxy->state != 0 ? unreachable_proxy(proxy, error) : error;
}

const NetSocketOps kProxyOps = {op_event_sink,  op_close,       op_write,      op_write_urgent, op_flush,
                                op_set_private, op_get_private, op_set_frozen, op_last_error};

// ---- events of the connection to the proxy ----

void sink_log(void* context, int type, NetAddress* address, int port, const char* error_text, int error_code) {
  ProxySocket* proxy = of(context);
  if (proxy->owner.sink->log != nullptr)
    proxy->owner.sink->log(proxy->owner.context, type, address, port, error_text, error_code);
}

int sink_closing(void* context, const char* error_text, int error_code, int calling_back) {
  ProxySocket* proxy = of(context);
  EventScope scope(proxy);
  // While the proxy negotiates, a socket error is the proxy's (refused, unreachable, reset).
  if (error_text != nullptr && proxy->state != 0 && !proxy->has_error)
    error_text = unreachable_proxy(proxy, error_text);
  return proxy->owner.sink->closing(proxy->owner.context, error_text, error_code, calling_back);
}

int sink_receive(void* context, int urgent, const char* data, int length) {
  ProxySocket* proxy = of(context);
  EventScope scope(proxy);
  if (proxy->state == 0) return proxy->owner.sink->receive(proxy->owner.context, urgent, data, length);
  proxy->received.append(data, static_cast<size_t>(length));
  return proxy->step(proxy, kProxyReceived);
}

void sink_sent(void* context, int buffered) {
  ProxySocket* proxy = of(context);
  EventScope scope(proxy);
  if (proxy->state == 0 && proxy->owner.sink->sent != nullptr) proxy->owner.sink->sent(proxy->owner.context, buffered);
}

int sink_accepting(void* context, int handle) {
  ProxySocket* proxy = of(context);
  return proxy->owner.sink->accepting != nullptr ? proxy->owner.sink->accepting(proxy->owner.context, handle) : 1;
}

// The proxy is reached; the owner hears "connected" only when the destination is.
const SocketEventSink kProxySink = {
    .log = sink_log,
    .closing = sink_closing,
    .receive = sink_receive,
    .sent = sink_sent,
    .accepting = sink_accepting,
    .connected = nullptr,
};

}  // namespace

void proxy_send(ProxySocket* proxy, const std::string& bytes) {
  if (proxy->sub != nullptr) socket_write(proxy->sub, bytes.data(), static_cast<int>(bytes.size()));
}

int proxy_fail(ProxySocket* proxy, const std::string& text, int code) {
  proxy->error = text;
  proxy->has_error = true;
  // Before connect returns, the error is the socket's last error; later it ends the owner.
  if (proxy->state == -1) return 1;
  return proxy->owner.sink->closing(proxy->owner.context, proxy->error.c_str(), code, 0);
}

int proxy_finish(ProxySocket* proxy) {
  proxy->state = 0;
  socket_set_frozen(proxy->sub, 1);
  if (!proxy->pending_urgent.empty())
    socket_write_urgent(proxy->sub, proxy->pending_urgent.data(), static_cast<int>(proxy->pending_urgent.size()));
  if (!proxy->pending_output.empty())
    socket_write(proxy->sub, proxy->pending_output.data(), static_cast<int>(proxy->pending_output.size()));
  proxy->pending_urgent.clear();
  proxy->pending_output.clear();
  if (proxy->pending_flush) socket_flush(proxy->sub);
  backend_progress(nullptr, ConnectionProgress::kProxied);
  if (proxy->owner.sink->connected != nullptr) proxy->owner.sink->connected(proxy->owner.context);
  if (proxy->owner_froze || proxy->closed) return proxy->closed ? 0 : 1;
  int result = deliver_received(proxy);
  if (!proxy->closed) socket_set_frozen(proxy->sub, proxy->owner_froze ? 1 : 0);
  return proxy->closed ? 0 : result;
}

std::string proxy_destination_text(const ProxySocket* proxy, bool bracket_ipv6) {
  char text[512];
  net_address_text(proxy->remote, text, sizeof text);
  // An IPv6 literal, resolved or left for the proxy as a name, is the only text with a ':'.
  if (bracket_ipv6 && std::strchr(text, ':') != nullptr) return std::string("[") + text + "]";
  return text;
}

Socket* net_connect_via_proxy(NetAddress* address, const char* host, int port, int privileged_port, int oob_inline,
                              int no_delay, int keep_alive, const SocketOwner* owner, const SessionConfig& config) {
  if (config.proxy_method == 0 || !proxy_applies(config, host, address))
    return net_new_connection(address, port, privileged_port, oob_inline, no_delay, keep_alive, owner);
  backend_progress(nullptr, ConnectionProgress::kViaProxy);
  auto* proxy = new ProxySocket();
  proxy->ops = &kProxyOps;
  proxy->owner = *owner;
  proxy->remote = address;
  proxy->remote_port = port;
  proxy->config = config;
  switch (config.proxy_method) {
    case 1: proxy->step = proxy_socks4_step; break;
    case 2: proxy->step = proxy_socks5_step; break;
    case 3: proxy->step = proxy_http_step; break;
    case 4: proxy->step = proxy_telnet_step; break;
    default: proxy_fail(proxy, "Proxy error: Unknown proxy method"); return proxy;
  }
  char* canonical = nullptr;
  NetAddress* proxy_address = net_lookup_host(config.proxy_host, &canonical, config.address_family);
  checked_free(canonical);
  if (proxy_address->error != nullptr) {
    net_address_free(proxy_address);
    proxy_fail(proxy, "Proxy error: Unable to resolve proxy host name");
    return proxy;
  }
  SocketOwner self{&kProxySink, proxy};
  proxy->sub =
      net_new_connection(proxy_address, config.proxy_port, privileged_port, oob_inline, no_delay, keep_alive, &self);
  if (socket_last_error(proxy->sub) != nullptr) return proxy;
  socket_set_frozen(proxy->sub, 0);
  proxy->step(proxy, kProxyStart);
  if (proxy->state == -1 && !proxy->has_error) proxy->state = 1;
  return proxy;
}

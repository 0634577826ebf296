// Listeners, accepted connections and outgoing connections of port forwarding, and the SOCKS
// dialogue of dynamic forwarding.
#include "remoteshell/net/port_forward.h"

#include <set>
#include <string>

#include "base/memory.h"
#include "remoteshell/net/proxy.h"
#include "remoteshell/net/socks_request.h"

struct ForwardingEnd {
  ForwardBackend backend{};
  void* channel = nullptr;
  Socket* socket = nullptr;
  bool throttled = false;
  bool finishing = false;  // nothing more is read; closes once its output is sent
  bool ready = false;
  bool dynamic = false;
  SocksRequest socks;
  std::string host;  // a static listener's target
  int port = 0;
  std::string pending;  // bytes behind the SOCKS request, until the channel is confirmed
};

namespace {

// Connections that wait for their last bytes to go out; like the sockets, per session thread.
thread_local std::set<ForwardingEnd*> finishing_ends;

ForwardingEnd* of(void* context) { return static_cast<ForwardingEnd*>(context); }

void update_frozen(ForwardingEnd* end) {
  socket_set_frozen(end->socket, end->throttled || end->finishing || !end->ready ? 1 : 0);
}

void sink_log(void*, int, NetAddress*, int, const char*, int) {}

int sink_closing(void* context, const char*, int, int) {
  ForwardingEnd* end = of(context);
  if (end->channel != nullptr) end->backend.ops->close(end->channel);
  forward_close(end);
  return 1;
}

void send_to_channel(ForwardingEnd* end, const char* data, int length) {
  if (end->backend.ops->send(end->channel, data, length) > 0) {
    end->throttled = true;
    update_frozen(end);
  }
}

// Dynamic forwarding: the SOCKS request first, then a channel to its target.
int take_socks(ForwardingEnd* end, const char* data, int length) {
  while (length > 0 && end->socks.state != kSocksNone) {
    SocksResult result = socks_take(end->socks, data, length);
    data += result.used;
    length -= result.used;
    if (!result.reply.empty()) socket_write(end->socket, result.reply.data(), static_cast<int>(result.reply.size()));
    if (result.action == kSocksReplyThenClose) {
      forward_close(end);
      return 1;
    }
    if (result.action != kSocksConnect) continue;
    end->channel = end->backend.ops->open(end->backend.backend, end, result.host.c_str(), result.port, "forwarding");
    if (end->channel == nullptr) {
      forward_close(end);
      return 1;
    }
    update_frozen(end);  // until forward_confirm
  }
  if (length > 0) end->pending.append(data, static_cast<size_t>(length));
  return 1;
}

int sink_receive(void* context, int, const char* data, int length) {
  ForwardingEnd* end = of(context);
  if (end->socks.state != kSocksNone) return take_socks(end, data, length);
  if (end->ready)
    send_to_channel(end, data, length);
  else
    end->pending.append(data, static_cast<size_t>(length));
  return 1;
}

void sink_sent(void* context, int buffered) {
  ForwardingEnd* end = of(context);
  if (end->channel != nullptr) end->backend.ops->unthrottle(end->channel, buffered);
  if (buffered == 0 && finishing_ends.count(end) != 0) forward_close(end);
}

int sink_accepting(void* context, int handle);

const SocketEventSink kConnectionSink = {.log = sink_log,
                                         .closing = sink_closing,
                                         .receive = sink_receive,
                                         .sent = sink_sent,
                                         .accepting = nullptr,
                                         .connected = nullptr};
const SocketEventSink kListenerSink = {.log = sink_log,
                                       .closing = sink_closing,
                                       .receive = sink_receive,
                                       .sent = sink_sent,
                                       .accepting = sink_accepting,
                                       .connected = nullptr};

int sink_accepting(void* context, int handle) {
  ForwardingEnd* listener = of(context);
  auto* end = new ForwardingEnd();
  end->backend = listener->backend;
  SocketOwner owner{&kConnectionSink, end};
  end->socket = net_wrap_accepted(handle, &owner);
  if (socket_last_error(end->socket) != nullptr) {
    forward_close(end);
    return 1;
  }
  if (listener->dynamic) {
    end->socks.state = kSocksVersion;
    socket_set_frozen(end->socket, 0);
    return 0;
  }
  end->socks.state = kSocksNone;
  socket_set_frozen(end->socket, 1);
  end->channel =
      end->backend.ops->open(end->backend.backend, end, listener->host.c_str(), listener->port, "forwarding");
  if (end->channel == nullptr) {
    forward_close(end);
    return 0;  // the handle is ours now and already closed
  }
  return 0;
}

}  // namespace

const char* forward_add_listener(const char* host, int port, const char* source_address, int source_port,
                                 const ForwardBackend& backend, const SessionConfig& config, int family,
                                 ForwardingEnd** out) {
  auto* listener = new ForwardingEnd();
  listener->backend = backend;
  listener->dynamic = host == nullptr;
  listener->socks.state = kSocksNone;
  if (host != nullptr) listener->host = host;
  listener->port = port;
  SocketOwner owner{&kListenerSink, listener};
  listener->socket =
      net_new_listener(source_address, source_port, &owner, config.local_ports_accept_all ? 0 : 1, family);
  if (const char* error = socket_last_error(listener->socket)) {
    forward_terminate(listener);
    *out = nullptr;
    return error;
  }
  *out = listener;
  return nullptr;
}

const char* forward_connect(ForwardingEnd** out, const char* host, int port, void* channel,
                            const ForwardBackend& backend, const SessionConfig& config, int family) {
  *out = nullptr;
  char* canonical = nullptr;
  SessionConfig lookup_config = config;
  lookup_config.address_family = family;
  NetAddress* address = proxy_lookup_host(host, &canonical, lookup_config);
  checked_free(canonical);
  if (const char* error = address->error) {
    net_address_free(address);
    return error;
  }
  auto* end = new ForwardingEnd();
  end->backend = backend;
  end->channel = channel;
  end->ready = true;
  end->socks.state = kSocksNone;
  SocketOwner owner{&kConnectionSink, end};
  end->socket = net_connect_via_proxy(address, host, port, 0, 1, 0, 1, &owner, config);
  if (const char* error = socket_last_error(end->socket)) {
    forward_close(end);
    return error;
  }
  *out = end;
  return nullptr;
}

void forward_close(ForwardingEnd* end) {
  if (end == nullptr) return;
  finishing_ends.erase(end);
  if (end->socket != nullptr) socket_close(end->socket);
  delete end;
}

void forward_terminate(ForwardingEnd* listener) { forward_close(listener); }

void forward_finish(ForwardingEnd* end) {
  end->channel = nullptr;
  if (socket_write(end->socket, "", 0) == 0) return forward_close(end);
  end->finishing = true;
  update_frozen(end);
  finishing_ends.insert(end);
}

void forward_close_finishing() {
  while (!finishing_ends.empty()) forward_close(*finishing_ends.begin());
}

void forward_unthrottle(ForwardingEnd* end) {
  end->throttled = false;
  update_frozen(end);
}

int forward_send(ForwardingEnd* end, const char* data, int length) { return socket_write(end->socket, data, length); }

void forward_confirm(ForwardingEnd* end) {
  end->ready = true;
  update_frozen(end);
  socket_write(end->socket, "", 0);
  if (end->pending.empty()) return;
  std::string held;
  held.swap(end->pending);
  send_to_channel(end, held.data(), static_cast<int>(held.size()));
}

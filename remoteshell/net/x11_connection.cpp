// One forwarded X11 connection: the client's connection set-up is collected, checked against
// the invented authorisation, and either refused with an X11 failure reply or passed on with
// the real authorisation in its place.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/memory.h"
#include "remoteshell/net/proxy.h"
#include "remoteshell/net/x11_forward.h"

struct X11Connection {
  X11Auth* auth = nullptr;
  unsigned char header[12] = {};
  int header_count = 0;
  std::string auth_name, auth_data;  // as collected, padded
  int name_length = 0, data_length = 0;
  bool verified = false;
  bool throttled = false;
  uint32_t peer_address = 0;
  int peer_port = -1;
  void* channel = nullptr;
  ForwardBackend backend{};
  Socket* socket = nullptr;
};

namespace {

X11Connection* of(void* context) { return static_cast<X11Connection*>(context); }

int padded(int length) { return (length + 3) & ~3; }

bool big_endian(const X11Connection* x) { return x->header[0] == 'B'; }

int get16(const X11Connection* x, int at) {
  const unsigned char* p = x->header + at;
  return big_endian(x) ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0];
}

void put16(const X11Connection* x, unsigned char* p, int value) {
  p[big_endian(x) ? 0 : 1] = static_cast<unsigned char>(value >> 8);
  p[big_endian(x) ? 1 : 0] = static_cast<unsigned char>(value);
}

void update_frozen(X11Connection* x) { socket_set_frozen(x->socket, x->throttled ? 1 : 0); }

void sink_log(void*, int, NetAddress*, int, const char*, int) {}

int sink_closing(void* context, const char*, int, int) {
  X11Connection* x = of(context);
  if (x->channel != nullptr) x->backend.ops->close(x->channel);
  x11_close(x);
  return 1;
}

int sink_receive(void* context, int, const char* data, int length) {
  X11Connection* x = of(context);
  if (x->backend.ops->send(x->channel, data, length) > 0) {
    x->throttled = true;
    update_frozen(x);
  }
  return 1;
}

void sink_sent(void* context, int buffered) {
  X11Connection* x = of(context);
  x->backend.ops->unthrottle(x->channel, buffered);
}

const SocketEventSink kX11Sink = {.log = sink_log,
                                  .closing = sink_closing,
                                  .receive = sink_receive,
                                  .sent = sink_sent,
                                  .accepting = nullptr,
                                  .connected = nullptr};

// The X11 failure reply, in the client's byte order.
void refuse(X11Connection* x, const char* why) {
  char reason[256];
  std::snprintf(reason, sizeof reason, "Mirsh X11 proxy: %s", why);
  int length = static_cast<int>(std::strlen(reason));
  std::string reply(static_cast<size_t>(8 + padded(length)), '\0');
  auto* r = reinterpret_cast<unsigned char*>(reply.data());
  r[1] = static_cast<unsigned char>(length);
  std::memcpy(r + 2, x->header + 2, 4);
  put16(x, r + 6, padded(length) / 4);
  std::memcpy(r + 8, reason, static_cast<size_t>(length));
  x->backend.ops->send(x->channel, reply.data(), static_cast<int>(reply.size()));
  void* channel = x->channel;
  x->channel = nullptr;
  x->backend.ops->close(channel);
}

// The set-up with the real authorisation in place of the invented one.
void pass_on(X11Connection* x) {
  const X11Auth* auth = x->auth;
  std::string name = auth->real_type == kX11AuthMitCookie ? "MIT-MAGIC-COOKIE-1" : "";
  std::string data = auth->real_type == kX11AuthMitCookie
                         ? std::string(reinterpret_cast<const char*>(auth->real_data), auth->real_length)
                         : std::string();
  unsigned char header[12];
  std::memcpy(header, x->header, sizeof header);
  put16(x, header + 6, static_cast<int>(name.size()));
  put16(x, header + 8, static_cast<int>(data.size()));
  std::string out(reinterpret_cast<const char*>(header), sizeof header);
  out += name + std::string(static_cast<size_t>(padded(static_cast<int>(name.size())) - name.size()), '\0');
  out += data + std::string(static_cast<size_t>(padded(static_cast<int>(data.size())) - data.size()), '\0');
  socket_write(x->socket, out.data(), static_cast<int>(out.size()));
  explicit_bzero(out.data(), out.size());
  explicit_bzero(data.data(), data.size());
}

}  // namespace

const char* x11_connect(X11Connection** out, const char* display, void* channel, const ForwardBackend& backend,
                        X11Auth* auth, const char* peer_address, int peer_port, const SessionConfig& config) {
  *out = nullptr;
  std::string host;
  int number = 0;
  if (!x11_parse_display(x11_display_name(display), &host, &number)) return "Invalid X11 display number";
  NetAddress* address = nullptr;
  int port = 0;
  if (host == "unix") {
    // The local display's socket, where the X server of this machine listens.
    address = net_unix_address(("/tmp/.X11-unix/X" + std::to_string(number)).c_str());
  } else {
    char* canonical = nullptr;
    address = proxy_lookup_host(host.c_str(), &canonical, config);
    checked_free(canonical);
    port = 6000 + number;
  }
  if (const char* error = address->error) {
    net_address_free(address);
    return error;
  }
  auto* x = new X11Connection();
  x->auth = auth;
  x->channel = channel;
  x->backend = backend;
  int a = 0, b = 0, c = 0, d = 0;
  if (peer_address != nullptr && std::sscanf(peer_address, "%d.%d.%d.%d", &a, &b, &c, &d) == 4) {
    x->peer_address = (uint32_t(a & 255) << 24) | (uint32_t(b & 255) << 16) | (uint32_t(c & 255) << 8) | (d & 255);
    x->peer_port = peer_port;
  }
  SocketOwner owner{&kX11Sink, x};
  x->socket = host == "unix" ? net_new_connection(address, port, 0, 1, 0, 1, &owner)
                              : net_connect_via_proxy(address, host.c_str(), port, 0, 1, 0, 1, &owner, config);
  if (const char* error = socket_last_error(x->socket)) {
    x11_close(x);
    return error;
  }
  *out = x;
  return nullptr;
}

int x11_send(X11Connection* x, const char* data, int length) {
  if (x->verified) return socket_write(x->socket, data, length);
  auto* bytes = reinterpret_cast<const unsigned char*>(data);
  int used = 0;
  while (used < length && x->header_count < 12) x->header[x->header_count++] = bytes[used++];
  if (x->header_count < 12) return 0;
  x->name_length = get16(x, 6);
  x->data_length = get16(x, 8);
  auto collect = [&](std::string& into, int wanted) {
    int take = std::min(wanted - static_cast<int>(into.size()), length - used);
    into.append(data + used, static_cast<size_t>(take));
    used += take;
    return static_cast<int>(into.size()) == wanted;
  };
  if (!collect(x->auth_name, padded(x->name_length)) || !collect(x->auth_data, padded(x->data_length))) return 0;
  const char* failure =
      x11_verify(x->peer_address, x->peer_port, x->auth, x->auth_name.substr(0, static_cast<size_t>(x->name_length)),
                 reinterpret_cast<const unsigned char*>(x->auth_data.data()), x->data_length, std::time(nullptr));
  if (failure != nullptr) {
    refuse(x, failure);
    x11_close(x);
    return 0;
  }
  pass_on(x);
  x->verified = true;
  explicit_bzero(x->auth_data.data(), x->auth_data.size());
  if (used < length) return socket_write(x->socket, data + used, length - used);
  return 0;
}

void x11_close(X11Connection* x) {
  if (x == nullptr) return;
  if (x->socket != nullptr) socket_close(x->socket);
  explicit_bzero(x->auth_data.data(), x->auth_data.size());
  delete x;
}

void x11_unthrottle(X11Connection* x) {
  x->throttled = false;
  update_frozen(x);
}

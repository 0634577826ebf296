#include "remoteshell/terminal/rlogin_backend.h"

#include <cstring>
#include <string>

#include "base/memory.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/net/backend_connect.h"
#include "remoteshell/terminal/session_sink.h"

namespace {

constexpr int kRloginPort = 513;
constexpr unsigned char kWindowSizeRequest = 0x80;

struct RloginSession {
  Socket* socket;
  int backlog;
  int first_byte;
  int may_send_size;
  int width;
  int height;
  void* frontend;
};

RloginSession* of(void* handle) { return static_cast<RloginSession*>(handle); }

void send_window_size(RloginSession* rlogin) {
  if (rlogin->socket == nullptr || !rlogin->may_send_size) return;
  const char message[12] = {'\xFF',
                            '\xFF',
                            's',
                            's',
                            static_cast<char>((rlogin->height >> 8) & 0xFF),
                            static_cast<char>(rlogin->height & 0xFF),
                            static_cast<char>((rlogin->width >> 8) & 0xFF),
                            static_cast<char>(rlogin->width & 0xFF),
                            0,
                            0,
                            0,
                            0};
  rlogin->backlog = socket_write(rlogin->socket, message, sizeof message);
}

int sink_receive(void* context, int urgent, const char* data, int length) {
  RloginSession* rlogin = of(context);
  if (urgent == 2) {
    if (length > 0 && static_cast<unsigned char>(data[0]) == kWindowSizeRequest) {
      rlogin->may_send_size = 1;
      send_window_size(rlogin);
    }
    return 1;
  }
  // The server acknowledges the handshake with one zero byte ahead of its first data.
  if (rlogin->first_byte && length > 0) {
    rlogin->first_byte = 0;
    if (data[0] == '\0') {
      ++data;
      --length;
    }
  }
  if (length > 0) backend_apply_freeze_rule(rlogin->socket, backend_output(rlogin->frontend, 0, data, length));
  return 1;
}

constexpr SocketEventSink kRloginSink = SessionSink<RloginSession>::With(sink_receive);

// "38400,38400" is sent as "38400".
std::string leading_digits(const char* text) {
  std::string digits;
  while (*text >= '0' && *text <= '9') digits += *text++;
  return digits;
}

void send_handshake(RloginSession* rlogin, const SessionConfig* config) {
  std::string handshake(1, '\0');
  handshake += config->local_user_name;
  handshake += '\0';
  handshake += config->user_name;
  handshake += '\0';
  handshake += config->terminal_type;
  handshake += '/';
  handshake += leading_digits(config->terminal_speed);
  handshake += '\0';
  rlogin->backlog = socket_write(rlogin->socket, handshake.data(), static_cast<int>(handshake.size()));
}

const char* rlogin_open(void* frontend, void** handle, SessionConfig* config, const char* host, int port,
                        char** canonical_host, int no_delay, int keep_alive) {
  auto* rlogin = checked_new_array<RloginSession>(1);
  *rlogin = RloginSession{nullptr, 0, 1, 0, config->terminal_width, config->terminal_height, frontend};
  *handle = rlogin;
  BackendConnectRequest request{frontend, config,   host,       port < 0 ? kRloginPort : port,    1,
                                0,        no_delay, keep_alive, SocketOwner{&kRloginSink, rlogin}};
  if (const char* error = backend_connect(request, &rlogin->socket, canonical_host)) return error;
  send_handshake(rlogin, config);
  return nullptr;
}

void rlogin_free(void* handle) {
  RloginSession* rlogin = of(handle);
  if (rlogin->socket != nullptr) socket_close(rlogin->socket);
  checked_free(rlogin);
}

int rlogin_send(void* handle, const char* data, int length) {
  RloginSession* rlogin = of(handle);
  if (rlogin->socket == nullptr) return 0;
  rlogin->backlog = socket_write(rlogin->socket, data, length);
  return rlogin->backlog;
}

void rlogin_resize(void* handle, int width, int height) {
  RloginSession* rlogin = of(handle);
  rlogin->width = width;
  rlogin->height = height;
  send_window_size(rlogin);
}

void rlogin_reconfigure(void*, SessionConfig*) {}
int rlogin_buffered_size(void* handle) { return of(handle)->backlog; }
void rlogin_send_special(void*, int) {}
const SpecialEntry* rlogin_special_list(void*) { return nullptr; }
int rlogin_is_connected(void* handle) { return of(handle)->socket != nullptr; }
int rlogin_exit_code(void* handle) { return of(handle)->socket != nullptr ? -1 : 0; }
int rlogin_can_send(void*) { return 1; }
int rlogin_line_option(void*, int) { return 0; }
void rlogin_attach_line_discipline(void*, void*) {}
void rlogin_attach_log(void*, SessionLog*) {}
void rlogin_unthrottle(void* handle, int backlog) { backend_apply_freeze_rule(of(handle)->socket, backlog); }
int rlogin_config_info(void*) { return 0; }

}  // namespace

const SessionBackend rlogin_backend = {
    .open = rlogin_open,
    .free = rlogin_free,
    .reconfigure = rlogin_reconfigure,
    .send = rlogin_send,
    .buffered_size = rlogin_buffered_size,
    .resize = rlogin_resize,
    .send_special = rlogin_send_special,
    .special_list = rlogin_special_list,
    .is_connected = rlogin_is_connected,
    .exit_code = rlogin_exit_code,
    .can_send = rlogin_can_send,
    .line_option = rlogin_line_option,
    .attach_line_discipline = rlogin_attach_line_discipline,
    .attach_log = rlogin_attach_log,
    .unthrottle = rlogin_unthrottle,
    .config_info = rlogin_config_info,
    .default_port = 1,
};

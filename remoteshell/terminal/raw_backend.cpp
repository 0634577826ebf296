#include "remoteshell/terminal/raw_backend.h"

#include "base/memory.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/net/backend_connect.h"
#include "remoteshell/terminal/session_sink.h"

namespace {

struct RawSession {
  Socket* socket;
  int backlog;
  void* frontend;
};

RawSession* of(void* handle) { return static_cast<RawSession*>(handle); }

int sink_receive(void* context, int, const char* data, int length) {
  RawSession* raw = of(context);
  backend_apply_freeze_rule(raw->socket, backend_output(raw->frontend, 0, data, length));
  return 1;
}

constexpr SocketEventSink kRawSink = SessionSink<RawSession>::With(sink_receive);

const char* raw_open(void* frontend, void** handle, SessionConfig* config, const char* host, int port,
                     char** canonical_host, int no_delay, int keep_alive) {
  auto* raw = checked_new_array<RawSession>(1);
  *raw = RawSession{nullptr, 0, frontend};
  *handle = raw;
  BackendConnectRequest request{frontend, config,   host,       port < 0 ? 23 : port,       0,
                                1,        no_delay, keep_alive, SocketOwner{&kRawSink, raw}};
  return backend_connect(request, &raw->socket, canonical_host);
}

void raw_free(void* handle) {
  RawSession* raw = of(handle);
  if (raw->socket != nullptr) socket_close(raw->socket);
  checked_free(raw);
}

int raw_send(void* handle, const char* data, int length) {
  RawSession* raw = of(handle);
  if (raw->socket == nullptr) return 0;
  raw->backlog = socket_write(raw->socket, data, length);
  return raw->backlog;
}

void raw_reconfigure(void*, SessionConfig*) {}
int raw_buffered_size(void* handle) { return of(handle)->backlog; }
void raw_resize(void*, int, int) {}
void raw_send_special(void*, int) {}
const SpecialEntry* raw_special_list(void*) { return nullptr; }
int raw_is_connected(void* handle) { return of(handle)->socket != nullptr; }
int raw_exit_code(void* handle) { return of(handle)->socket != nullptr ? -1 : 0; }
int raw_can_send(void*) { return 1; }
// Raw connections edit and echo locally.
int raw_line_option(void*, int option) { return option == 0 || option == 1 ? 1 : 0; }
void raw_attach_line_discipline(void*, void*) {}
void raw_attach_log(void*, SessionLog*) {}
void raw_unthrottle(void* handle, int backlog) { backend_apply_freeze_rule(of(handle)->socket, backlog); }
int raw_config_info(void*) { return 0; }

}  // namespace

const SessionBackend raw_backend = {
    .open = raw_open,
    .free = raw_free,
    .reconfigure = raw_reconfigure,
    .send = raw_send,
    .buffered_size = raw_buffered_size,
    .resize = raw_resize,
    .send_special = raw_send_special,
    .special_list = raw_special_list,
    .is_connected = raw_is_connected,
    .exit_code = raw_exit_code,
    .can_send = raw_can_send,
    .line_option = raw_line_option,
    .attach_line_discipline = raw_attach_line_discipline,
    .attach_log = raw_attach_log,
    .unthrottle = raw_unthrottle,
    .config_info = raw_config_info,
    .default_port = 1,
};

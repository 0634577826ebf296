#pragma once
// The socket sink the telnet, rlogin and raw back ends share: every operation but receive goes
// through the net layer's shared paths. Session is the back end's state, holding at least
// `frontend`, `socket` and `backlog`.
#include "remoteshell/core/backend.h"
#include "remoteshell/net/backend_connect.h"
#include "remoteshell/net/socket.h"

template <class Session>
struct SessionSink {
  static Session* of(void* context) { return static_cast<Session*>(context); }

  static void log(void* context, int type, NetAddress* address, int port, const char* error_text, int) {
    backend_log_connect_attempt(of(context)->frontend, type, address, port, error_text);
  }
  static int closing(void* context, const char* error_text, int, int) {
    return backend_close_connection(of(context)->frontend, &of(context)->socket, error_text);
  }
  static void sent(void* context, int buffered) { of(context)->backlog = buffered; }
  static void connected(void* context) { backend_connected(of(context)->frontend); }

  // The sink with the back end's own receive operation.
  static constexpr SocketEventSink With(int (*receive)(void* context, int urgent, const char* data, int length)) {
    return SocketEventSink{
        .log = log, .closing = closing, .receive = receive, .sent = sent, .accepting = nullptr, .connected = connected};
  }
};

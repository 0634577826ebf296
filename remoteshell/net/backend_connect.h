#pragma once
// The opening steps that the telnet, rlogin and raw back ends share: the lookup with its event
// line, the connection, and the socket sink's connect-attempt lines. Also the freeze rule.
#include "remoteshell/core/backend.h"
#include "remoteshell/net/socket.h"

struct BackendConnectRequest {
  void* frontend;
  const SessionConfig* config;
  const char* host;
  int port;
  int privileged_port;
  int oob_inline;
  int no_delay;
  int keep_alive;
  SocketOwner owner;
};

// Looks the host up and connects, through the proxy the settings name (proxy.h). Returns the
// error text (none on success); the socket, when one was made, is stored even on failure, so
// that free closes it.
const char* backend_connect(const BackendConnectRequest& request, Socket** socket, char** canonical_host);

// The sink's log operation: "Connecting to %s port %d" or "Failed to connect to %s: %s".
void backend_log_connect_attempt(void* frontend, int type, NetAddress* address, int port, const char* error_text);

// The closing path every back end shares: closes and drops the socket (with the remote-exit
// notice), then an error text goes to the event lines and is reported as the connection's
// fatal error. Returns 0: the conversation ends.
int backend_close_connection(void* frontend, Socket** socket, const char* error_text);

// Freezes the socket while the front end holds more than the threshold.
void backend_apply_freeze_rule(Socket* socket, int frontend_backlog);

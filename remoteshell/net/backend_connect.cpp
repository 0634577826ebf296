#include "remoteshell/net/backend_connect.h"

#include "remoteshell/core/frontend.h"
#include "remoteshell/net/network.h"
#include "remoteshell/net/proxy.h"

namespace {

const char* family_note(int address_family) {
  if (address_family == 1) return " (IPv4)";
  if (address_family == 2) return " (IPv6)";
  return "";
}

}  // namespace

const char* backend_connect(const BackendConnectRequest& request, Socket** socket, char** canonical_host) {
  *socket = nullptr;
  backend_event_printf(request.frontend, "Looking up host \"%s\"%s", request.host,
                       family_note(request.config->address_family));
  NetAddress* address = proxy_lookup_host(request.host, canonical_host, *request.config);
  if (const char* error = address->error) {
    net_address_free(address);
    return error;
  }
  *socket = net_connect_via_proxy(address, request.host, request.port, request.privileged_port, request.oob_inline,
                                  request.no_delay, request.keep_alive, &request.owner, *request.config);
  return socket_last_error(*socket);
}

void backend_log_connect_attempt(void* frontend, int type, NetAddress* address, int port, const char* error_text) {
  char text[256] = "<unknown>";
  if (address != nullptr) net_address_text(address, text, sizeof text);
  if (type == 0)
    backend_event_printf(frontend, "Connecting to %s port %d", text, port);
  else
    backend_event_printf(frontend, "Failed to connect to %s: %s", text, error_text != nullptr ? error_text : "");
}

void backend_apply_freeze_rule(Socket* socket, int frontend_backlog) {
  if (socket != nullptr) socket_set_frozen(socket, frontend_backlog > kBackendFreezeThreshold ? 1 : 0);
}

int backend_close_connection(void* frontend, Socket** socket, const char* error_text) {
  if (*socket != nullptr) {
    socket_close(*socket);
    *socket = nullptr;
    backend_remote_exit(frontend);
  }
  if (error_text != nullptr) {
    backend_event_line(frontend, error_text);
    connection_fatal_exit(frontend, "%s", error_text);
  }
  return 0;
}

// Opens a raw TCP connection through the remote-shell network layer, sends a text, reads the
// same number of bytes back, prints them, and logs the connection events to a session log.
// Usage: remoteshell_probe <host> <port> <text> <log file>. Exit 0 when all came back.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/memory.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/net/network.h"
#include "remoteshell/core/session_log.h"

namespace {

struct Probe {
  Socket* socket = nullptr;
  std::string received;
  bool closed = false;
};

void on_log(void*, int type, NetAddress* address, int port, const char* error_text, int) {
  char text[128];
  net_address_text(address, text, sizeof text);
  char* line = type == 0 ? text_format("Connecting to %s port %d", text, port)
                         : text_format("Failed to connect to %s: %s", text, error_text);
  log_event(nullptr, line);
  checked_free(line);
}

int on_closing(void* context, const char* error_text, int, int) {
  static_cast<Probe*>(context)->closed = true;
  log_event(nullptr, error_text != nullptr ? error_text : "Connection closed by remote host");
  return 0;
}

int on_receive(void* context, int, const char* data, int length) {
  static_cast<Probe*>(context)->received.append(data, static_cast<size_t>(length));
  char* line = text_format("Received %d bytes", length);
  log_event(nullptr, line);
  checked_free(line);
  return 1;
}

void on_sent(void*, int) {}

const SocketEventSink kProbeSink = {on_log, on_closing, on_receive, on_sent, nullptr, nullptr};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <host> <port> <text> <log file>\n", argv[0]);
    return 2;
  }
  const char* host = argv[1];
  int port = std::atoi(argv[2]);
  std::string text = argv[3];

  SessionConfig settings{};
  settings.log_type = kLogPackets;  // the mode that records event lines
  settings.log_file_clash = 1;
  settings.log_flush = 1;
  std::snprintf(settings.host, sizeof settings.host, "%s", host);
  std::snprintf(settings.log_file_name.path, sizeof settings.log_file_name.path, "%s", argv[4]);
  SessionLog* log = logging_open_context(nullptr, &settings);
  console_set_log_context(log);

  net_startup();
  char* line = text_format("Looking up host \"%s\"", host);
  log_event(nullptr, line);
  checked_free(line);
  char* canonical = nullptr;
  NetAddress* address = net_lookup_host(host, &canonical, 0);
  checked_free(canonical);
  int status = 1;
  if (address->error != nullptr) {
    log_event(nullptr, address->error);
    net_address_free(address);
  } else {
    Probe probe;
    SocketOwner owner{&kProbeSink, &probe};
    probe.socket = net_new_connection(address, port, 0, 1, 1, 0, &owner);
    if (const char* error = socket_last_error(probe.socket)) {
      log_event(nullptr, error);
    } else {
      socket_write(probe.socket, text.data(), static_cast<int>(text.size()));
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!probe.closed && probe.received.size() < text.size() && std::chrono::steady_clock::now() < deadline)
        net_run_once(20);
      std::printf("%s\n", probe.received.c_str());
      if (probe.received == text) status = 0;
    }
    socket_close(probe.socket);
  }
  net_shutdown();
  log_event(nullptr, status == 0 ? "Echo complete" : "Echo incomplete");
  console_set_log_context(nullptr);
  logging_free_context(log);
  return status;
}

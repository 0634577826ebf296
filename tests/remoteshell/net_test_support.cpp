#include "tests/remoteshell/net_test_support.h"

#include <chrono>
#include <poll.h>

namespace net_testing {

namespace {

void sink_log(void* context, int type, NetAddress*, int, const char* error_text, int error_code) {
  static_cast<Owner*>(context)->events.push_back({"log" + std::to_string(type), error_text ? error_text : "", error_code});
}

int sink_closing(void* context, const char* error_text, int error_code, int) {
  auto* owner = static_cast<Owner*>(context);
  owner->closed_seen = true;
  owner->events.push_back({"closing", error_text ? error_text : "", error_code});
  if (owner->on_closing) return owner->on_closing(*owner, error_text, error_code);
  return 1;
}

int sink_receive(void* context, int urgent, const char* data, int length) {
  auto* owner = static_cast<Owner*>(context);
  std::string bytes(data, static_cast<size_t>(length));
  owner->events.push_back({"receive", bytes, urgent});
  if (urgent == 2) owner->out_of_band += bytes;
  else owner->received += bytes;
  if (urgent == 1) owner->urgent_received += bytes;
  if (owner->on_receive) return owner->on_receive(*owner, urgent, bytes);
  return 1;
}

void sink_sent(void* context, int buffered) {
  static_cast<Owner*>(context)->events.push_back({"sent", "", buffered});
}

int sink_accepting(void* context, int handle) {
  auto* owner = static_cast<Owner*>(context);
  owner->events.push_back({"accepting", "", handle});
  if (owner->on_accepting) return owner->on_accepting(*owner, handle);
  return 1;
}

const SocketEventSink kSink = {sink_log, sink_closing, sink_receive, sink_sent, sink_accepting, nullptr};

}  // namespace

SocketOwner Owner::as_owner() { return SocketOwner{&kSink, this}; }

int Owner::count(const std::string& kind) const {
  int n = 0;
  for (const auto& event : events) n += event.kind == kind;
  return n;
}

Peer::Peer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 8);
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

Peer::~Peer() { close(listener_); }

int Peer::accept_one(int wait_ms) {
  pollfd ready{listener_, POLLIN, 0};
  if (poll(&ready, 1, wait_ms) <= 0) return -1;
  return accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
}

int unused_port() {
  Peer peer;
  return peer.port();  // closed again when the peer goes
}

bool run_until(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    net_run_once(10);
  }
  return true;
}

NetAddress* loopback_address() {
  char* canonical = nullptr;
  NetAddress* address = net_lookup_host("127.0.0.1", &canonical, 0);
  free(canonical);
  return address;
}

}  // namespace net_testing

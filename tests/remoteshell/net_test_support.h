#pragma once
// A recording socket owner and loopback peers for the network-layer tests.
#include <arpa/inet.h>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "remoteshell/net/network.h"

namespace net_testing {

struct Event {
  std::string kind;  // "log0", "log1", "closing", "receive", "sent", "accepting"
  std::string text;
  int code = 0;
};

struct Owner {
  Socket* socket = nullptr;
  std::vector<Event> events;
  std::string received;
  std::string urgent_received;  // bytes flagged urgent 1
  std::string out_of_band;      // bytes flagged urgent 2
  bool closed_seen = false;
  std::function<int(Owner&, int urgent, const std::string&)> on_receive;
  std::function<int(Owner&, const char*, int)> on_closing;
  std::function<int(Owner&, int handle)> on_accepting;

  SocketOwner as_owner();
  int count(const std::string& kind) const;
};

// A loopback listening socket of the test itself; port() is its port.
class Peer {
 public:
  Peer();
  ~Peer();
  int port() const { return port_; }
  // Accepts the next connection (waiting up to wait_ms); -1 when none came.
  int accept_one(int wait_ms = 1000);
 private:
  int listener_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 with nothing listening.
int unused_port();
// Runs event-loop turns until the condition holds or about five seconds pass.
bool run_until(const std::function<bool()>& condition);
NetAddress* loopback_address();

}  // namespace net_testing

#pragma once
// A back end connected to a loopback socket of the test: the test reads what the back end
// wrote, writes as the server, and pumps the network layer; output and event lines are kept.
#include <chrono>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "remoteshell/core/backend.h"
#include "remoteshell/net/network.h"
#include "tests/remoteshell/net_test_support.h"

namespace backend_testing {

struct Capture {
  std::string output;
  std::vector<std::string> events;
  int held = 0;  // what the output sink reports as still held
};

inline Capture* capture = nullptr;

inline int capture_output(void*, int, const char* data, int length) {
  capture->output.append(data, static_cast<size_t>(length));
  return capture->held;
}
inline void capture_event(void*, const char* text) { capture->events.push_back(text); }

inline SessionConfig test_config() {
  SessionConfig config{};
  std::strcpy(config.terminal_type, "xterm");
  std::strcpy(config.terminal_speed, "38400,38400");
  std::strcpy(config.user_name, "alice");
  std::strcpy(config.local_user_name, "svc");
  config.terminal_width = 80;
  config.terminal_height = 24;
  return config;
}

inline std::string bytes(std::initializer_list<int> list) {
  std::string text;
  for (int b : list) text += static_cast<char>(b);
  return text;
}

class Connection {
 public:
  Connection(const SessionBackend& backend, SessionConfig config = test_config()) : backend_(backend), config_(config) {
    capture = &capture_;
    backend_set_output_sink(capture_output);
    backend_set_event_sink(capture_event);
    net_startup();
    char* canonical = nullptr;
    error_ = backend_.open(nullptr, &handle_, &config_, "127.0.0.1", peer_.port(), &canonical, 1, 0);
    std::free(canonical);
    if (error_ == nullptr) server_ = peer_.accept_one();
    Pump(20);
  }
  ~Connection() {
    if (handle_ != nullptr) backend_.free(handle_);
    if (server_ >= 0) close(server_);
    net_shutdown();
    backend_set_output_sink(nullptr);
    backend_set_event_sink(nullptr);
    capture = nullptr;
  }

  // Event-loop turns for about the given time.
  void Pump(int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) net_run_once(2);
  }
  // What the back end wrote, after letting it run a little.
  std::string Read() {
    Pump(30);
    std::string all;
    char buffer[4096];
    pollfd ready{server_, POLLIN, 0};
    while (poll(&ready, 1, 20) > 0) {
      ssize_t got = recv(server_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (got <= 0) break;
      all.append(buffer, static_cast<size_t>(got));
    }
    return all;
  }
  void Write(const std::string& data, int flags = 0) {
    ::send(server_, data.data(), data.size(), flags);
    Pump(40);
  }
  void* handle() const { return handle_; }
  bool Logged(const std::string& line) const {
    for (const auto& event : capture_.events)
      if (event == line) return true;
    return false;
  }

  const SessionBackend& backend_;
  SessionConfig config_;
  net_testing::Peer peer_;
  Capture capture_;
  void* handle_ = nullptr;
  const char* error_ = nullptr;
  int server_ = -1;
};

}  // namespace backend_testing

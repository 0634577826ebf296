#pragma once
// The service's end of the control socket: one thread accepts clients one at a time, reads a
// 4-byte little-endian code, calls the handler and answers its 4-byte status when the handler
// has returned. Controls are therefore carried out one after another, in arrival order.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/unix_socket.h"

namespace platform {

class ControlSocketServer {
 public:
  using Handler = std::function<uint32_t(uint32_t code)>;

  // Listens at path. A stale socket left by a dead service is replaced; nullptr when another
  // service answers there or the socket cannot be made.
  static std::unique_ptr<ControlSocketServer> Listen(const std::string& path, Handler handler);

  // Stops accepting, waits for a handler that is running, removes the socket file.
  ~ControlSocketServer();
  ControlSocketServer(const ControlSocketServer&) = delete;
  ControlSocketServer& operator=(const ControlSocketServer&) = delete;

 private:
  ControlSocketServer(std::string path, UniqueFd listener, UniqueFd wakeRead, UniqueFd wakeWrite, Handler handler);
  void Serve();
  void AnswerOne(int client);

  std::string path_;
  UniqueFd listener_;
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  Handler handler_;
  std::thread thread_;
};

}  // namespace platform

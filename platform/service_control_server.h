#pragma once
// The service's end of the control socket: one thread accepts clients and reads each one's
// 4-byte little-endian code, all at once, so that a client that sends nothing delays nobody;
// another thread calls the handler for each complete code and answers its 4-byte status when the
// handler has returned. Controls are therefore carried out one after another, in the order their
// codes arrived. The
// socket belongs to the service's operators (mode 0660, group "mirvale"), and the handler is
// told who sent each code, as the kernel reports the connecting process.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <sys/types.h>

#include "platform/unix_socket.h"

namespace platform {

// The connecting process's credentials; an unknown caller has the ids of nobody.
struct ControlCaller {
  pid_t pid = 0;
  uid_t uid = static_cast<uid_t>(-1);
  gid_t gid = static_cast<gid_t>(-1);
};

class ControlSocketServer {
 public:
  using Handler = std::function<uint32_t(uint32_t code, const ControlCaller& caller)>;

  // Listens at path. A stale socket left by a dead service is replaced; nullptr when another
  // service answers there or the socket cannot be made.
  static std::unique_ptr<ControlSocketServer> Listen(const std::string& path, Handler handler);

  // Stops accepting, waits for a handler that is running (codes still waiting are dropped),
  // removes the socket file.
  ~ControlSocketServer();
  ControlSocketServer(const ControlSocketServer&) = delete;
  ControlSocketServer& operator=(const ControlSocketServer&) = delete;

 private:
  ControlSocketServer(std::string path, UniqueFd listener, UniqueFd wakeRead, UniqueFd wakeWrite, Handler handler);
  struct Request {
    UniqueFd client;
    uint32_t code = 0;
    ControlCaller caller;
  };

  void Serve();
  void Queue(UniqueFd client, uint32_t code);
  void Handle();

  std::string path_;
  UniqueFd listener_;
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  Handler handler_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<Request> requests_;
  bool stopping_ = false;
  std::thread handlerThread_;
  std::thread thread_;
};

}  // namespace platform

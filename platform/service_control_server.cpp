#include "platform/service_control_server.h"

#include <cerrno>
#include <exception>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/operator_group.h"
#include "platform/service_control_codes.h"

namespace platform {

namespace {

// A client that connects but never sends its code must not hold the handler thread.
constexpr int kCodeWaitMs = 5000;

}  // namespace

std::unique_ptr<ControlSocketServer> ControlSocketServer::Listen(const std::string& path, Handler handler) {
  if (ConnectUnixStream(path, /*nonBlocking=*/true)) return nullptr;
  unlink(path.c_str());
  // Only the service's operators may connect; the handler decides what each of them may ask.
  UniqueFd listener = ListenUnixStream(path, 0660, 16);
  if (!listener) return nullptr;
  ShareWithOperators(path, 0660);
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    unlink(path.c_str());
    return nullptr;
  }
  return std::unique_ptr<ControlSocketServer>(new ControlSocketServer(
      path, std::move(listener), UniqueFd(pipeFds[0]), UniqueFd(pipeFds[1]), std::move(handler)));
}

ControlSocketServer::ControlSocketServer(std::string path, UniqueFd listener, UniqueFd wakeRead, UniqueFd wakeWrite,
                                         Handler handler)
    : path_(std::move(path)),
      listener_(std::move(listener)),
      wakeRead_(std::move(wakeRead)),
      wakeWrite_(std::move(wakeWrite)),
      handler_(std::move(handler)) {
  thread_ = std::thread([this] { Serve(); });
}

ControlSocketServer::~ControlSocketServer() {
  char wake = 1;
  while (write(wakeWrite_.get(), &wake, 1) < 0 && errno == EINTR) {
  }
  if (thread_.joinable()) thread_.join();
  unlink(path_.c_str());
}

void ControlSocketServer::Serve() {
  for (;;) {
    pollfd waiting[2] = {{listener_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
    int ready = poll(waiting, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waiting[1].revents != 0) return;
    if ((waiting[0].revents & POLLIN) == 0) continue;
    UniqueFd client(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (client) AnswerOne(client.get());
  }
}

void ControlSocketServer::AnswerOne(int client) {
  unsigned char request[4];
  if (!ReceiveExactly(client, request, sizeof request, kCodeWaitMs)) return;
  // A request that fails with an exception is answered as failed; the service goes on.
  ControlCaller caller;
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 && length == sizeof credentials)
    caller = {credentials.pid, credentials.uid, credentials.gid};
  uint32_t status = kControlFailed;
  try {
    status = handler_(DecodeLittleEndian32(request), caller);
  } catch (const std::exception&) {
  }
  unsigned char answer[4];
  EncodeLittleEndian32(status, answer);
  SendAll(client, answer, sizeof answer);
}

}  // namespace platform

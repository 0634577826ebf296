// Socket events from poll, in the form the owners' dispatch expects: connect once (with its
// error), out-of-band while urgent data waits (unless it comes inline), read while data waits
// and the socket is not frozen, close once (with the error of a failed send or of the socket),
// write once writing would no longer block, accept while connections wait.
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "remoteshell/net/net_socket_record.h"

namespace {

short interest(const NetSocket* socket) {
  if (!socket->selected || socket->handle < 0) return 0;
  if (socket->listener) return POLLIN;
  if (socket->connecting) return POLLOUT;
  if (socket->close_reported) return 0;
  short events = POLLRDHUP;
  if (!socket->frozen) events |= POLLIN;
  if (!socket->oob_inline) events |= POLLPRI;
  if (!socket->writable) events |= POLLOUT;
  return events;
}

int socket_error(int handle) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

}  // namespace

int net_socket_events(int handle, uint32_t codes[6]) {
  NetSocket* socket = net_find_socket(handle);
  if (socket == nullptr) return 0;
  short wanted = interest(socket);
  short revents = 0;
  if (socket->pending_error == 0 && wanted != 0) {
    pollfd probe{handle, wanted, 0};
    if (poll(&probe, 1, 0) > 0) revents = probe.revents;
  }

  int count = 0;
  auto add = [&](NetEvent event, int error) { codes[count++] = net_event_code(event, error); };
  if (socket->listener) {
    if (revents & POLLIN) add(kNetEventAccept, 0);
    return count;
  }
  if (socket->connecting) {
    if (revents & (POLLOUT | POLLERR | POLLHUP)) {
      socket->connecting = false;
      int error = socket_error(handle);
      add(kNetEventConnect, error);
      if (error == 0) add(kNetEventWrite, 0);
    }
    return count;
  }
  if (socket->close_reported) return 0;
  if (socket->pending_error != 0) {
    socket->close_reported = true;
    add(kNetEventClose, socket->pending_error);
    return count;
  }
  // In dispatch order: out-of-band, read, close, write. The urgent byte is taken first: a plain
  // read that starts at the mark steps over it, and it is then gone.
  if (revents & POLLPRI) add(kNetEventOutOfBand, 0);
  if (revents & POLLIN) add(kNetEventRead, 0);
  if (revents & POLLERR) {
    socket->close_reported = true;
    add(kNetEventClose, socket_error(handle));
    return count;
  }
  if (revents & (POLLRDHUP | POLLHUP)) {
    socket->close_reported = true;
    add(kNetEventClose, 0);
  }
  if ((revents & POLLOUT) && !socket->writable) add(kNetEventWrite, 0);
  return count;
}

namespace {

// The poll list; false when a socket has an error to report without waiting. The owner's
// other threads change the flags read here (a send clears writable), so the caller holds the
// owner's guard while the list is built.
bool poll_list(std::vector<pollfd>& watched) {
  CountedTree* tree = net_socket_tree();
  for (int i = 0; tree != nullptr && i < tree_count(tree); ++i) {
    auto* socket = static_cast<NetSocket*>(tree_index(tree, i));
    if (socket->pending_error != 0 && !socket->close_reported) return false;
    short events = interest(socket);
    if (events != 0) watched.push_back(pollfd{socket->handle, events, 0});
  }
  return true;
}

std::unique_lock<std::mutex> take(std::mutex* guard) {
  return guard != nullptr ? std::unique_lock<std::mutex>(*guard) : std::unique_lock<std::mutex>();
}

// A readable wake descriptor ends the wait; it is drained here, so each wake counts once.
int wait_guarded(int timeout_ms, std::mutex* guard, int wake_fd) {
  std::vector<pollfd> watched;
  {
    auto lock = take(guard);
    if (!poll_list(watched)) return 1;
  }
  if (wake_fd >= 0) watched.push_back(pollfd{wake_fd, POLLIN, 0});
  int ready;
  do {
    ready = poll(watched.data(), watched.size(), timeout_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready > 0 && wake_fd >= 0 && (watched.back().revents & POLLIN)) {
    uint64_t count;
    (void)!read(wake_fd, &count, sizeof count);
    --ready;
  }
  return ready < 0 ? 0 : ready;
}

}  // namespace

int net_wait(int timeout_ms) { return wait_guarded(timeout_ms, nullptr, -1); }

int net_run_once(int timeout_ms, std::mutex* guard, int wake_fd) {
  wait_guarded(timeout_ms, guard, wake_fd);
  auto lock = take(guard);
  std::vector<int> handles;
  int cursor = 0;
  for (int handle = net_first_socket(&cursor); handle >= 0; handle = net_next_socket(&cursor))
    handles.push_back(handle);
  int alive = 1;
  for (int handle : handles) {
    uint32_t codes[6];
    int count = net_socket_events(handle, codes);
    for (int i = 0; i < count; ++i) alive &= net_dispatch_event(handle, codes[i]);
  }
  return alive;
}

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "remoteshell/core/backend.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/net/net_errors.h"
#include "remoteshell/net/net_socket_record.h"

namespace {

constexpr int kReceiveBuffer = 20480;

int owner_closing(NetSocket* socket, const char* text, int code) {
  return socket->owner.sink->closing(socket->owner.context, text, code, 0);
}

int owner_receive(NetSocket* socket, int urgent, const char* data, int length) {
  conversation_current()->bytes_received += static_cast<uint64_t>(length);
  backend_progress(nullptr, ConnectionProgress::kReceived);
  return socket->owner.sink->receive(socket->owner.context, urgent, data, length);
}

// With out-of-band data inline, data read before the urgent mark while urgent data is pending
// is urgent (the receiver discards it up to the mark); data from the mark on is normal.
int read_is_urgent(const NetSocket* socket) {
  if (!socket->oob_inline) return 0;
  pollfd probe{socket->handle, POLLPRI, 0};
  if (poll(&probe, 1, 0) <= 0 || !(probe.revents & POLLPRI)) return 0;
  return sockatmark(socket->handle) == 0 ? 1 : 0;
}

int on_error(NetSocket* socket, int error) {
  if (socket->address != nullptr) {
    if (socket->owner.sink->log != nullptr)
      socket->owner.sink->log(socket->owner.context, 1, socket->address, socket->port, net_error_text(error), error);
    while (!socket->closed && socket->address != nullptr && net_next_address(socket->address)) {
      error = net_try_connect(socket);
      if (error == 0) break;
    }
  }
  if (socket->closed) return 1;
  if (error != 0) return owner_closing(socket, net_error_text(error), error);
  return 1;
}

int on_read(NetSocket* socket) {
  if (socket->frozen) {
    socket->readable_while_frozen = true;
    return 1;
  }
  char buffer[kReceiveBuffer];
  int urgent = read_is_urgent(socket);
  ssize_t got;
  do {
    got = recv(socket->handle, buffer, sizeof buffer, 0);
  } while (got < 0 && errno == EINTR);
  net_noise(static_cast<uint32_t>(got));
  if (got > 0) return owner_receive(socket, urgent, buffer, static_cast<int>(got));
  if (got == 0) return owner_closing(socket, nullptr, 0);
  if (errno == EAGAIN || errno == EWOULDBLOCK) return 1;
  return owner_closing(socket, net_error_text(errno), errno);
}

int on_write(NetSocket* socket) {
  int before = byte_queue_size(&socket->output) + socket->urgent_pending;
  socket->writable = true;
  net_try_send(socket);
  int after = byte_queue_size(&socket->output) + socket->urgent_pending;
  if (after < before && socket->owner.sink->sent != nullptr) socket->owner.sink->sent(socket->owner.context, after);
  return 1;
}

int on_out_of_band(NetSocket* socket) {
  char buffer[kReceiveBuffer];
  ssize_t got = recv(socket->handle, buffer, sizeof buffer, MSG_OOB);
  if (got > 0) return owner_receive(socket, 2, buffer, static_cast<int>(got));
  // The urgent byte may already be gone; that is no fault.
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINVAL || errno == EINTR)) return 1;
  const char* text = got == 0 ? "Internal networking trouble" : net_error_text(errno);
  int code = got == 0 ? 0 : errno;
  log_event(nullptr, text);
  return owner_closing(socket, text, code);
}

bool peer_is_local(const sockaddr_storage& peer) {
  if (peer.ss_family != AF_INET) return true;
  return net_ipv4_is_local(reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr.s_addr) != 0;
}

int on_accept(NetSocket* socket) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  int handle = accept4(socket->handle, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (handle < 0) return 1;  // nothing to accept, or the peer gave up already
  if (socket->local_host_only && !peer_is_local(peer)) {
    close(handle);
    return 1;
  }
  if (socket->owner.sink->accepting == nullptr) {
    close(handle);
    return 1;
  }
  net_accept_begin(handle);
  int refused = socket->owner.sink->accepting(socket->owner.context, handle);
  bool claimed = net_accept_end();
  if (refused != 0 && !claimed) close(handle);
  return 1;
}

int on_connect(NetSocket* socket) {
  socket->writable = socket->connected = true;
  net_address_free(socket->address);
  socket->address = nullptr;
  backend_progress(nullptr, ConnectionProgress::kConnected);
  if (socket->owner.sink->connected != nullptr) socket->owner.sink->connected(socket->owner.context);
  return 1;
}

int on_close(NetSocket* socket) {
  char buffer[kReceiveBuffer];
  int result = 1;
  while (!socket->closed) {
    ssize_t got = recv(socket->handle, buffer, sizeof buffer, 0);
    if (got > 0) {
      result &= owner_receive(socket, 0, buffer, static_cast<int>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    result &= got == 0 ? owner_closing(socket, nullptr, 0) : owner_closing(socket, net_error_text(errno), errno);
    break;
  }
  return result;
}

int dispatch(NetSocket* socket, uint32_t event, int error) {
  if (error != 0) return on_error(socket, error);
  switch (event) {
    case kNetEventRead: return on_read(socket);
    case kNetEventWrite: return on_write(socket);
    case kNetEventOutOfBand: return on_out_of_band(socket);
    case kNetEventAccept: return on_accept(socket);
    case kNetEventConnect: return on_connect(socket);
    case kNetEventClose: return on_close(socket);
    default: return 1;
  }
}

}  // namespace

int net_dispatch_event(int handle, uint32_t code) {
  NetSocket* socket = net_find_socket(handle);
  if (socket == nullptr) return 1;
  net_noise(code);
  ++socket->dispatch_depth;
  int result = dispatch(socket, code & 0xFFFF, static_cast<int>(code >> 16));
  --socket->dispatch_depth;
  net_release_if_closed(socket);
  return result;
}

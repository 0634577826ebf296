#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/process_exit.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/net/net_errors.h"
#include "remoteshell/net/net_socket_record.h"

namespace {

// The sockets of the conversation that the calling thread runs: each conversation has a session
// thread of its own, so conversations never see each other's sockets.
thread_local CountedTree* socket_tree = nullptr;
thread_local int handle_being_accepted = -1;

int compare_sockets(void* a, void* b) {
  auto x = static_cast<unsigned>(static_cast<NetSocket*>(a)->handle);
  auto y = static_cast<unsigned>(static_cast<NetSocket*>(b)->handle);
  return x < y ? -1 : x > y ? 1 : 0;
}

int compare_handle_with_socket(void* key, void* element) {
  auto x = static_cast<unsigned>(*static_cast<int*>(key));
  auto y = static_cast<unsigned>(static_cast<NetSocket*>(element)->handle);
  return x < y ? -1 : x > y ? 1 : 0;
}

void shutdown_hook() { net_shutdown(); }

void close_handle(NetSocket* socket) {
  socket->selected = false;
  net_tree_remove(socket);
  if (socket->handle >= 0) close(socket->handle);
  socket->handle = -1;
}

void log_attempt(NetSocket* socket, int type, const char* error_text, int error_code) {
  if (socket->owner.sink != nullptr && socket->owner.sink->log != nullptr)
    socket->owner.sink->log(socket->owner.context, type, socket->address, socket->port, error_text, error_code);
}

int set_flag(int handle, int level, int option) {
  int on = 1;
  return setsockopt(handle, level, option, &on, sizeof on);
}

// Binds to the privileged ports from 1023 down, or to any port.
int bind_local(NetSocket* socket, int family) {
  sockaddr_storage local{};
  socklen_t length = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  local.ss_family = static_cast<sa_family_t>(family);
  auto set_port = [&](int port) {
    if (family == AF_INET6)
      reinterpret_cast<sockaddr_in6*>(&local)->sin6_port = htons(static_cast<uint16_t>(port));
    else
      reinterpret_cast<sockaddr_in*>(&local)->sin_port = htons(static_cast<uint16_t>(port));
  };
  if (!socket->privileged_port) {
    set_port(0);
    return bind(socket->handle, reinterpret_cast<sockaddr*>(&local), length) == 0 ? 0 : errno;
  }
  for (int port = 1023; port >= 1; --port) {
    set_port(port);
    if (bind(socket->handle, reinterpret_cast<sockaddr*>(&local), length) == 0) return 0;
    if (errno != EADDRINUSE) return errno;
  }
  return EADDRINUSE;
}

// ---- operations of a direct socket ----

SocketOwner op_event_sink(Socket* s, const SocketOwner* owner) {
  auto* socket = static_cast<NetSocket*>(s);
  SocketOwner previous = socket->owner;
  if (owner != nullptr) socket->owner = *owner;
  return previous;
}

void op_close(Socket* s) {
  auto* socket = static_cast<NetSocket*>(s);
  if (socket->closed) return;
  if (NetSocket* twin = socket->sibling) {
    socket->sibling = nullptr;
    twin->sibling = nullptr;
    op_close(twin);
  }
  close_handle(socket);
  net_address_free(socket->address);
  socket->address = nullptr;
  socket->closed = true;
  net_release_if_closed(socket);
}

int backlog(const NetSocket* socket) { return byte_queue_size(&socket->output) + socket->urgent_pending; }

int op_write(Socket* s, const char* data, int length) {
  auto* socket = static_cast<NetSocket*>(s);
  if (socket->closed) return 0;
  byte_queue_append(&socket->output, data, length);
  if (socket->writable) net_try_send(socket);
  return backlog(socket);
}

int op_write_urgent(Socket* s, const char* data, int length) {
  auto* socket = static_cast<NetSocket*>(s);
  if (socket->closed) return 0;
  // Urgent data replaces what is queued. Up to two bytes go out together in one out-of-band
  // send, the last of them being the urgent mark; anything after them follows as normal data
  // rather than overrunning the buffer.
  byte_queue_clear(&socket->output);
  if (length > 0) {
    int urgent = length < 2 ? length : 2;
    std::memcpy(socket->urgent_bytes, data, static_cast<size_t>(urgent));
    socket->urgent_pending = urgent;
    byte_queue_append(&socket->output, data + urgent, length - urgent);
  }
  if (socket->writable) net_try_send(socket);
  return backlog(socket);
}

void op_flush(Socket*) {}

void op_set_private(Socket* s, void* data) { static_cast<NetSocket*>(s)->private_data = data; }
void* op_get_private(Socket* s) { return static_cast<NetSocket*>(s)->private_data; }
void op_set_frozen(Socket* s, int frozen) { net_set_frozen(s, frozen); }
const char* op_last_error(Socket* s) { return static_cast<NetSocket*>(s)->error; }

const NetSocketOps kNetSocketOps = {op_event_sink,  op_close,       op_write,      op_write_urgent, op_flush,
                                    op_set_private, op_get_private, op_set_frozen, op_last_error};

NetSocket* socket_new(const SocketOwner* owner) {
  auto* socket = new NetSocket();
  socket->ops = &kNetSocketOps;
  socket->handle = -1;
  if (owner != nullptr) socket->owner = *owner;
  return socket;
}

}  // namespace

CountedTree* net_socket_tree() { return socket_tree; }

NetSocket* net_find_socket(int handle) {
  if (socket_tree == nullptr || handle < 0) return nullptr;
  return static_cast<NetSocket*>(tree_find(socket_tree, &handle, compare_handle_with_socket));
}

void net_tree_add(NetSocket* socket) {
  if (socket_tree != nullptr && socket->handle >= 0) tree_add(socket_tree, socket);
}

void net_tree_remove(NetSocket* socket) {
  if (socket_tree != nullptr && socket->handle >= 0 && net_find_socket(socket->handle) == socket)
    tree_delete(socket_tree, socket);
}

void net_release_if_closed(NetSocket* socket) {
  if (socket->closed && socket->dispatch_depth == 0) delete socket;
}

void net_startup() {
  if (socket_tree == nullptr) socket_tree = tree_new(compare_sockets);
  shutdown_hook_register(shutdown_hook);
}

void net_shutdown() {
  if (socket_tree == nullptr) return;
  while (auto* socket = static_cast<NetSocket*>(tree_index(socket_tree, 0))) close_handle(socket);
  tree_free(socket_tree);
  socket_tree = nullptr;
  shutdown_hook_unregister(shutdown_hook);
}

void net_try_send(NetSocket* socket) {
  while (socket->handle >= 0 && (socket->urgent_pending || byte_queue_size(&socket->output) > 0)) {
    const void* data = socket->urgent_bytes;
    int length = socket->urgent_pending;
    int flags = MSG_NOSIGNAL;
    if (socket->urgent_pending)
      flags |= MSG_OOB;
    else
      byte_queue_prefix(&socket->output, &data, &length);
    ssize_t sent = send(socket->handle, data, static_cast<size_t>(length), flags);
    net_noise(static_cast<uint32_t>(sent));
    if (sent > 0) {
      if (socket->urgent_pending) {
        socket->urgent_pending -= static_cast<int>(sent);
        if (socket->urgent_pending > 0) socket->urgent_bytes[0] = socket->urgent_bytes[1];
      } else
        byte_queue_consume(&socket->output, static_cast<int>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
      socket->writable = false;
      return;
    }
    int error = sent == 0 ? ECONNRESET : errno;
    if (error != ECONNABORTED && error != ECONNRESET && error != EPIPE) log_event(nullptr, net_error_text(error));
    // Reported to the owner as a close event on the next turn, never from inside its write.
    socket->pending_error = error;
    socket->writable = false;
    return;
  }
}

int net_try_connect(NetSocket* socket) {
  close_handle(socket);
  socket->connecting = socket->close_reported = socket->writable = socket->connected = false;
  log_attempt(socket, 0, nullptr, 0);

  int error = 0;
  sockaddr_storage target{};
  socklen_t target_length = 0;
  if (!net_address_sockaddr(socket->address, socket->port, &target, &target_length)) {
    error = EAFNOSUPPORT;
  } else {
    socket->handle = ::socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket->handle < 0) error = errno;
  }
  // A Unix-domain socket has no TCP options and no local port to bind.
  if (error == 0 && target.ss_family != AF_UNIX) {
    if (socket->oob_inline) set_flag(socket->handle, SOL_SOCKET, SO_OOBINLINE);
    if (socket->no_delay) set_flag(socket->handle, IPPROTO_TCP, TCP_NODELAY);
    if (socket->keep_alive) set_flag(socket->handle, SOL_SOCKET, SO_KEEPALIVE);
    error = bind_local(socket, target.ss_family);
  }
  if (error == 0) {
    socket->selected = true;
    if (connect(socket->handle, reinterpret_cast<sockaddr*>(&target), target_length) == 0) {
      socket->writable = true;
      socket->connecting = true;  // the connect event still follows
    } else if (errno == EINPROGRESS) {
      socket->connecting = true;
    } else {
      error = errno;
    }
  }
  if (error != 0) {
    if (socket->handle >= 0) close(socket->handle);
    socket->handle = -1;
    socket->selected = false;
    log_attempt(socket, 1, net_error_text(error), error);
    return error;
  }
  net_tree_add(socket);
  return 0;
}

Socket* net_new_connection(NetAddress* address, int port, int privileged_port, int oob_inline, int no_delay,
                           int keep_alive, const SocketOwner* owner) {
  NetSocket* socket = socket_new(owner);
  socket->address = address;
  socket->port = port;
  socket->privileged_port = privileged_port != 0;
  socket->oob_inline = oob_inline != 0;
  socket->no_delay = no_delay != 0;
  socket->keep_alive = keep_alive != 0;
  int error = net_try_connect(socket);
  while (error != 0 && net_next_address(socket->address)) error = net_try_connect(socket);
  if (error != 0) socket->error = net_error_text(error);
  return socket;
}

Socket* net_new_listener(const char* source_address, int port, const SocketOwner* owner, int local_host_only,
                         int family) {
  NetSocket* socket = socket_new(owner);
  socket->listener = true;
  socket->writable = socket->connected = true;
  int os_family = family == 2 ? AF_INET6 : AF_INET;

  sockaddr_storage local{};
  socklen_t length = 0;
  in_addr source{};
  bool has_source =
      source_address != nullptr && os_family == AF_INET && inet_pton(AF_INET, source_address, &source) == 1;
  if (has_source) local_host_only = (ntohl(source.s_addr) >> 24) == 127;
  socket->local_host_only = local_host_only != 0;
  if (os_family == AF_INET) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&local);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<uint16_t>(port));
    v4->sin_addr.s_addr = has_source ? source.s_addr : htonl(local_host_only ? INADDR_LOOPBACK : INADDR_ANY);
    length = sizeof *v4;
  } else {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&local);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<uint16_t>(port));
    v6->sin6_addr = local_host_only ? in6addr_loopback : in6addr_any;
    length = sizeof *v6;
  }

  int error = 0;
  socket->handle = ::socket(os_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket->handle < 0) error = errno;
  if (error == 0) {
    set_flag(socket->handle, SOL_SOCKET, SO_REUSEADDR);
    if (os_family == AF_INET6) set_flag(socket->handle, IPPROTO_IPV6, IPV6_V6ONLY);
    if (bind(socket->handle, reinterpret_cast<sockaddr*>(&local), length) != 0 ||
        listen(socket->handle, SOMAXCONN) != 0)
      error = errno;
  }
  if (error != 0) {
    if (socket->handle >= 0) close(socket->handle);
    socket->handle = -1;
    socket->error = net_error_text(error);
    return socket;
  }
  socket->selected = true;
  net_tree_add(socket);

  // The IPv6 twin only where no particular IPv4 source address was asked for: it must not
  // widen a listener bound to one address to every IPv6 address.
  if (family != 1 && family != 2 && !has_source) {
    auto* twin = static_cast<NetSocket*>(net_new_listener(nullptr, port, owner, local_host_only, 2));
    if (twin->error == nullptr) {
      socket->sibling = twin;
      twin->sibling = socket;
      twin->parent = socket;
    } else {
      op_close(twin);
    }
  }
  return socket;
}

void net_set_frozen(Socket* s, int frozen) {
  auto* socket = static_cast<NetSocket*>(s);
  if (socket->frozen == (frozen != 0)) return;
  socket->frozen = frozen != 0;
  // Data that arrived while frozen is still readable: the next turn reports it.
  socket->readable_while_frozen = false;
}

int net_first_socket(int* cursor) {
  *cursor = 0;
  return net_next_socket(cursor);
}

int net_next_socket(int* cursor) {
  if (socket_tree == nullptr) return -1;
  auto* socket = static_cast<NetSocket*>(tree_index(socket_tree, (*cursor)++));
  return socket != nullptr ? socket->handle : -1;
}

void net_accept_begin(int handle) { handle_being_accepted = handle; }

bool net_accept_end() {
  bool claimed = handle_being_accepted < 0;
  handle_being_accepted = -1;
  return claimed;
}

Socket* net_wrap_accepted(int handle, const SocketOwner* owner) {
  if (handle == handle_being_accepted) handle_being_accepted = -1;
  NetSocket* socket = socket_new(owner);
  socket->handle = handle;
  socket->writable = socket->connected = socket->selected = true;
  net_tree_add(socket);
  return socket;
}

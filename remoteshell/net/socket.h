#pragma once
// The socket interface every connection offers its owner (direct sockets here, proxied ones
// in the proxy layer), and the owner's event operations.
#include <cstdint>

struct NetAddress;

// What the owner of a socket is told. log types: 0 a connection attempt, 1 a failed attempt.
// closing: error text (none for an orderly end), error code, calling-back flag.
// receive urgent flag: 0 normal, 1 urgent (before the mark), 2 the out-of-band byte itself.
// sent: the new send backlog. accepting (listeners): nonzero refuses the handle, which the
// network layer then closes; zero means the owner took it (net_wrap_accepted). connected: the
// connection attempt succeeded (optional).
// Operations that return int return 0 when the conversation must end.
struct SocketEventSink {
  void (*log)(void* context, int type, NetAddress* address, int port, const char* error_text, int error_code);
  int (*closing)(void* context, const char* error_text, int error_code, int calling_back);
  int (*receive)(void* context, int urgent, const char* data, int length);
  void (*sent)(void* context, int buffered);
  int (*accepting)(void* context, int handle);
  void (*connected)(void* context);
};

struct SocketOwner {
  const SocketEventSink* sink;
  void* context;
};

struct Socket;

struct NetSocketOps {
  // Sets the owner and returns the previous one; a null argument only reads.
  SocketOwner (*event_sink)(Socket* socket, const SocketOwner* owner);
  void (*close)(Socket* socket);
  int (*write)(Socket* socket, const char* data, int length);
  int (*write_urgent)(Socket* socket, const char* data, int length);
  void (*flush)(Socket* socket);
  void (*set_private)(Socket* socket, void* data);
  void* (*get_private)(Socket* socket);
  void (*set_frozen)(Socket* socket, int frozen);
  const char* (*last_error)(Socket* socket);
};

struct Socket {
  const NetSocketOps* ops;
};

inline void socket_close(Socket* s) { s->ops->close(s); }
inline int socket_write(Socket* s, const char* data, int length) { return s->ops->write(s, data, length); }
inline int socket_write_urgent(Socket* s, const char* data, int length) {
  return s->ops->write_urgent(s, data, length);
}
inline void socket_flush(Socket* s) { s->ops->flush(s); }
inline void socket_set_frozen(Socket* s, int frozen) { s->ops->set_frozen(s, frozen); }
inline const char* socket_last_error(Socket* s) { return s->ops->last_error(s); }

// Network event bits and their dispatch order.
enum NetEvent : uint32_t {
  kNetEventRead = 1,
  kNetEventWrite = 2,
  kNetEventOutOfBand = 4,
  kNetEventAccept = 8,
  kNetEventConnect = 16,
  kNetEventClose = 32,
};
inline constexpr NetEvent kNetEventOrder[] = {kNetEventConnect,   kNetEventRead,  kNetEventClose,
                                              kNetEventOutOfBand, kNetEventWrite, kNetEventAccept};

// A dispatch code: the event's error code in the high 16 bits, the event bit in the low.
inline uint32_t net_event_code(NetEvent event, int error) { return (static_cast<uint32_t>(error) << 16) | event; }

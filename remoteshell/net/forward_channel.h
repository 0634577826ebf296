#pragma once
// The little the socket side of forwarding needs from the SSH layer: a channel to send on, to
// close and to tell how much the socket still buffers, and, for listeners, a new channel opened
// towards a target. The SSH layer fills the table; this layer never sees its internals.
struct ForwardingEnd;

struct ForwardChannelOps {
  // Sends bytes on the channel; returns how many stay queued there (above 0 throttles).
  int (*send)(void* channel, const char* data, int length);
  void (*close)(void* channel);
  // The forwarded socket still buffers this many bytes: the channel's window may open.
  void (*unthrottle)(void* channel, int buffered);
  // A new channel for an accepted connection, asking the server to connect it to host:port;
  // none when it cannot be made. The channel calls forward_confirm once the server agrees.
  void* (*open)(void* backend, ForwardingEnd* end, const char* host, int port, const char* origin);
};

struct ForwardBackend {
  const ForwardChannelOps* ops;
  void* backend;
};

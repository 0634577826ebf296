#pragma once
// A socket that records what its owner writes and does nothing else: the connection to a peer
// that the test or fuzz target plays itself.
#include <string>

#include "remoteshell/net/socket.h"

namespace socket_testing {

// A connection that keeps what is written to it.
struct Link : Socket {
  std::string written;
};

inline Link* link_of(Socket* socket) { return static_cast<Link*>(socket); }

inline const NetSocketOps kLinkOps = {
    [](Socket*, const SocketOwner*) { return SocketOwner{}; },
    [](Socket*) {},
    [](Socket* socket, const char* data, int length) {
      link_of(socket)->written.append(data, static_cast<size_t>(length));
      return 0;
    },
    [](Socket* socket, const char* data, int length) {
      link_of(socket)->written.append(data, static_cast<size_t>(length));
      return 0;
    },
    [](Socket*) {},
    [](Socket*, void*) {},
    [](Socket*) -> void* { return nullptr; },
    [](Socket*, int) {},
    [](Socket*) -> const char* { return nullptr; },
};

}  // namespace socket_testing

#include "platform/unix_socket.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/unforeseeable_name.h"

namespace platform {

namespace {

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

void UniqueFd::Reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

std::optional<uid_t> PeerAccount(int fd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
    return std::nullopt;
  return credentials.uid;
}

UniqueFd ConnectUnixStream(const std::string& path, bool nonBlocking) {
  sockaddr_un address;
  if (!FillAddress(path, address)) return {};
  int flags = SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0);
  UniqueFd fd(socket(AF_UNIX, flags, 0));
  if (!fd) return {};
  int result;
  do {
    result = connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR && !nonBlocking);
  if (result != 0) return {};
  return fd;
}

UniqueFd ConnectUnixStream(const std::string& path, std::chrono::milliseconds limit) {
  sockaddr_un address;
  if (!FillAddress(path, address)) return {};
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return {};
  // A blocking connect to a socket whose backlog is full waits for room, bounded only by the
  // send time-out; a signal cuts the wait short, and the rest of the time is waited again.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    const long long micros = std::max<long long>(left.count(), 1000);  // zero would mean no limit
    timeval wait{static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
    if (setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0) return {};
    if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    if (errno != EINTR || Clock::now() >= deadline) {
      if (errno == EINTR) errno = EAGAIN;
      return {};
    }
  }
}

UniqueFd ListenUnixStream(const std::string& path, unsigned mode, int backlog) {
  // The socket is made listening under a name of its own in the same folder and only then put
  // at path: a client never finds path bound but refusing, which a notice sender would take for
  // a stale socket and remove. The folder may be shared, so that name is unforeseeable: nobody
  // can take every name a process would try.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  sockaddr_un address;
  if (!FillAddress(path, address)) return {};
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::optional<std::string> suffix = UnforeseeableSuffix();
    if (!suffix) return {};
    const std::string staging = folder + ".listen-" + *suffix;
    if (!FillAddress(staging, address)) return {};
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return {};
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      if (errno == EADDRINUSE) continue;  // a name taken by chance
      return {};
    }
    if (chmod(staging.c_str(), mode) != 0 || listen(fd.get(), backlog) != 0 ||
        renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
      const int error = errno == EEXIST ? EADDRINUSE : errno;
      unlink(staging.c_str());
      errno = error;
      return {};
    }
    return fd;
  }
  errno = EADDRINUSE;
  return {};
}

bool SendAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

bool ReceiveExactly(int fd, void* data, size_t size, int timeoutMs) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    pollfd waiting{fd, POLLIN, 0};
    int ready = poll(&waiting, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t got = recv(fd, bytes, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

void EncodeLittleEndian32(uint32_t value, unsigned char out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t DecodeLittleEndian32(const unsigned char in[4]) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
         static_cast<uint32_t>(in[3]) << 24;
}

}  // namespace platform

#pragma once
// Small helpers over Unix-domain stream sockets, shared by the control socket and the notice
// socket: an owning descriptor, connect, listen, and whole-buffer transfers.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include <sys/types.h>

namespace platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset();
  // Gives up ownership: the caller closes the descriptor.
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

// Connects to a listening socket. With nonBlocking, a listener whose backlog is full counts as
// absent instead of making the caller wait.
UniqueFd ConnectUnixStream(const std::string& path, bool nonBlocking);

// Connects to a listening socket, waiting at most limit while its backlog is full (errno
// EAGAIN then); the connection's writes keep that limit. A blocking descriptor.
UniqueFd ConnectUnixStream(const std::string& path, std::chrono::milliseconds limit);

// The account of the process at the other end of a connected socket (for a connection made,
// the one that listens); nullopt when the system does not say.
std::optional<uid_t> PeerAccount(int fd);

// Binds and listens at path (which must not exist), with the given permission bits. The name
// appears only once the socket listens; the folder must let this process create a name in it.
UniqueFd ListenUnixStream(const std::string& path, unsigned mode, int backlog);

// Writes every byte (no SIGPIPE); false on any error.
bool SendAll(int fd, const void* data, size_t size);

// Reads exactly size bytes, waiting at most timeoutMs for each piece (-1: no limit).
bool ReceiveExactly(int fd, void* data, size_t size, int timeoutMs);

void EncodeLittleEndian32(uint32_t value, unsigned char out[4]);
uint32_t DecodeLittleEndian32(const unsigned char in[4]);

}  // namespace platform

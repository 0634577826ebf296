#include "platform/icmp_echo.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/reverse_lookup.h"

namespace platform {
namespace {

constexpr size_t kHeaderSize = 8;

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

uint16_t Checksum(const std::vector<uint8_t>& bytes) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  if (bytes.size() % 2) sum += static_cast<uint32_t>(bytes.back() << 8);
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> EchoRequest(uint16_t identifier, uint16_t sequence, std::string_view data) {
  std::vector<uint8_t> packet(kHeaderSize + data.size());
  packet[0] = ICMP_ECHO;
  packet[4] = static_cast<uint8_t>(identifier >> 8);
  packet[5] = static_cast<uint8_t>(identifier);
  packet[6] = static_cast<uint8_t>(sequence >> 8);
  packet[7] = static_cast<uint8_t>(sequence);
  std::memcpy(packet.data() + kHeaderSize, data.data(), data.size());
  uint16_t sum = Checksum(packet);
  packet[2] = static_cast<uint8_t>(sum >> 8);
  packet[3] = static_cast<uint8_t>(sum);
  return packet;
}

int OpenSocket(IcmpSocketKind kind, bool& raw) {
  if (kind != IcmpSocketKind::Raw) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0 || kind == IcmpSocketKind::Datagram) {
      raw = false;
      return fd;
    }
  }
  raw = true;
  return socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
}

uint16_t NextSequence() {
  static std::atomic<uint16_t> sequence{static_cast<uint16_t>(getpid())};
  return ++sequence;
}

}  // namespace

std::optional<std::string> IcmpEcho(const std::string& address, std::string_view data,
                                    std::chrono::milliseconds timeout, IcmpSocketKind kind) {
  auto ipv4 = ResolveIpv4(address);
  if (!ipv4) return std::nullopt;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  if (inet_pton(AF_INET, ipv4->c_str(), &peer.sin_addr) != 1) return std::nullopt;

  bool raw = false;
  Socket socket(OpenSocket(kind, raw));
  if (socket.fd() < 0) return std::nullopt;
  // Datagram sockets get their identifier from the kernel, which also filters replies by it.
  const uint16_t identifier = static_cast<uint16_t>(getpid());
  const uint16_t sequence = NextSequence();
  auto request = EchoRequest(identifier, sequence, data);
  if (sendto(socket.fd(), request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) !=
      static_cast<ssize_t>(request.size()))
    return std::nullopt;

  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<uint8_t> buffer(65536);
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd waiting{socket.fd(), POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLength = sizeof(from);
    ssize_t received = recvfrom(socket.fd(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0 || from.sin_addr.s_addr != peer.sin_addr.s_addr) continue;
    size_t offset = 0;
    if (raw) {
      if (static_cast<size_t>(received) < sizeof(iphdr)) continue;
      offset = static_cast<size_t>(buffer[0] & 0x0f) * 4;
    }
    if (static_cast<size_t>(received) < offset + kHeaderSize) continue;
    const uint8_t* icmp = buffer.data() + offset;
    uint16_t replyIdentifier = static_cast<uint16_t>(icmp[4] << 8 | icmp[5]);
    uint16_t replySequence = static_cast<uint16_t>(icmp[6] << 8 | icmp[7]);
    if (icmp[0] != ICMP_ECHOREPLY || replySequence != sequence || (raw && replyIdentifier != identifier)) continue;
    return std::string(reinterpret_cast<const char*>(icmp + kHeaderSize), received - offset - kHeaderSize);
  }
}

}  // namespace platform

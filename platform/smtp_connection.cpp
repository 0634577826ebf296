#include "platform/smtp_connection.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Replies longer than this come from no mail server worth waiting for.
constexpr size_t kMaximumReplyBytes = 64 * 1024;

bool StartsWithCode(std::string_view line) {
  return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
         std::isdigit(static_cast<unsigned char>(line[1])) &&
         std::isdigit(static_cast<unsigned char>(line[2]));
}

// Milliseconds left until deadline, for poll; 0 once it has passed.
int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    int ready = poll(&entry, 1, RemainingMs(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

int ConnectWithin(const addrinfo& address, Clock::time_point deadline) {
  int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                  address.ai_protocol);
  if (fd < 0) return -1;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    int error = 0;
    socklen_t length = sizeof error;
    if (errno != EINPROGRESS || !WaitFor(fd, POLLOUT, deadline) ||
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

}  // namespace

std::optional<SmtpReply> TakeSmtpReply(std::string& buffer) {
  size_t start = 0;
  for (;;) {
    size_t end = buffer.find('\n', start);
    if (end == std::string::npos) return std::nullopt;
    std::string_view line(buffer.data() + start, end - start);
    bool continued = StartsWithCode(line) && line.size() > 3 && line[3] == '-';
    if (!continued) {
      SmtpReply reply;
      reply.code = StartsWithCode(line) ? std::stoi(std::string(line.substr(0, 3))) : 0;
      reply.text = buffer.substr(0, end + 1);
      buffer.erase(0, end + 1);
      return reply;
    }
    start = end + 1;
  }
}

std::optional<SmtpConnection> SmtpConnection::Open(const std::string& host, const std::string& port,
                                                   std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (host.empty() || getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return std::nullopt;
  int fd = -1;
  for (addrinfo* address = found; address != nullptr && fd < 0; address = address->ai_next) {
    fd = ConnectWithin(*address, deadline);
  }
  freeaddrinfo(found);
  if (fd < 0) return std::nullopt;
  return SmtpConnection(fd, timeout);
}

SmtpConnection::~SmtpConnection() { Close(); }

SmtpConnection::SmtpConnection(SmtpConnection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), timeout_(other.timeout_), pending_(std::move(other.pending_)) {}

SmtpConnection& SmtpConnection::operator=(SmtpConnection&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    timeout_ = other.timeout_;
    pending_ = std::move(other.pending_);
  }
  return *this;
}

void SmtpConnection::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool SmtpConnection::Send(std::string_view data) {
  auto deadline = Clock::now() + timeout_;
  while (!data.empty()) {
    ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      data.remove_prefix(static_cast<size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd_, POLLOUT, deadline)) return false;
    } else {
      return false;
    }
  }
  return true;
}

std::optional<SmtpReply> SmtpConnection::ReadReply() {
  auto deadline = Clock::now() + timeout_;
  for (;;) {
    if (auto reply = TakeSmtpReply(pending_)) return reply;
    if (pending_.size() > kMaximumReplyBytes) return std::nullopt;
    if (!WaitFor(fd_, POLLIN, deadline)) return std::nullopt;
    char buffer[1024];
    ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (got <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<size_t>(got));
  }
}

std::string LocalMailHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  addrinfo hints{};
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  std::string result = name;
  if (getaddrinfo(name, nullptr, &hints, &found) == 0) {
    if (found != nullptr && found->ai_canonname != nullptr && *found->ai_canonname != '\0') {
      result = found->ai_canonname;
    }
    freeaddrinfo(found);
  }
  return result;
}

}  // namespace platform

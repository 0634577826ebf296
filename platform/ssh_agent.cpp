// One request and one reply on the agent's socket, under an overall deadline.
#include "platform/ssh_agent.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <poll.h>
#include <sys/socket.h>

#include "platform/unix_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* agent_socket_path() {
  const char* path = std::getenv("SSH_AUTH_SOCK");
  return path != nullptr && *path != '\0' ? path : nullptr;
}

int milliseconds_left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the descriptor to be ready in the given direction before the deadline.
bool wait_ready(int fd, short events, Clock::time_point deadline) {
  pollfd entry{fd, events, 0};
  for (;;) {
    int left = milliseconds_left(deadline);
    if (left == 0) return false;
    int ready = poll(&entry, 1, left);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool send_before(int fd, const unsigned char* data, size_t size, Clock::time_point deadline) {
  while (size > 0) {
    if (!wait_ready(fd, POLLOUT, deadline)) return false;
    ssize_t sent = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

bool receive_before(int fd, unsigned char* data, size_t size, Clock::time_point deadline) {
  while (size > 0) {
    if (!wait_ready(fd, POLLIN, deadline)) return false;
    ssize_t got = recv(fd, data, size, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

int agent_exists() {
  const char* path = agent_socket_path();
  return path != nullptr && platform::ConnectUnixStream(path, true) ? 1 : 0;
}

int agent_query(const void* request, int length, void** reply, int* reply_length, AgentCallback, void*) {
  agent_query_within(request, length, reply, reply_length, kAgentTimeoutMs);
  return 1;
}

void agent_query_within(const void* request, int length, void** reply, int* reply_length, int timeout_ms) {
  *reply = nullptr;
  *reply_length = 0;
  const char* path = agent_socket_path();
  if (path == nullptr || request == nullptr || length <= 0) return;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  platform::UniqueFd fd = platform::ConnectUnixStream(path, true);
  if (!fd || !send_before(fd.get(), static_cast<const unsigned char*>(request), static_cast<size_t>(length), deadline))
    return;
  unsigned char head[4];
  if (!receive_before(fd.get(), head, sizeof head, deadline)) return;
  uint32_t body = (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) | (uint32_t{head[2]} << 8) | head[3];
  if (body > kAgentReplyLimit) return;
  auto* answer = static_cast<unsigned char*>(std::malloc(body + 4));
  if (answer == nullptr) return;
  std::memcpy(answer, head, sizeof head);
  if (!receive_before(fd.get(), answer + 4, body, deadline)) {
    agent_free_reply(answer, static_cast<int>(body + 4));
    return;
  }
  *reply = answer;
  *reply_length = static_cast<int>(body + 4);
}

void agent_free_reply(void* reply, int reply_length) {
  if (reply == nullptr) return;
  if (reply_length > 0) explicit_bzero(reply, static_cast<size_t>(reply_length));
  std::free(reply);
}

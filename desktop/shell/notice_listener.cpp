#include "desktop/shell/notice_listener.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/status_texts.h"
#include "desktop/shell/remove_at_exit.h"

namespace mirvale {
namespace {

constexpr size_t kReadLimit = 4096;
// The service writes its 16 bytes at once and closes; one that stalls is not waited for longer.
constexpr int kReadTimeoutMs = 500;

platform::UniqueFd ListenAfresh(const std::string& socketPath) {
  unlink(socketPath.c_str());
  return platform::ListenUnixStream(socketPath, 0660, NoticeListener::kBacklog);
}

// The socket is the group's to reach, since the service runs as root; only the service (root,
// or this account when it runs the service itself) is heard, so another member can neither
// forge a notice nor hold a connection that delays the service's.
bool FromTheService(int connection) {
  const std::optional<uid_t> peer = platform::PeerAccount(connection);
  return peer && (*peer == 0 || *peer == geteuid());
}

}  // namespace

NoticeListener::NoticeListener(std::string socketPath, std::function<void()> onNotice)
    : NoticeListener(ListenAfresh(socketPath), socketPath, std::move(onNotice)) {}

NoticeListener::NoticeListener(platform::UniqueFd listening, std::string socketPath, std::function<void()> onNotice)
    : socketPath_(std::move(socketPath)), onNotice_(std::move(onNotice)), listener_(std::move(listening)) {
  wake_ = platform::UniqueFd(eventfd(0, EFD_CLOEXEC));
  if (listener_) RemoveAtExit(socketPath_);
  if (listener_ && wake_) thread_ = std::thread([this] { Run(); });
}

NoticeListener::~NoticeListener() {
  if (thread_.joinable()) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wake_.get(), &one, sizeof one);
    thread_.join();
  }
  if (!listener_) return;
  unlink(socketPath_.c_str());
  ForgetAtExit(socketPath_);
}

bool NoticeListener::IsUpdateDatabaseNotice(std::string_view bytes) {
  return bytes.substr(0, kUpdateDatabaseNotice.size()) == kUpdateDatabaseNotice;
}

void NoticeListener::Run() {
  for (;;) {
    pollfd waiting[2] = {{listener_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
    if (poll(waiting, 2, -1) < 0) continue;
    if (waiting[1].revents) return;
    if (waiting[0].revents & (POLLERR | POLLNVAL)) return;  // the socket is gone: nothing to wait for
    if (!(waiting[0].revents & POLLIN)) continue;
    platform::UniqueFd connection(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (connection && FromTheService(connection.get())) Serve(connection.get());
  }
}

void NoticeListener::Serve(int connection) {
  std::string bytes;
  char buffer[kReadLimit];
  while (bytes.size() < kReadLimit) {
    pollfd reading[2] = {{connection, POLLIN, 0}, {wake_.get(), POLLIN, 0}};
    if (poll(reading, 2, kReadTimeoutMs) <= 0 || reading[1].revents) break;
    ssize_t got = recv(connection, buffer, kReadLimit - bytes.size(), 0);
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
    if (bytes.size() >= kUpdateDatabaseNotice.size()) break;  // enough to judge
  }
  if (IsUpdateDatabaseNotice(bytes)) onNotice_();
}

}  // namespace mirvale

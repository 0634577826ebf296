#include "platform/notice_socket.h"

#include <sys/socket.h>

#include "platform/folders.h"
#include "platform/unix_socket.h"

namespace platform {

std::string NoticeSocketPath() { return JoinPath(DataFolder(), "OskavelMirvale"); }

bool SendNotice(std::string_view message, const std::string& socketPath) {
  UniqueFd fd = ConnectUnixStream(socketPath, /*nonBlocking=*/true);
  if (!fd) return false;
  // One write of a short message always fits a fresh socket's buffer, so it is never split.
  ssize_t sent = send(fd.get(), message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  return sent == static_cast<ssize_t>(message.size());
}

}  // namespace platform

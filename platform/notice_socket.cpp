#include "platform/notice_socket.h"

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/unix_socket.h"

namespace platform {
namespace {

// Connects to the socket open as target (an O_PATH descriptor) through its /proc name, which
// names that very socket whatever now stands at the name it was opened by.
NoticeDelivery Connect(int target, UniqueFd& connection) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = "/proc/self/fd/" + std::to_string(target);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  connection = UniqueFd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!connection) return NoticeDelivery::Absent;
  if (connect(connection.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    return NoticeDelivery::Sent;
  if (errno == ECONNREFUSED) return NoticeDelivery::Removed;
  return errno == EAGAIN ? NoticeDelivery::Busy : NoticeDelivery::Absent;
}

// Removes name when it is still the socket found (by name, never through a link).
void RemoveIfSame(int folderFd, const std::string& name, const struct stat& found) {
  struct stat now{};
  if (fstatat(folderFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(now.st_mode) &&
      now.st_dev == found.st_dev && now.st_ino == found.st_ino)
    unlinkat(folderFd, name.c_str(), 0);
}

}  // namespace

std::string NoticeSocketPath() { return JoinPath(DataFolder(), std::string(kNoticeSocketName)); }

std::string OwnNoticeSocketPath() {
  return NoticeSocketPath() + "." + std::to_string(geteuid()) + "." + std::to_string(getpid());
}

NoticeDelivery DeliverNoticeAt(int folderFd, const std::string& name, std::string_view message) {
  UniqueFd target(openat(folderFd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!target) return errno == ENOENT ? NoticeDelivery::Absent : NoticeDelivery::NotASocket;
  struct stat found{};
  if (fstat(target.get(), &found) != 0 || !S_ISSOCK(found.st_mode)) return NoticeDelivery::NotASocket;
  UniqueFd connection;
  NoticeDelivery delivery = Connect(target.get(), connection);
  if (delivery == NoticeDelivery::Removed) RemoveIfSame(folderFd, name, found);
  if (delivery != NoticeDelivery::Sent || message.empty()) return delivery;
  // One write of a short message always fits a fresh socket's buffer, so it is never split.
  ssize_t sent = send(connection.get(), message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  return sent == static_cast<ssize_t>(message.size()) ? NoticeDelivery::Sent : NoticeDelivery::Busy;
}

NoticeDelivery DeliverNotice(const std::string& socketPath, std::string_view message) {
  const size_t slash = socketPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : socketPath.substr(0, slash + 1);
  UniqueFd folderFd(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd) return NoticeDelivery::Absent;
  return DeliverNoticeAt(folderFd.get(), socketPath.substr(slash + 1), message);
}

bool SendNotice(std::string_view message, const std::string& socketPath) {
  return DeliverNotice(socketPath, message) == NoticeDelivery::Sent;
}

void ForEachNoticeName(int folderFd, std::string_view stem, size_t limit,
                       const std::function<void(const std::string&)>& visit) {
  int listing = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* folder = fdopendir(listing);
  if (!folder) {
    close(listing);
    return;
  }
  size_t visited = 0;
  while (visited < limit) {
    const dirent* entry = readdir(folder);
    if (!entry) break;
    std::string_view name = entry->d_name;
    if (name.substr(0, stem.size()) != stem) continue;
    if (name.size() != stem.size() && name[stem.size()] != '.') continue;
    ++visited;
    visit(std::string(name));
  }
  closedir(folder);
}

size_t NotifyEveryNoticeSocket(const std::string& folder, std::string_view message,
                               const std::function<void(const std::string&)>& skipped) {
  // Each costs a connect that never waits; the bound keeps a folder full of a member's sockets
  // from making a notice long.
  constexpr size_t kMostSocketsNotified = 256;
  UniqueFd folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd) return 0;
  size_t reached = 0;
  ForEachNoticeName(folderFd.get(), kNoticeSocketName, kMostSocketsNotified, [&](const std::string& name) {
    const NoticeDelivery delivery = DeliverNoticeAt(folderFd.get(), name, message);
    if (delivery == NoticeDelivery::Sent) ++reached;
    if (delivery == NoticeDelivery::NotASocket && skipped) skipped(JoinPath(folder, name));
  });
  return reached;
}

void RemoveOwnStaleNoticeSockets(const std::string& folder, uid_t owner) {
  UniqueFd folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd) return;
  const std::string stem = std::string(kNoticeSocketName) + "." + std::to_string(owner);
  ForEachNoticeName(folderFd.get(), stem, 256, [&](const std::string& name) {
    struct stat found{};
    if (fstatat(folderFd.get(), name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 && found.st_uid == owner)
      DeliverNoticeAt(folderFd.get(), name, {});
  });
}

}  // namespace platform

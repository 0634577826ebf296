#include "platform/notice_socket.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/unforeseeable_name.h"
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

// A name costs one entry read and, in the notice form, one fstatat, so the bound is high: a member
// would need a million names in the folder before another account's socket went unseen.
constexpr size_t kMostNamesLookedAt = size_t{1} << 20;
// Each socket costs a connect that never waits. An account's desktop has one socket, and there
// may be some left by copies that were killed and not yet swept.
constexpr size_t kMostSocketsOfAnAccount = 16;
// How long the busy listeners of one notice are tried again, and how often.
constexpr std::chrono::milliseconds kBusyWait{1000};
constexpr std::chrono::milliseconds kBusyPause{10};

// Whether name is "OskavelMirvale.<uid>", alone or followed by a dot.
bool NamesAccount(std::string_view name, uid_t uid) {
  const std::string stem = std::string(kNoticeSocketName) + "." + std::to_string(uid);
  return name.substr(0, stem.size()) == stem && (name.size() == stem.size() || name[stem.size()] == '.');
}

// Calls onSocket with each notice socket in the folder open as folderFd, and onOther with each
// other entry whose name has the notice form. "OskavelMirvale" counts whoever owns it; a name with
// an account's number only when it is a socket of that account (by the name itself, never through
// a link), at most kMostSocketsOfAnAccount of one account's.
void ForEachNoticeSocket(int folderFd, const std::function<void(const std::string&, uid_t)>& onSocket,
                         const std::function<void(const std::string&)>& onOther) {
  int listing = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* folder = fdopendir(listing);
  if (!folder) {
    close(listing);
    return;
  }
  const std::string_view stem = kNoticeSocketName;
  std::map<uid_t, size_t> socketsOf;
  for (size_t looked = 0; looked < kMostNamesLookedAt; ++looked) {
    const dirent* entry = readdir(folder);
    if (!entry) break;
    const std::string name = entry->d_name;
    if (name.substr(0, stem.size()) != stem || (name.size() != stem.size() && name[stem.size()] != '.')) continue;
    struct stat found{};
    if (fstatat(folderFd, name.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISSOCK(found.st_mode)) {
      if (onOther) onOther(name);
    } else if (name.size() == stem.size() ||
               (NamesAccount(name, found.st_uid) && ++socketsOf[found.st_uid] <= kMostSocketsOfAnAccount)) {
      onSocket(name, found.st_uid);
    }
  }
  closedir(folder);
}

}  // namespace

std::string NoticeSocketPath() { return JoinPath(DataFolder(), std::string(kNoticeSocketName)); }

UniqueFd ListenOwnNoticeSocket(const std::string& folder, unsigned mode, int backlog, std::string& path) {
  constexpr int kNamesTried = 4;
  const std::string own = JoinPath(folder, std::string(kNoticeSocketName)) + "." + std::to_string(geteuid()) + "." +
                          std::to_string(getpid());
  path = own;
  for (int tried = 1;; ++tried) {
    UniqueFd listener = ListenUnixStream(path, mode, backlog);
    if (listener || errno != EADDRINUSE || tried == kNamesTried) return listener;
    const std::optional<std::string> suffix = UnforeseeableSuffix();
    if (!suffix) return listener;
    path = own + "." + *suffix;
  }
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

size_t NotifyEveryNoticeSocket(const std::string& folder, std::string_view message,
                               const std::function<void(const std::string&)>& skipped) {
  UniqueFd folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd) return 0;
  size_t reached = 0;
  std::vector<std::string> busy;
  const auto skip = [&](const std::string& name) {
    if (skipped) skipped(JoinPath(folder, name));
  };
  const auto deliver = [&](const std::string& name) {
    const NoticeDelivery delivery = DeliverNoticeAt(folderFd.get(), name, message);
    if (delivery == NoticeDelivery::Sent) ++reached;
    if (delivery == NoticeDelivery::NotASocket) skip(name);
    return delivery == NoticeDelivery::Busy;
  };
  ForEachNoticeSocket(
      folderFd.get(),
      [&](const std::string& name, uid_t) {
        if (deliver(name)) busy.push_back(name);
      },
      skip);
  // A listener whose backlog is full (another account may be crowding it) gets its notice a
  // little later rather than never; all of them together are waited for a bounded time.
  const auto giveUp = std::chrono::steady_clock::now() + kBusyWait;
  while (!busy.empty() && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(kBusyPause);
    std::erase_if(busy, [&](const std::string& name) { return !deliver(name); });
  }
  return reached;
}

void RemoveOwnStaleNoticeSockets(const std::string& folder, uid_t owner) {
  UniqueFd folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd) return;
  ForEachNoticeSocket(folderFd.get(),
                      [&](const std::string& name, uid_t account) {
                        if (account == owner && name != kNoticeSocketName) DeliverNoticeAt(folderFd.get(), name, {});
                      },
                      {});
}

}  // namespace platform

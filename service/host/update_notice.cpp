#include "service/host/update_notice.h"

#include <mutex>
#include <set>
#include <string>

#include <fcntl.h>

#include "platform/folders.h"
#include "platform/notice_socket.h"
#include "platform/unix_socket.h"
#include "service/host/service_log.h"

namespace mirvale {
namespace {

// Each costs a connect that never waits; the bound keeps a folder full of a member's sockets
// from making a notice long.
constexpr size_t kMostSocketsNotified = 256;
// Names already logged as skipped; past this many, further ones are skipped silently.
constexpr size_t kMostSkipsLogged = 64;

void LogSkippedOnce(const std::string& path) {
  static std::mutex lock;
  static std::set<std::string> logged;
  std::lock_guard hold(lock);
  if (logged.size() >= kMostSkipsLogged || !logged.insert(path).second) return;
  LogServiceWarning("Notice not sent to " + path + ": it is not a socket");
}

}  // namespace

void SendUpdateNotice() {
  const std::string folder = platform::DataFolder();
  platform::UniqueFd folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd) return;
  platform::ForEachNoticeName(folderFd.get(), platform::kNoticeSocketName, kMostSocketsNotified,
                              [&](const std::string& name) {
                                if (platform::DeliverNoticeAt(folderFd.get(), name, kUpdateDatabaseNotice) ==
                                    platform::NoticeDelivery::NotASocket)
                                  LogSkippedOnce(platform::JoinPath(folder, name));
                              });
}

}  // namespace mirvale

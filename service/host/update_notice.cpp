#include "service/host/update_notice.h"

#include <mutex>
#include <set>
#include <string>

#include "platform/folders.h"
#include "platform/notice_socket.h"
#include "service/host/service_log.h"

namespace mirvale {
namespace {

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
  platform::NotifyEveryNoticeSocket(platform::DataFolder(), kUpdateDatabaseNotice, LogSkippedOnce);
}

}  // namespace mirvale

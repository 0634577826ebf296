#include "desktop/shell/service_access.h"

#include <cerrno>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/settings_file.h"
#include "platform/folders.h"
#include "platform/operator_group.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"

namespace mirvale {
namespace {

std::string AccountName(uid_t uid) {
  if (const passwd* entry = getpwuid(uid)) return entry->pw_name;
  return "uid " + std::to_string(uid);
}

}  // namespace

std::string NotOperatorText(const std::string& account) {
  const std::string group = platform::OperatorGroupName();
  return "The account " + account + " is not in the operators' group " + group +
         ", so it cannot use the service. To add it: sudo usermod -a -G " + group + " " + account +
         ", then log in again.";
}

std::string SettingsFailureText(const std::string& dataFolder, const std::string& account) {
  const std::string failed = kSettingsFailedText;
  if (!platform::ProcessIsOperator()) return failed + " " + NotOperatorText(account);
  // The data folder is sticky: a file another account handed over can be replaced only by the
  // service, which takes it when it runs.
  const std::string waiting = platform::JoinPath(dataFolder, kSettingsFileName);
  struct stat info {};
  if (lstat(waiting.c_str(), &info) == 0 && info.st_uid != geteuid())
    return failed + " " + waiting + " holds the settings " + AccountName(info.st_uid) +
           " handed over, still waiting: the service takes it when it runs.";
  // Only whether anything listens: a busy service that does not answer in time is not down, nor
  // is a hung one whose backlog is full (EAGAIN).
  if (!platform::ConnectUnixStream(platform::ControlSocketPath(), /*nonBlocking=*/true) && errno != EAGAIN)
    return failed + " The service is not running.";
  return failed;
}

}  // namespace mirvale

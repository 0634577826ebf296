#include "desktop/shell/service_access.h"

#include <cerrno>

#include "platform/operator_group.h"
#include "platform/service_control.h"
#include "platform/unix_socket.h"

namespace mirvale {

std::string NotOperatorText(const std::string& account) {
  const std::string group = platform::OperatorGroupName();
  return "The account " + account + " is not in the operators' group " + group +
         ", so it cannot use the service. To add it: sudo usermod -a -G " + group + " " + account +
         ", then log in again.";
}

std::string SettingsFailureText(const std::string& account) {
  const std::string failed = kSettingsFailedText;
  if (!platform::ProcessIsOperator()) return failed + " " + NotOperatorText(account);
  // Only whether anything listens: a busy service that does not answer in time is not down, nor
  // is a hung one whose backlog is full (EAGAIN).
  if (!platform::ConnectUnixStream(platform::ControlSocketPath(), /*nonBlocking=*/true) && errno != EAGAIN)
    return failed + " The service is not running.";
  return failed;
}

}  // namespace mirvale

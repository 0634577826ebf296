#include "service/host/failure_notice.h"

#include "service/host/service_log.h"

namespace mirvale {

void FailureNotice::Note(bool ok, std::string_view reason) {
  std::lock_guard lock(mutex_);
  if (ok == !failing_) return;
  failing_ = !ok;
  if (ok)
    LogServiceMessage(subject_ + " works again.");
  else
    LogServiceWarning(subject_ + " failed (" + std::string(reason) + "); nothing stored is lost, it is tried again.");
}

bool FailureNotice::Failing() const {
  std::lock_guard lock(mutex_);
  return failing_;
}

}  // namespace mirvale

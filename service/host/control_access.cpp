#include "service/host/control_access.h"

#include <unistd.h>

#include "platform/operator_group.h"
#include "platform/service_control_codes.h"

namespace mirvale {

bool ControlAllowed(uint32_t code, const platform::ControlCaller& caller) {
  // The service's own account owns it, as root does when it runs as root (the usual case).
  if (caller.uid == 0 || caller.uid == geteuid()) return true;
  if (code == platform::kControlInterrogate || (code >= 128 && code <= 255))
    return platform::IsOperator(caller.uid, caller.gid);
  return false;
}

}  // namespace mirvale

#pragma once
// Who may send which control code: root and the members of the operators' group may ask the
// state (interrogate) and send the service's own codes (128 to 255), as only they reach the
// socket; everything else, the stop above all, is root's (or the service's own account's, when
// it runs as another).
#include <cstdint>

#include "platform/service_control_server.h"

namespace mirvale {

bool ControlAllowed(uint32_t code, const platform::ControlCaller& caller);

}  // namespace mirvale

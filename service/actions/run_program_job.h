#pragma once
// The run-program action as the service starts it from the action rules' request.
#include "service/actions/action_requests.h"

namespace mirvale {

void RunProgramAction(const RunActionRequest& request);

}  // namespace mirvale

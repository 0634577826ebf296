#pragma once
// The e-mail action as the service starts it: the request from the action rules (or the test
// mail of control code 145) with the settings as they were when it fired.
#include "service/actions/action_requests.h"

namespace mirvale {

void SendEmailAction(const EmailActionRequest& request);

}  // namespace mirvale

#pragma once
// The service's own messages ("Service started", ...). Under the service manager they go to the
// event log with the service's name as source; run by hand, to standard output.
#include <string_view>

namespace mirvale {

void SetServiceLogToEventLog(bool eventLog);

void LogServiceMessage(std::string_view text);
void LogServiceWarning(std::string_view text);

}  // namespace mirvale

#pragma once
// The system event log: syslog under the program's identity. When MIRVALE_EVENTLOG names a file,
// every message is also appended there, one per line (tests and administrators read it).
#include <string_view>

namespace platform {

enum class EventType { Information, Warning, Error };

void ReportEvent(std::string_view source, EventType type, std::string_view text);

}  // namespace platform

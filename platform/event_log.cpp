#include "platform/event_log.h"

#include <mutex>
#include <string>
#include <syslog.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"

namespace platform {

void ReportEvent(std::string_view source, EventType type, std::string_view text) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  int priority = type == EventType::Error ? LOG_ERR : type == EventType::Warning ? LOG_WARNING : LOG_INFO;
  std::string identity(source);
  std::string message(text);
  openlog(identity.c_str(), LOG_PID, LOG_DAEMON);
  syslog(priority, "%s", message.c_str());
  closelog();
  if (auto mirror = GetEnv("MIRVALE_EVENTLOG")) {
    std::string line;
    for (char c : message) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    AppendToFile(*mirror, line, 0600);
  }
}

}  // namespace platform

#include "service/host/service_log.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/event_log.h"
#include "platform/service_control_codes.h"

namespace mirvale {

namespace {

std::atomic<bool> toEventLog{false};

void Write(platform::EventType type, std::string_view text) {
  // The messages are formatted into 256 characters.
  std::string_view message = text.substr(0, 255);
  if (toEventLog) {
    platform::ReportEvent(platform::kMirvaleServiceName, type, message);
    return;
  }
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::fwrite(message.data(), 1, message.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

void SetServiceLogToEventLog(bool eventLog) { toEventLog = eventLog; }

void LogServiceMessage(std::string_view text) { Write(platform::EventType::Information, text); }

void LogServiceWarning(std::string_view text) { Write(platform::EventType::Warning, text); }

}  // namespace mirvale

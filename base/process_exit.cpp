#include "base/process_exit.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "base/client_notices.h"
#include "platform/event_log.h"

namespace {

std::mutex& hooks_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<ShutdownHook>& hooks() {
  static std::vector<ShutdownHook> list;
  return list;
}

}  // namespace

void shutdown_hook_register(ShutdownHook hook) {
  std::lock_guard lock(hooks_mutex());
  auto& list = hooks();
  if (std::find(list.begin(), list.end(), hook) == list.end()) list.push_back(hook);
}

void shutdown_hook_unregister(ShutdownHook hook) {
  std::lock_guard lock(hooks_mutex());
  auto& list = hooks();
  list.erase(std::remove(list.begin(), list.end(), hook), list.end());
}

void shutdown_and_exit(int code) {
  // A hook that fails fatally itself must not run the hooks again.
  static std::atomic<bool> exiting{false};
  if (!exiting.exchange(true)) {
    std::vector<ShutdownHook> list;
    {
      std::lock_guard lock(hooks_mutex());
      list = hooks();
    }
    for (auto hook = list.rbegin(); hook != list.rend(); ++hook) (*hook)();
  }
  std::fflush(stdout);
  std::fflush(stderr);
  // Other threads of the service may still run: no static destructors under their feet.
  std::_Exit(code);
}

void fatal_error_exit(const char* format, ...) {
  char message[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  char line[1100];
  std::snprintf(line, sizeof line, "FATAL ERROR: %s", message);
  std::fprintf(stderr, "%s\n", line);
  std::fflush(stderr);
  try {
    platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Error, line);
  } catch (...) {
    // Out of memory for the event log as well: the standard error line has to do.
  }
  shutdown_and_exit(1);
}

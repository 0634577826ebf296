#include <atomic>
#include <cstdarg>

#include "base/memory.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/frontend.h"

namespace {

std::atomic<BackendOutputSink> output_sink{nullptr};
std::atomic<BackendEventSink> event_sink{nullptr};

}  // namespace

void backend_set_output_sink(BackendOutputSink sink) { output_sink = sink; }
void backend_set_event_sink(BackendEventSink sink) { event_sink = sink; }

int backend_output(void* frontend, int is_stderr, const char* data, int length) {
  BackendOutputSink sink = output_sink;
  return sink != nullptr ? sink(frontend, is_stderr, data, length) : 0;
}

void backend_event_line(void* frontend, const char* text) {
  log_event(frontend, text);
  if (BackendEventSink sink = event_sink) sink(frontend, text);
}

void backend_event_printf(void* frontend, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* text = text_format_va(format, arguments);
  va_end(arguments);
  backend_event_line(frontend, text);
  checked_free(text);
}

void backend_remote_exit(void*) {}

// No line discipline is built into the service; a front end that has one reads the flags
// through line_option when it is told.
void backend_line_discipline_refresh(void*) {}

#include <cstdarg>

#include "base/memory.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/core/frontend.h"

void backend_set_output_sink(BackendOutputSink sink) { conversation_current()->hooks.output = sink; }
void backend_set_event_sink(BackendEventSink sink) { conversation_current()->hooks.event_line = sink; }

int backend_output(void* frontend, int is_stderr, const char* data, int length) {
  ShellConversation* conversation = conversation_of(frontend);
  auto sink = conversation->hooks.output;
  return sink != nullptr ? sink(conversation->owner, is_stderr, data, length) : 0;
}

int backend_prompt(void* frontend, PromptSet* prompts) {
  ShellConversation* conversation = conversation_of(frontend);
  auto hook = conversation->hooks.prompt;
  return hook != nullptr ? hook(conversation->owner, prompts) : 0;
}

void backend_connected(void* frontend) {
  ShellConversation* conversation = conversation_of(frontend);
  if (auto hook = conversation->hooks.connected) hook(conversation->owner);
}

void backend_login_refused(void* frontend) {
  ShellConversation* conversation = conversation_of(frontend);
  if (auto hook = conversation->hooks.login_refused) hook(conversation->owner);
}

void backend_progress(void* frontend, ConnectionProgress step) {
  ShellConversation* conversation = conversation_of(frontend);
  if (auto hook = conversation->hooks.progress) hook(conversation->owner, step);
}

void backend_event_line(void* frontend, const char* text) {
  log_event(frontend, text);
  ShellConversation* conversation = conversation_of(frontend);
  if (auto sink = conversation->hooks.event_line) sink(conversation->owner, text);
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

#pragma once
// The client's front end inside the service: event lines, connection errors, the questions a
// connection may ask (host keys, weak algorithms, an existing session log) and the platform's
// defaults. The service has no console: when standard input is not a terminal the questions
// are answered here, and every answer goes to the event log.
#include "remoteshell/core/session_config.h"

struct SessionLog;

// Callback for an answer that comes later (not used by this front end).
using PromptAnswerCallback = void (*)(void* context, int answer);

// 1 go on, 0 abandon. Unknown key: stored, go on (abandon when it cannot be stored). Changed
// key, or a cache that cannot be read: abandon.
int host_key_check_prompt(void* frontend, const char* host, int port, const char* key_type, const char* key_text,
                          const char* fingerprint, PromptAnswerCallback callback, void* context);
// 1 go on, 0 abandon (the unattended answer).
int weak_algorithm_prompt(void* frontend, const char* algorithm_kind, const char* algorithm_name,
                          PromptAnswerCallback callback, void* context);
// 2 overwrite, 1 append (the unattended answer), 0 no logging.
int log_file_exists_prompt(void* frontend, const char* file_name, PromptAnswerCallback callback, void* context);

// The session log that receives the event lines of the calling thread's current conversation
// (conversation.h); none clears it.
void console_set_log_context(SessionLog* log);
// One event line to the conversation's log; nothing when none is set.
void log_event(void* frontend, const char* text);

// A fatal error of one connection: logged in the event log and handed to the service's
// handler. The session log is the caller's: its closing event line already holds the message. The process goes on; the
// caller returns and lets its socket close.
void connection_fatal_exit(void* frontend, const char* format, ...) __attribute__((format(printf, 2, 3)));
using ConnectionFatalHandler = void (*)(void* owner, const char* message);
// Sets the fatal hook of the calling thread's current conversation.
void set_connection_fatal_handler(ConnectionFatalHandler handler);

// Console input mode while a question is read from a terminal.
void console_set_echo_mode(void* frontend, int echo, int edit);

FontSpec platform_default_font(const char* key);
Filename platform_default_file(const char* key);
int platform_default_int(const char* key, int fallback);
// A copy of DISPLAY (checked_free), none when unset.
char* platform_x_display();

Filename filename_from_text(const char* text);
const char* filename_text(const Filename* name);
int filename_is_empty(const Filename* name);

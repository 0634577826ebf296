#pragma once
// The table of operations behind every connection protocol (SSH, telnet, rlogin, raw), the
// special commands they take, the list that finds a back end by protocol number, and the
// front-end calls every back end makes.
#include "remoteshell/core/session_config.h"

struct SessionLog;
struct PromptSet;

// Special commands; the same numbers serve telnet and SSH.
enum SpecialCode {
  kSpecialAreYouThere = 0,
  kSpecialBreak = 1,
  kSpecialSynch = 2,
  kSpecialEraseCharacter = 3,
  kSpecialEraseLine = 4,
  kSpecialGoAhead = 5,
  kSpecialNoOperation = 6,
  kSpecialAbortProcess = 7,
  kSpecialAbortOutput = 8,
  kSpecialInterruptProcess = 9,
  kSpecialSuspendProcess = 10,
  kSpecialEndOfRecord = 11,
  kSpecialEndOfFile = 12,
  kSpecialLocalEcho = 13,
  kSpecialRemoteEcho = 14,
  kSpecialKeepAlive = 15,
  kSpecialNewLine = 16,
  kSpecialRepeatKeyExchange = 17,
  kSpecialSignalAbrt = 18,  // 18 to 30: the signals, in the order of their names
  kSpecialSignalAlrm = 19,
  kSpecialSignalFpe = 20,
  kSpecialSignalHup = 21,
  kSpecialSignalIll = 22,
  kSpecialSignalInt = 23,
  kSpecialSignalKill = 24,
  kSpecialSignalPipe = 25,
  kSpecialSignalQuit = 26,
  kSpecialSignalSegv = 27,
  kSpecialSignalTerm = 28,
  kSpecialSignalUsr1 = 29,
  kSpecialSignalUsr2 = 30,
  kSpecialSeparator = 31,
  kSpecialSubmenu = 32,
  kSpecialEndOfMenu = 33,
};

struct SpecialEntry {
  const char* text;
  int code;
};

// Every operation takes the back end's own handle first (open returns it).
struct SessionBackend {
  const char* (*open)(void* frontend, void** handle, SessionConfig* config, const char* host, int port,
                      char** canonical_host, int no_delay, int keep_alive);
  void (*free)(void* handle);
  void (*reconfigure)(void* handle, SessionConfig* config);
  int (*send)(void* handle, const char* data, int length);
  int (*buffered_size)(void* handle);
  void (*resize)(void* handle, int width, int height);
  void (*send_special)(void* handle, int code);
  const SpecialEntry* (*special_list)(void* handle);
  int (*is_connected)(void* handle);
  int (*exit_code)(void* handle);
  int (*can_send)(void* handle);
  int (*line_option)(void* handle, int option);
  void (*attach_line_discipline)(void* handle, void* line_discipline);
  void (*attach_log)(void* handle, SessionLog* log);
  void (*unthrottle)(void* handle, int backlog);
  int (*config_info)(void* handle);
  int default_port;
};

// Protocol numbers of the settings record.
enum SessionProtocol { kProtocolRaw = 0, kProtocolTelnet = 1, kProtocolRlogin = 2, kProtocolSsh = 3 };

// ---- Calls every back end makes on its front end ----

// The front end is a ShellConversation (conversation.h); none names the calling thread's.
// These reach its hooks; a hook not set drops the call (output is reported as held by nobody,
// prompts as cancelled, event lines go to the session log only).

// Terminal output; returns the bytes the front end still holds (the freeze rule reads it).
using BackendOutputSink = int (*)(void* owner, int is_stderr, const char* data, int length);
// An event line besides the session log, for whoever watches a connection's steps.
using BackendEventSink = void (*)(void* owner, const char* text);

// Sets the hooks of the calling thread's current conversation (single-threaded users).
void backend_set_output_sink(BackendOutputSink sink);
void backend_set_event_sink(BackendEventSink sink);

int backend_output(void* frontend, int is_stderr, const char* data, int length);
void backend_event_line(void* frontend, const char* text);
// Login questions through the conversation's prompt hook (see ConversationHooks::prompt).
int backend_prompt(void* frontend, PromptSet* prompts);
// The session with the device is up; called once per connection.
void backend_connected(void* frontend);
// The device refused the login (an attempt turned down, or no way left to log in), as opposed
// to a connection that failed on the way.
void backend_login_refused(void* frontend);
void backend_event_printf(void* frontend, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A step of the connection on its way (conversation.h); none names the calling thread's.
enum class ConnectionProgress;
void backend_progress(void* frontend, ConnectionProgress step);
// The connection ended from the far side; nothing to do in the service.
void backend_remote_exit(void* frontend);
// Echo or editing state changed; an attached line discipline re-reads both.
void backend_line_discipline_refresh(void* line_discipline);

// Above this many bytes held by the front end, raw, rlogin and telnet stop reading.
inline constexpr int kBackendFreezeThreshold = 4096;

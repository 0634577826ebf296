#pragma once
// The table of operations behind every connection protocol (SSH, telnet, rlogin, raw), and
// the special commands they take.
#include "remoteshell/session_config.h"

struct SessionLog;

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
  kSpecialSignalAbrt = 18,  // 18 to 30: ABRT ALRM FPE HUP ILL INT KILL PIPE QUIT SEGV TERM USR1 USR2
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

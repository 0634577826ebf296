#pragma once
// The optional log file of one connection ("LogType", "LogFileName", "LogFileClash"): a header
// line, event lines and, in the SSH-packets mode, a hex dump of every packet with secret
// fields blanked or left out. Opened on the first write.
#include <cstdio>
#include <ctime>

#include "remoteshell/core/byte_queue.h"
#include "remoteshell/core/session_config.h"

enum SessionLogState { kLogNotOpened = 0, kLogAwaitingAnswer = 1, kLogOpen = 2, kLogDisabled = 3 };
enum SessionLogType { kLogOff = 0, kLogAscii = 1, kLogRaw = 2, kLogPackets = 3 };

struct SessionLog {
  std::FILE* file;
  int state;
  ByteQueue queue;  // data written while the clash question is open
  char file_name[260];
  void* owner;
  SessionConfig settings;
};

// A region of a packet: kind 1 shown as "XX", kind 2 left out.
enum LogBlankKind { kLogBlank = 1, kLogOmit = 2 };
struct LogBlank {
  int offset;
  int length;
  int kind;
};
enum PacketDirection { kPacketIncoming = 0, kPacketOutgoing = 1 };

SessionLog* logging_open_context(void* owner, const SessionConfig* settings);
// Closes the file and releases the record.
void logging_free_context(SessionLog* log);
void log_open(SessionLog* log);
// mode 0 disable, 1 append, 2 overwrite; then writes what was queued.
void log_open_done(SessionLog* log, int mode);
void log_write(SessionLog* log, const void* bytes, int length);
void log_printf(SessionLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));
void log_event_line(SessionLog* log, const char* text);
// blanks in increasing order of offset.
void log_packet(SessionLog* log, int direction, int type, const char* type_name, const void* bytes, int length,
                const LogBlank* blanks, int blank_count);
void log_flush(SessionLog* log);
// "&h" host, "&y" year, "&m" month, "&d" day, "&t" hhmmss (either case), "&&" one "&"; the
// result is cut at 259 characters.
void log_file_name_expand(const char* pattern, const char* host, const std::tm& time, char out[260]);

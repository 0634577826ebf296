#include "remoteshell/core/session_log.h"

#include <cctype>
#include <cstdarg>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "base/client_notices.h"
#include "base/memory.h"
#include "platform/event_log.h"
#include "platform/run_account.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/settings.h"

namespace {

constexpr int kNameLimit = 259;

bool file_exists(const char* name) {
  struct stat info {};
  return lstat(name, &info) == 0;
}

// The file is opened with the rights of the service's unprivileged account, never through a
// link, never as a terminal and only as a regular file, so no path in the settings makes root
// write where it alone may. Log files may hold what a device printed: private to that account.
std::FILE* open_log_file(SessionLog* log, bool append) {
  std::string reason;
  platform::UniqueFd fd = platform::OpenForWritingAsRunAccount(log->file_name, !append, 0600, reason);
  std::FILE* file = fd ? fdopen(fd.get(), append ? "ab" : "wb") : nullptr;
  if (file != nullptr) fd.Release();  // the stream owns it now
  if (fd && file == nullptr) reason = std::strerror(errno);
  if (file == nullptr) {
    std::string text = std::string("Session log ") + log->file_name + " not opened: " + reason;
    platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Warning,
                          conversation_event_text(log->owner, text.c_str()));
    return nullptr;
  }
  return file;
}

// Event texts may carry what a device sent (a disconnect message): control characters other
// than the tab are shown escaped, so no device text can start a line of its own in the log.
std::string visible_text(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    auto c = static_cast<unsigned char>(*p);
    char escaped[8];
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if ((c < 0x20 && c != '\t') || c == 0x7f) {
          std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

const char* type_text(int type) {
  switch (type) {
    case kLogAscii: return "ASCII";
    case kLogRaw: return "raw";
    case kLogPackets: return "SSH packets";
    default: return "unknown";
  }
}

void write_queued(SessionLog* log) {
  while (byte_queue_size(&log->queue) > 0) {
    const void* data = nullptr;
    int length = 0;
    byte_queue_prefix(&log->queue, &data, &length);
    if (log->state == kLogOpen) std::fwrite(data, 1, static_cast<size_t>(length), log->file);
    byte_queue_consume(&log->queue, length);
  }
}

}  // namespace

SessionLog* logging_open_context(void* owner, const SessionConfig* settings) {
  auto* log = new SessionLog();
  log->owner = owner;
  log->settings = *settings;
  return log;
}

void logging_free_context(SessionLog* log) {
  if (log == nullptr) return;
  if (log->file != nullptr) std::fclose(log->file);
  delete log;
}

void log_file_name_expand(const char* pattern, const char* host, const std::tm& time, char out[260]) {
  std::string name;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p != '&') {
      name += *p;
      continue;
    }
    char next = *++p;
    char buffer[16];
    switch (std::tolower(static_cast<unsigned char>(next))) {
      case 'h': name += host; break;
      case 'y':
        std::snprintf(buffer, sizeof buffer, "%04d", time.tm_year + 1900);
        name += buffer;
        break;
      case 'm':
        std::snprintf(buffer, sizeof buffer, "%02d", time.tm_mon + 1);
        name += buffer;
        break;
      case 'd':
        std::snprintf(buffer, sizeof buffer, "%02d", time.tm_mday);
        name += buffer;
        break;
      case 't':
        std::snprintf(buffer, sizeof buffer, "%02d%02d%02d", time.tm_hour, time.tm_min, time.tm_sec);
        name += buffer;
        break;
      case '&': name += '&'; break;
      case '\0': --p; break;  // a "&" at the very end is dropped
      default:
        name += '&';
        name += next;
        break;
    }
  }
  name.resize(std::min(name.size(), static_cast<size_t>(kNameLimit)));
  std::memcpy(out, name.c_str(), name.size() + 1);
}

void log_open(SessionLog* log) {
  if (log->state != kLogNotOpened || log->settings.log_type == kLogOff) return;
  std::tm now = local_time_now();
  log_file_name_expand(filename_text(&log->settings.log_file_name), log->settings.host, now, log->file_name);
  // Writes made while the question is open (event lines among them) wait in the queue.
  log->state = kLogAwaitingAnswer;
  int mode = 2;
  if (file_exists(log->file_name)) {
    if (log->settings.log_file_clash == -1)
      mode = log_file_exists_prompt(log->owner, log->file_name, nullptr, nullptr);
    else
      mode = log->settings.log_file_clash == 1 ? 2 : 1;
  }
  if (mode >= 0) log_open_done(log, mode);
}

void log_open_done(SessionLog* log, int mode) {
  if (mode == 0) {
    log->state = kLogDisabled;
  } else {
    log->file = open_log_file(log, mode == 1);
    log->state = log->file != nullptr ? kLogOpen : kLogDisabled;
  }
  if (log->state == kLogOpen) {
    std::tm now = local_time_now();
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y.%m.%d %H:%M:%S", &now);
    std::fprintf(log->file, "=~=~=~=~=~=~=~=~=~=~=~= Mirsh log %s =~=~=~=~=~=~=~=~=~=~=~=\r\n", stamp);
  }
  std::string event = std::string(mode == 0   ? "Disabled writing"
                                  : mode == 1 ? "Appending"
                                              : "Writing new") +
                      " session log (" + type_text(log->settings.log_type) + " mode) to file: " + log->file_name;
  log_event(log->owner, event.c_str());
  write_queued(log);
  if (log->state == kLogOpen && log->settings.log_flush) std::fflush(log->file);
}

void log_write(SessionLog* log, const void* bytes, int length) {
  if (log->state == kLogNotOpened) log_open(log);
  if (log->state == kLogAwaitingAnswer)
    byte_queue_append(&log->queue, bytes, length);
  else if (log->state == kLogOpen)
    std::fwrite(bytes, 1, static_cast<size_t>(length), log->file);
}

void log_printf(SessionLog* log, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* text = text_format_va(format, arguments);
  va_end(arguments);
  log_write(log, text, static_cast<int>(std::strlen(text)));
  checked_free(text);
}

void log_event_line(SessionLog* log, const char* text) {
  if (log->settings.log_type == kLogPackets) {
    log_printf(log, "Event Log: %s\r\n", visible_text(text).c_str());
    log_flush(log);
  }
}

void log_packet(SessionLog* log, int direction, int type, const char* type_name, const void* bytes, int length,
                const LogBlank* blanks, int blank_count) {
  if (log->settings.log_type != kLogPackets) return;
  log_printf(log, "%s packet type %d / 0x%02x (%s)\r\n", direction == kPacketOutgoing ? "Outgoing" : "Incoming", type,
             type, type_name);
  const auto* data = static_cast<const unsigned char*>(bytes);
  constexpr int kHexColumn = 12;
  constexpr int kTextColumn = 61;
  char line[kTextColumn + 16 + 3];
  int blank = 0;
  int omitted = 0;
  int filled = 0;  // bytes placed in the current line
  for (int p = 0; p < length;) {
    while (blank < blank_count && p >= blanks[blank].offset + blanks[blank].length) ++blank;
    int kind = 0;
    if (blank < blank_count && p >= blanks[blank].offset) kind = blanks[blank].kind;
    if (kind != kLogOmit && omitted > 0) {
      log_printf(log, "  (%d byte%s omitted)\r\n", omitted, omitted == 1 ? "" : "s");
      omitted = 0;
    }
    if (filled == 0 && omitted == 0) {
      std::memset(line, ' ', sizeof line);
      char offset[12];
      std::snprintf(offset, sizeof offset, "%08x", p - p % 16);
      std::memcpy(line + 2, offset, 8);
    }
    if (kind == kLogOmit) {
      ++omitted;
    } else {
      int column = p % 16;
      int c = kind == kLogBlank ? 'X' : data[p];
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", c);
      line[kHexColumn + 3 * column] = kind == kLogBlank ? 'X' : hex[0];
      line[kHexColumn + 3 * column + 1] = kind == kLogBlank ? 'X' : hex[1];
      line[kTextColumn + column] = std::isprint(c) ? static_cast<char>(c) : '.';
      filled = column + 1;
    }
    ++p;
    if ((p % 16 == 0 || p == length || omitted > 0) && filled > 0) {
      line[kTextColumn + filled] = '\r';
      line[kTextColumn + filled + 1] = '\n';
      log_write(log, line, kTextColumn + filled + 2);
      filled = 0;
    }
  }
  if (omitted > 0) log_printf(log, "  (%d byte%s omitted)\r\n", omitted, omitted == 1 ? "" : "s");
  log_flush(log);
}

void log_flush(SessionLog* log) {
  if (log->settings.log_type != kLogOff && log->state == kLogOpen) std::fflush(log->file);
}

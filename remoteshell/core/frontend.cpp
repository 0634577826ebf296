#include "remoteshell/core/frontend.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <termios.h>
#include <unistd.h>

#include "base/client_notices.h"
#include "base/memory.h"
#include "platform/event_log.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/core/host_key_cache.h"
#include "remoteshell/core/session_log.h"

namespace {

constexpr const char* kChangedKeyWarning =
    "WARNING - POTENTIAL SECURITY BREACH!\n"
    "The server's host key does not match the one Mirsh has\n"
    "cached in the registry. This means that either the\n"
    "server administrator has changed the host key, or you\n"
    "have actually connected to another computer pretending\n"
    "to be the server.\n"
    "The new %s key fingerprint is:\n"
    "%s\n"
    "If you were expecting this change and trust the new key,\n"
    "enter \"y\" to update Mirsh's cache and continue connecting.\n"
    "If you want to carry on connecting but without updating\n"
    "the cache, enter \"n\".\n"
    "If you want to abandon the connection completely, press\n"
    "Return to cancel. Pressing Return is the ONLY guaranteed\n"
    "safe choice.\n"
    "Update cached key? (y/n, Return cancels connection) ";

constexpr const char* kUnknownKeyPrompt =
    "The server's host key is not cached in the registry. You\n"
    "have no guarantee that the server is the computer you\n"
    "think it is.\n"
    "The server's %s key fingerprint is:\n"
    "%s\n"
    "If you trust this host, enter \"y\" to add the key to\n"
    "Mirsh's cache and carry on connecting.\n"
    "If you want to carry on connecting just once, without\n"
    "adding the key to the cache, enter \"n\".\n"
    "If you do not trust this host, press Return to abandon the\n"
    "connection.\n"
    "Store key in cache? (y/n) ";

constexpr const char* kUnvouchedKey =
    "The server's %s host key cannot be checked: the host-key cache cannot be read (%s).\n"
    "No host key is trusted until the cache can be read.\n"
    "The server's key fingerprint is:\n"
    "%s\n";

constexpr const char* kNotStored =
    "The server's %s host key is not cached and cannot be stored: %s.\n"
    "The server's key fingerprint is:\n"
    "%s\n";

constexpr const char* kGaveWay = "The host-key cache was full: the keys of %s gave way to the server's %s key.";

constexpr const char* kWeakAlgorithmPrompt =
    "The first %s supported by the server is\n"
    "%s, which is below the configured warning threshold.\n"
    "Continue with connection? (y/n) ";

constexpr const char* kLogFileExistsPrompt =
    "The session log file \"%.*s\" already exists.\n"
    "You can overwrite it with a new session log,\n"
    "append your session log to the end of it,\n"
    "or disable session logging for this session.\n"
    "Enter \"y\" to wipe the file, \"n\" to append to it,\n"
    "or just press Return to disable logging.\n"
    "Wipe the log file? (y/n, Return cancels logging) ";

constexpr const char* kAbandoned = "Connection abandoned.\n";

std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format_text(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* text = text_format_va(format, arguments);
  va_end(arguments);
  std::string result(text);
  checked_free(text);
  return result;
}

bool interactive() { return isatty(STDIN_FILENO) == 1; }

// Reads one answer of up to 31 bytes with line input and echo on; the old mode returns after.
std::string read_answer() {
  termios saved{};
  bool restore = tcgetattr(STDIN_FILENO, &saved) == 0;
  console_set_echo_mode(nullptr, 1, 1);
  char line[32] = {};
  ssize_t got = read(STDIN_FILENO, line, sizeof line - 1);
  if (restore) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return got > 0 ? std::string(line, static_cast<size_t>(got)) : std::string();
}

// The question and the answer given without a console, for the event log and the session log.
void log_unattended(platform::EventType type, const std::string& question, const std::string& answer) {
  std::string line = question + answer;
  platform::ReportEvent(kRemoteShellEventSource, type, conversation_event_text(nullptr, line.c_str()));
  log_event(nullptr, line.c_str());
}

// The conversation is abandoned: why goes to the console, or else to the event log. Always 0.
int refuse_key(const std::string& why) {
  if (interactive())
    std::fputs((why + kAbandoned).c_str(), stderr);
  else
    log_unattended(platform::EventType::Warning, why, kAbandoned);
  return 0;
}

// The key is stored; the hosts that gave way for it are told like the conversation's questions.
bool store_key(const char* host, int port, const char* key_type, const char* key_text, std::string* reason) {
  std::vector<std::string> evicted;
  if (!host_key_cache_store(host, port, key_type, key_text, reason, &evicted)) return false;
  for (const std::string& gone : evicted) {
    std::string line = format_text(kGaveWay, gone.c_str(), key_type);
    if (interactive())
      std::fputs((line + "\n").c_str(), stderr);
    else
      log_unattended(platform::EventType::Information, line, "");
  }
  return true;
}

bool answered_yes(const std::string& answer) { return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y'); }
bool answered_return(const std::string& answer) {
  return answer.empty() || answer[0] == '\0' || answer[0] == '\n' || answer[0] == '\r';
}

}  // namespace

int host_key_check_prompt(void*, const char* host, int port, const char* key_type, const char* key_text,
                          const char* fingerprint, PromptAnswerCallback, void*) {
  std::string reason;
  int cached = host_key_cache_lookup(host, port, key_type, key_text, &reason);
  if (cached == kHostKeySame) return 1;
  // Without the cache no key is known to be the host's: going on could hand the password to
  // whoever answers.
  if (cached == kHostKeyCacheUnusable)
    return refuse_key(format_text(kUnvouchedKey, key_type, reason.c_str(), fingerprint));
  std::string question =
      format_text(cached == kHostKeyChanged ? kChangedKeyWarning : kUnknownKeyPrompt, key_type, fingerprint);
  if (!interactive()) {
    if (cached == kHostKeyChanged) return refuse_key(question);
    if (!store_key(host, port, key_type, key_text, &reason))
      return refuse_key(format_text(kNotStored, key_type, reason.c_str(), fingerprint));
    log_unattended(platform::EventType::Information, question, "y");
    return 1;
  }
  std::fputs(question.c_str(), stderr);
  std::fflush(stderr);
  std::string answer = read_answer();
  if (answered_return(answer)) {
    std::fputs(kAbandoned, stderr);
    return 0;
  }
  if (answered_yes(answer) && !store_key(host, port, key_type, key_text, &reason))
    return refuse_key(format_text(kNotStored, key_type, reason.c_str(), fingerprint));
  return 1;
}

int weak_algorithm_prompt(void*, const char* algorithm_kind, const char* algorithm_name, PromptAnswerCallback, void*) {
  std::string question = format_text(kWeakAlgorithmPrompt, algorithm_kind, algorithm_name);
  if (!interactive()) {
    log_unattended(platform::EventType::Warning, question, kAbandoned);
    return 0;
  }
  std::fputs(question.c_str(), stderr);
  std::fflush(stderr);
  if (answered_yes(read_answer())) return 1;
  std::fputs(kAbandoned, stderr);
  return 0;
}

int log_file_exists_prompt(void*, const char* file_name, PromptAnswerCallback, void*) {
  std::string question = format_text(kLogFileExistsPrompt, 260, file_name);
  if (!interactive()) {
    log_unattended(platform::EventType::Information, question, "n");
    return 1;
  }
  std::fputs(question.c_str(), stderr);
  std::fflush(stderr);
  std::string answer = read_answer();
  if (answered_yes(answer)) return 2;
  if (!answer.empty() && (answer[0] == 'n' || answer[0] == 'N')) return 1;
  return 0;
}

void console_set_log_context(SessionLog* log) { conversation_current()->log = log; }

void log_event(void* frontend, const char* text) {
  if (SessionLog* log = conversation_of(frontend)->log)
    log_event_line(log, conversation_event_text(frontend, text).c_str());
}

void set_connection_fatal_handler(ConnectionFatalHandler handler) { conversation_current()->hooks.fatal = handler; }

void connection_fatal_exit(void* frontend, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* message = text_format_va(format, arguments);
  va_end(arguments);
  platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Error,
                        "FATAL ERROR: " + conversation_event_text(frontend, message));
  // The back end logged the message as its closing event line already.
  ShellConversation* conversation = conversation_of(frontend);
  if (auto handler = conversation->hooks.fatal) handler(conversation->owner, message);
  checked_free(message);
}

void console_set_echo_mode(void*, int echo, int edit) {
  termios mode{};
  if (tcgetattr(STDIN_FILENO, &mode) != 0) return;
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON);
  if (edit) mode.c_lflag |= ICANON;
  if (echo) mode.c_lflag |= ECHO;
  tcsetattr(STDIN_FILENO, TCSANOW, &mode);
}

FontSpec platform_default_font(const char* key) {
  FontSpec font{};
  if (std::strcmp(key, "Font") == 0) {
    std::strcpy(font.name, "Courier New");
    font.height = 10;
  }
  return font;
}

Filename platform_default_file(const char* key) {
  return filename_from_text(std::strcmp(key, "LogFileName") == 0 ? "mirsh.log" : "");
}

int platform_default_int(const char*, int fallback) { return fallback; }

char* platform_x_display() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr ? text_clone(display) : nullptr;
}

Filename filename_from_text(const char* text) {
  Filename name{};
  std::strncpy(name.path, text, sizeof name.path - 1);
  return name;
}

const char* filename_text(const Filename* name) { return name->path; }

int filename_is_empty(const Filename* name) { return name->path[0] == '\0'; }

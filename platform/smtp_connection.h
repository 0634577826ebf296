#pragma once
// The client end of one SMTP conversation over TCP. Every wait (connect, send, reply) is bounded
// by the time-out given at open, so an unresponsive mail server never holds an action thread.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// One complete server reply: all its lines, and the code that starts its last line.
struct SmtpReply {
  int code = 0;
  std::string text;
};

// Parses a complete reply out of the front of buffer. Returns the reply and removes its bytes
// when the last line ("NNN " or "NNN" alone) has arrived; nullopt while more bytes are needed.
// A line that does not start with three digits makes a reply of code 0 (always a failure).
std::optional<SmtpReply> TakeSmtpReply(std::string& buffer);

class SmtpConnection {
 public:
  // Resolves host (name or dotted address) and connects to the first of its addresses that
  // accepts on port. nullopt on any failure or when timeout passes.
  static std::optional<SmtpConnection> Open(const std::string& host, const std::string& port,
                                            std::chrono::milliseconds timeout);

  ~SmtpConnection();
  SmtpConnection(SmtpConnection&& other) noexcept;
  SmtpConnection& operator=(SmtpConnection&& other) noexcept;
  SmtpConnection(const SmtpConnection&) = delete;
  SmtpConnection& operator=(const SmtpConnection&) = delete;

  // Sends every byte; false on error or time-out.
  bool Send(std::string_view data);

  // Waits for one whole reply, however many reads it takes; nullopt on error, time-out,
  // closed connection or a reply too long to be real.
  std::optional<SmtpReply> ReadReply();

 private:
  SmtpConnection(int fd, std::chrono::milliseconds timeout) : fd_(fd), timeout_(timeout) {}
  void Close();

  int fd_ = -1;
  std::chrono::milliseconds timeout_;
  std::string pending_;
};

// This machine's name for EHLO: its host name, or the official name it resolves to.
std::string LocalMailHostName();

}  // namespace platform

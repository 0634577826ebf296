#pragma once
// The service's one remote-shell conversation: the front end of the remote-shell client. A
// worker thread opens a connection to a device (the session lock is held from Open to Close,
// so one device at a time uses the shell), logs in, sends command scripts and reads the output
// lines; a session thread of its own runs the network events meanwhile. The session lock is
// process-wide, as is the client's state: two instances still talk to one device at a time. Back-end calls and the
// output line list are guarded by one lock that both threads take.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/manual_event.h"
#include "service/manual_event.h"
#include "service/shell_session_settings.h"

struct PromptSet;
struct SessionBackend;

namespace mirvale {

// Bounds that keep one device from holding the shell lock for ever.
struct ShellSessionLimits {
  // One ReadLines call ends, and the conversation with it, when output has not paused for this long.
  std::chrono::seconds readWindow{120};
  // Output of one command beyond this much text ends the conversation.
  size_t heldTextLimit = 16u << 20;
};

class CShellSession {
 public:
  // serviceStop, when given, cuts waits short once set.
  explicit CShellSession(const ManualEvent* serviceStop = nullptr, ShellSessionLimits limits = {});
  ~CShellSession();
  CShellSession(const CShellSession&) = delete;
  CShellSession& operator=(const CShellSession&) = delete;

  // True when the connection came up within the time-out. Always followed by Close.
  bool Open(const std::string& address, const ShellSettings& settings);
  bool Login();
  void SendScript(const std::string& script);
  // True when the back end takes data after the send. Drops the output read so far.
  bool SendText(const std::string& text);
  // Appends the output lines to the list; the number of lines counted once output paused.
  int ReadLines(std::vector<std::string>& lines);
  void Close();

  // The service's stop, for a session made before the service's worker.
  void SetServiceStop(const ManualEvent* serviceStop) { serviceStop_ = serviceStop; }

  bool Alive() const { return alive_; }
  bool Stopping() const {
    const ManualEvent* stop = serviceStop_;
    return stop != nullptr && stop->IsSet();
  }
  const ShellSettings& Settings() const { return settings_; }

  // Front-end callbacks of the client, called on the session thread.
  static int OutputSink(void* frontend, int is_stderr, const char* data, int length);
  static int AnswerPrompts(PromptSet* prompts);

 private:
  void ThreadProc();
  void EventLoop();
  // Waits for the output signal in short slices so that a service stop is seen.
  bool WaitForOutput(std::chrono::milliseconds timeout);
  std::chrono::seconds Timeout() const;
  int Attempts() const;

  std::atomic<const ManualEvent*> serviceStop_;
  ShellSessionLimits limits_;

  std::string host_;
  ShellSettings settings_;
  std::thread thread_;
  std::atomic<bool> alive_{false};
  std::atomic<bool> stop_{false};
  ManualEvent connected_;
  ManualEvent ended_;
  ManualEvent closed_;  // the connection ended under the event loop
  ManualEvent output_;
  ManualEvent prompt_;

  // Guarded by guard_: the back end and the output lines.
  std::mutex guard_;
  const SessionBackend* backend_ = nullptr;
  void* handle_ = nullptr;
  std::vector<std::string> lines_;
  size_t heldBytes_ = 0;
  bool overflow_ = false;
  bool outputSeen_ = false;
};

}  // namespace mirvale

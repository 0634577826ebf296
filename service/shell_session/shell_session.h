#pragma once
// One remote-shell conversation of the service with one device: the front end of the
// remote-shell client. A worker thread opens the connection (taking a turn among the service's
// conversations, so that no other conversation talks to the same device meanwhile), logs in,
// sends command scripts and reads the output lines; a session thread of its own drives the
// client's network layer meanwhile. Back-end calls, the output line list and the event lines
// are guarded by the conversation's lock, which both threads take.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/unix_socket.h"
#include "remoteshell/core/conversation.h"
#include "service/host/manual_event.h"
#include "service/shell_session/shell_conversations.h"
#include "service/shell_session/shell_output_lines.h"
#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_limits.h"
#include "service/shell_session/shell_session_settings.h"

struct PromptSet;

namespace mirvale {

// Why a conversation ended before its device was done: a bound, or a stop request.
enum class ShellCut { None, ReadWindow, Overflow, ScanStop, ServiceStop };

class CShellSession {
 public:
  // serviceStop, when given, cuts waits short once set. Without conversations to take a turn
  // among, nothing keeps two conversations with one device apart.
  explicit CShellSession(const ManualEvent* serviceStop = nullptr, ShellSessionLimits limits = {},
                         ShellConversations* conversations = nullptr);
  // A conversation among the service's: its stop and limits. scanStop, when given, ends it as the
  // service's stop does (the running scan's stop request).
  explicit CShellSession(ShellConversations& conversations, const ManualEvent* scanStop = nullptr);
  ~CShellSession();
  CShellSession(const CShellSession&) = delete;
  CShellSession& operator=(const CShellSession&) = delete;

  // True when the connection came up before the device was silent for the time-out (a key
  // exchange the device is still sending goes on). Always followed by Close.
  bool Open(const std::string& address, const ShellSettings& settings);
  bool Login();
  // The login completed (telnet: every login text was answered on a live connection; SSH: the
  // session channel came up), even when the conversation ended after it.
  bool LoggedIn() const { return loggedIn_; }
  void SendScript(const std::string& script);
  // True when the back end takes data after the send. Drops the output read so far.
  bool SendText(const std::string& text);
  // Appends the output lines to the list; the number of lines counted once output paused. The
  // read ends once a whole time-out passed without output, or sooner, once the settle time
  // passed without more after the output stopped where the device evidently waits for input
  // (not after several texts sent at once: each is answered up to a prompt of its own).
  int ReadLines(std::vector<std::string>& lines);
  // The same read, as what it adds to the lines read before (see AddAnswer); empty lines of
  // the answer when nothing arrived.
  OutputLines::Answer ReadAnswer();
  void Close();

  // Where the output stands after a read: at a pager prompt that arrived since the last text sent,
  // at the learned prompt (or the same name in another mode), at the learned prompt itself; and
  // how many characters of its line arrived since that send.
  struct Standing {
    bool pager = false;
    bool prompt = false;
    bool learnedPrompt = false;
    bool promptStart = false;  // the beginning of the learned prompt, not yet all of it
    size_t freshLength = 0;
  };
  Standing Stands();
  // The prompt learned at the login, to judge lines by.
  PromptWatch LearnedPrompt();
  // The device erased the line it stopped at once it got a key: its pager prompt, so that a read
  // ends as soon as it shows it again.
  void LearnPager(const std::string& shown);

  // A failure: an event line of this conversation, also in the service's event log, where an
  // administrator looks.
  void ReportFailure(const std::string& text);

  bool Alive() const { return alive_; }
  // The device's output was cut short: it overflowed the held text or never paused.
  bool CutShort() const { return cutShort_; }
  bool Stopping() const { return serviceStop_ != nullptr && serviceStop_->IsSet(); }
  // The service or the scan asks to stop: waits end at once.
  bool Interrupted() const { return Stopping() || (scanStop_ != nullptr && scanStop_->IsSet()); }
  // What cut the conversation short, if anything did; each cut is in the event log.
  ShellCut Cut() const { return cut_; }
  const ShellSettings& Settings() const { return settings_; }

 private:
  // The client's hooks, called on the session thread inside a dispatch (the lock is held).
  static int OutputSink(void* owner, int is_stderr, const char* data, int length);
  static int AnswerPrompts(void* owner, PromptSet* prompts);
  static void Connected(void* owner);
  static void LoginRefused(void* owner);
  static void Progress(void* owner, ConnectionProgress step);

  void ThreadProc();
  // Once logged in: the line the device shows now is its prompt.
  void LearnPrompt();
  // Sends a login text and reads its answer.
  OutputLines::Answer Answered(const std::string& text);
  void EventLoop();
  // ReportFailure with the conversation's lock held.
  void ReportFailureLocked(const std::string& text);
  // Ends the conversation for the cut, once, saying why.
  void EndConversation(ShellCut cut, const std::string& text);
  // After Open gave up: why the connection never came up.
  // silence: the silence Open waited out; windowPassed: the device was still sending when the
  // read window passed.
  void ReportOpenFailure(std::chrono::seconds silence, bool windowPassed);
  // A stop request ended a wait: the conversation ends, saying so.
  void EndForStop();
  // Waits for the output signal in short slices so that a service stop is seen.
  bool WaitForOutput(std::chrono::milliseconds timeout);
  // Waits until ready() holds; false once the device was silent for `silence`, the connection
  // ended or the service is stopping, or after the read window however much the device sends.
  template <typename Ready>
  bool WaitWhileDeviceSends(std::chrono::milliseconds silence, Ready ready);
  bool SilentFor(std::chrono::milliseconds silence, std::chrono::steady_clock::time_point since) const;
  // Runs one read; the answer's lines stay in outputLines_.
  int Read();
  // Ends the session thread's wait for network events, so that it sees what the worker changed.
  void WakeEventLoop();
  // How long the event loop may wait for network events: up to the next timer, within a bound.
  static int IdleWaitMs(bool timersPending, uint32_t nextTimer);
  size_t IgnoredMessages();
  // SSH: waits until the client has logged in and opened its session channel.
  bool WaitForSshSession();
  std::chrono::seconds Timeout() const;
  int Attempts() const;

  const ManualEvent* serviceStop_;
  const ManualEvent* scanStop_ = nullptr;
  ShellSessionLimits limits_;
  ShellConversations* conversations_;
  ShellConversations::Turn turn_;

  std::string host_;
  ShellSettings settings_;
  std::thread thread_;
  std::atomic<bool> alive_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> loginRefused_{false};
  std::atomic<bool> userNameMissing_{false};  // an SSH conversation without a user name
  bool loggedIn_ = false;
  std::atomic<bool> cutShort_{false};
  std::atomic<ShellCut> cut_{ShellCut::None};
  // When the device last sent something, as the session thread saw it after handling it: the
  // client's own work on what came (a key exchange on a busy machine) is not the device's silence.
  std::atomic<std::chrono::steady_clock::rep> lastHeard_{0};
  std::atomic<std::chrono::steady_clock::rep> lastTurnEnd_{0};
  ManualEvent connected_;
  ManualEvent ended_;
  ManualEvent closed_;  // the connection ended under the event loop
  ManualEvent output_;
  int textsSinceRead_ = 0;   // worker thread only
  platform::UniqueFd wake_;  // eventfd of the session thread's wait

  // The client's state of this conversation; its lock guards what follows too.
  ShellConversation conversation_;
  OutputLines outputLines_;
  PromptWatch promptWatch_;
  size_t heldBytes_ = 0;
  bool overflow_ = false;
  bool outputSeen_ = false;
  bool outputThisTurn_ = false;
  // How far the connection came, for saying why it did not come up.
  bool viaProxy_ = false;
  bool firstHopUp_ = false;
  bool proxied_ = false;
  size_t receivedSinceStep_ = 0;  // receive events since the last step
  size_t ignoredSinceStep_ = 0;   // SSH IGNORE messages since the last step
  size_t ignoredTotal_ = 0;
};

}  // namespace mirvale

#include "service/shell_session/shell_session.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <system_error>
#include <utility>

#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/event_log.h"
#include "remoteshell/backend_list.h"
#include "remoteshell/client_loop.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/core/session_log.h"
#include "remoteshell/core/settings.h"
#include "service/host/service_log.h"
#include "service/shell_session/shell_answer_rules.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

// After output, one short turn tells whether more follows at once (the output signal's
// meaning); otherwise the session thread sleeps until the network, a timer or the worker wakes
// it, and at the latest after the idle bound.
constexpr int kQuietTurnMs = 1;
constexpr int kIdleWaitMs = 100;
constexpr auto kWaitSlice = std::chrono::milliseconds(50);
constexpr size_t kUserNameLimit = 100;
constexpr size_t kShownWordsLimit = 80;  // of a device's words in an event line
// A longer line is output in transfer, never the beginning of a prompt.
constexpr size_t kLongestStartOfAPrompt = 4096;

std::string Seconds(std::chrono::seconds span) { return std::to_string(span.count()) + " s"; }

void WipeText(std::string& text) {
  std::fill(text.begin(), text.end(), '\0');
  text.clear();
}

}  // namespace

CShellSession::CShellSession(const ManualEvent* serviceStop, ShellSessionLimits limits,
                             ShellConversations* conversations)
    : serviceStop_(serviceStop),
      limits_(limits),
      conversations_(conversations),
      wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  conversation_.owner = this;
  conversation_.hooks.output = &CShellSession::OutputSink;
  conversation_.hooks.prompt = &CShellSession::AnswerPrompts;
  conversation_.hooks.connected = &CShellSession::Connected;
  conversation_.hooks.login_refused = &CShellSession::LoginRefused;
  conversation_.hooks.progress = &CShellSession::Progress;
}

CShellSession::CShellSession(ShellConversations& conversations, const ManualEvent* scanStop)
    : CShellSession(conversations.ServiceStop(), conversations.Limits(), &conversations) {
  scanStop_ = scanStop;
}

CShellSession::~CShellSession() {
  if (thread_.joinable() || turn_) Close();
}

std::chrono::seconds CShellSession::Timeout() const { return std::chrono::seconds(std::max(1, settings_.m_nTimeout)); }

// A pool with no retries still gets its one attempt.
int CShellSession::Attempts() const { return std::max(1, settings_.m_nRetries); }

bool CShellSession::Open(const std::string& address, const ShellSettings& settings) {
  if (conversations_ != nullptr) {
    turn_ = conversations_->Enter(address);
    if (!turn_) return false;  // the service stopped while waiting
  }
  host_ = address;
  settings_ = settings;
  alive_ = false;
  stop_ = false;
  loginRefused_ = false;
  userNameMissing_ = false;
  loggedIn_ = false;
  cutShort_ = false;
  cut_ = ShellCut::None;
  for (ManualEvent* signal : {&connected_, &ended_, &closed_, &output_}) signal->Reset();
  {
    std::lock_guard lock(conversation_.lock);
    outputLines_ = OutputLines();
    promptWatch_ = PromptWatch();
    conversation_.bytes_received = 0;
    textsSinceRead_ = 0;
    heldBytes_ = 0;
    overflow_ = outputSeen_ = outputThisTurn_ = false;
    viaProxy_ = firstHopUp_ = proxied_ = false;
    receivedSinceStep_ = ignoredSinceStep_ = ignoredTotal_ = 0;
  }
  // Stopped while waiting for a turn: nothing was started, nothing to report.
  if (Interrupted()) return false;
  try {
    thread_ = std::thread(&CShellSession::ThreadProc, this);
  } catch (const std::system_error&) {
    // Nothing escapes with the device's turn held: the caller's Close gives it back.
    LogServiceWarning("Could not start thread CShellSession");
    return false;
  }

  // A connection that failed at once ends the thread; there is no need to wait it out. The SSH
  // key exchange is part of the login, which takes a round of the retries, as reads do.
  const auto silence = settings_.m_bTelnet ? Timeout() : Timeout() * Attempts();
  const auto started = std::chrono::steady_clock::now();
  if (WaitWhileDeviceSends(silence, [this] { return connected_.IsSet(); })) return true;
  // A connection that failed on the way has said why already.
  if (Interrupted())
    EndForStop();
  else if (!ended_.IsSet() && !closed_.IsSet())
    ReportOpenFailure(silence, std::chrono::steady_clock::now() - started >= limits_.readWindow);
  return false;
}

template <typename Ready>
bool CShellSession::WaitWhileDeviceSends(std::chrono::milliseconds silence, Ready ready) {
  const auto started = std::chrono::steady_clock::now();
  while (!ready()) {
    if (ended_.IsSet() || closed_.IsSet() || Interrupted()) return ready();
    if (SilentFor(silence, started) || std::chrono::steady_clock::now() - started >= limits_.readWindow) return ready();
    closed_.WaitFor(std::chrono::milliseconds(5));
  }
  return true;
}

// Silence as the session thread saw it after handling all that came: while it is busy with
// what the device sent (a key exchange on a busy machine), the device is not silent.
bool CShellSession::SilentFor(std::chrono::milliseconds silence, std::chrono::steady_clock::time_point since) const {
  using Clock = std::chrono::steady_clock;
  const auto heard = std::max(since, Clock::time_point(Clock::duration(lastHeard_.load())));
  return Clock::time_point(Clock::duration(lastTurnEnd_.load())) - heard >= silence;
}

void CShellSession::ReportFailureLocked(const std::string& text) {
  platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Warning,
                        conversation_event_text(&conversation_, text.c_str()));
  backend_event_line(&conversation_, text.c_str());
}

void CShellSession::ReportFailure(const std::string& text) {
  std::lock_guard lock(conversation_.lock);
  ReportFailureLocked(text);
}

void CShellSession::EndConversation(ShellCut cut, const std::string& text) {
  ShellCut none = ShellCut::None;
  if (cut_.compare_exchange_strong(none, cut)) ReportFailure(text);
  alive_ = false;
}

void CShellSession::EndForStop() {
  if (Stopping())
    EndConversation(ShellCut::ServiceStop, "Conversation ended: the service is stopping");
  else
    EndConversation(ShellCut::ScanStop, "Conversation ended: the scan was stopped");
}

// The furthest step the connection reached tells what did not answer: the network, the proxy,
// or (SSH) the device's key exchange, silent, or still sending (perhaps only IGNORE messages)
// when the read window passed.
void CShellSession::ReportOpenFailure(std::chrono::seconds silence, bool windowPassed) {
  const std::string quiet = " within " + Seconds(silence);
  const std::string window = " within " + Seconds(limits_.readWindow);
  std::lock_guard lock(conversation_.lock);
  std::string text;
  if (!firstHopUp_) {
    text = viaProxy_ ? "The proxy did not take the connection" + quiet
                     : "The connection to the device did not come up" + quiet;
  } else if (viaProxy_ && !proxied_) {
    text = receivedSinceStep_ == 0 ? "The proxy sent no answer" + quiet
           : windowPassed          ? "The proxy did not connect through to the device" + window
                                   : "The proxy went silent before it connected through to the device";
  } else if (receivedSinceStep_ == 0) {
    text = "The device sent nothing" + quiet + " of the connection";
  } else if (!windowPassed) {
    text = "The key exchange stalled: the device sent nothing more for " + Seconds(silence);
  } else {
    text = "The key exchange did not finish" + window;
    text += ignoredSinceStep_ != 0
                ? ": the device sent " + std::to_string(ignoredSinceStep_) + " IGNORE messages instead"
                : ": the device was still sending";
  }
  ReportFailureLocked(text);
}

void CShellSession::Close() {
  stop_ = true;
  WakeEventLoop();
  if (thread_.joinable()) thread_.join();
  WipeText(settings_.m_strShellPassword);
  WipeText(settings_.m_strPrivilegedPassword);
  turn_.Leave();
}

void CShellSession::ThreadProc() {
  ConversationScope scope(&conversation_);
  SessionConfig& config = conversation_.config;
  // Telnet wins when both flags are set.
  ProtocolDefaults defaults{.protocol = settings_.m_bTelnet ? kProtocolTelnet : kProtocolSsh,
                            .port = settings_.m_nShellPort};
  settings_load_defaults("", &config, defaults);

  std::string host = settings_.m_bSsh ? settings_.m_strShellUser + "@" + host_ : host_;
  if (size_t at = host.rfind('@'); at != std::string::npos) {
    std::string user = host.substr(0, at);
    if (user.size() < kUserNameLimit) std::strcpy(config.user_name, user.c_str());
    host = host.substr(at + 1);
  }
  // Without a user name the SSH client would ask for one, and only the password is there.
  userNameMissing_ = config.protocol == kProtocolSsh && config.user_name[0] == '\0';

  {
    // Up to 16 conversations run at once: each event line names its device.
    std::lock_guard lock(conversation_.lock);
    conversation_.device = host + ":" + std::to_string(config.port);
  }

  const SessionBackend* backend = backend_for_protocol(config.protocol);
  if (backend != nullptr) {
    // The log is there from the first step, so that the lookup and the negotiation while the
    // connection opens are logged too.
    SessionLog* openedLog = logging_open_context(&conversation_, &config);
    {
      std::lock_guard lock(conversation_.lock);
      conversation_.log = openedLog;
    }
    client_network_start();
    void* handle = nullptr;
    char* realHost = nullptr;
    const char* error = backend->open(&conversation_, &handle, &config, host.c_str(), config.port, &realHost,
                                      config.tcp_no_delay, config.tcp_keepalives);
    client_free_text(realHost);
    {
      std::lock_guard lock(conversation_.lock);
      conversation_.backend = backend;
      conversation_.backend_handle = handle;
    }
    if (error != nullptr) {
      platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Warning,
                            "Connection to " + conversation_.device + " failed: " + error);
      backend_event_line(&conversation_, error);
    } else {
      alive_ = true;
      std::lock_guard lock(conversation_.lock);
      backend->attach_log(handle, openedLog);
    }
    if (error == nullptr) EventLoop();
    SessionLog* log = nullptr;
    {
      std::lock_guard lock(conversation_.lock);
      if (conversation_.backend_handle != nullptr) backend->free(conversation_.backend_handle);
      conversation_.backend = nullptr;
      conversation_.backend_handle = nullptr;
      log = conversation_.log;
      conversation_.log = nullptr;
    }
    if (log != nullptr) logging_free_context(log);
    client_network_end();
  }
  // The record may hold the user name and, for SSH, more: it does not outlive the conversation.
  std::memset(static_cast<void*>(&config), 0, sizeof config);
  alive_ = false;
  ended_.Set();
}

void CShellSession::WakeEventLoop() {
  uint64_t one = 1;
  if (wake_) (void)!write(wake_.get(), &one, sizeof one);
}

int CShellSession::IdleWaitMs(bool timersPending, uint32_t nextTimer) {
  return client_loop_wait_ms(timersPending, nextTimer, kIdleWaitMs);
}

void CShellSession::EventLoop() {
  uint64_t heardBytes = 0;
  bool outputPending = false;
  bool timersPending = false;
  uint32_t nextTimer = 0;
  while (!stop_) {
    int waitMs = outputPending ? kQuietTurnMs : IdleWaitMs(timersPending, nextTimer);
    // Without its wake descriptor the loop polls as it did in one-turn steps.
    if (!wake_) waitMs = kQuietTurnMs;
    bool alive = client_network_turn(waitMs, &conversation_.lock, wake_.get());
    std::lock_guard lock(conversation_.lock);
    const auto turnEnd = std::chrono::steady_clock::now().time_since_epoch().count();
    if (conversation_.bytes_received != heardBytes) {
      heardBytes = conversation_.bytes_received;
      lastHeard_ = turnEnd;
    }
    lastTurnEnd_ = turnEnd;
    if (overflow_ && alive_) {
      cutShort_ = true;
      ShellCut none = ShellCut::None;
      if (cut_.compare_exchange_strong(none, ShellCut::Overflow))
        ReportFailureLocked("Device output exceeded the limit of " + std::to_string(limits_.heldTextLimit) +
                            " bytes; conversation ended");
      alive = false;
      // Nothing of it is stored: what it held goes at once.
      outputLines_ = OutputLines();
    }
    if (!alive) {
      alive_ = false;
      closed_.Set();
    }
    // Output has arrived and a whole turn passed without more; also when the connection that
    // brought it has closed since.
    if (outputThisTurn_) {
      outputPending = true;
    } else if (outputPending && outputSeen_) {
      output_.Set();
      outputPending = false;
    }
    outputThisTurn_ = false;
    timersPending = client_timers_run(&nextTimer);
  }
}

int CShellSession::OutputSink(void* owner, int, const char* data, int length) {
  auto* session = static_cast<CShellSession*>(owner);
  if (length <= 0) return 0;
  // The text is copied into the line list at once, so nothing is held back: the back end may
  // go on reading, unless the device has sent more than any configuration holds, when the
  // conversation is over and the socket stays frozen.
  if (session->heldBytes_ + static_cast<size_t>(length) > session->limits_.heldTextLimit) {
    session->overflow_ = true;
    return kBackendFreezeThreshold + 1;
  }
  session->outputLines_.Append(std::string_view(data, static_cast<size_t>(length)));
  session->heldBytes_ += static_cast<size_t>(length);
  session->outputSeen_ = session->outputThisTurn_ = true;
  return 0;
}

int CShellSession::AnswerPrompts(void* owner, PromptSet* prompts) {
  auto* session = static_cast<CShellSession*>(owner);
  if (prompts == nullptr) return 0;
  for (int i = 0; i < prompts->count; ++i)
    std::memset(prompts->items[i]->reply, 0, static_cast<size_t>(prompts->items[i]->reply_size));
  if (prompts->count == 0 || prompts->items[0]->reply_size <= 0) return 0;
  Prompt* first = prompts->items[0];
  // A question whose answer is shown (the user name) never gets the password: that secret
  // would stand in clear in the device's logs.
  if (first->echo != 0) return 0;
  const std::string& password = session->settings_.m_strShellPassword;
  size_t length = std::min(password.size(), static_cast<size_t>(first->reply_size - 1));
  std::memcpy(first->reply, password.data(), length);
  return static_cast<int>(length);
}

void CShellSession::Connected(void* owner) { static_cast<CShellSession*>(owner)->connected_.Set(); }

void CShellSession::LoginRefused(void* owner) { static_cast<CShellSession*>(owner)->loginRefused_ = true; }

void CShellSession::Progress(void* owner, ConnectionProgress step) {
  auto* session = static_cast<CShellSession*>(owner);
  switch (step) {
    case ConnectionProgress::kViaProxy: session->viaProxy_ = true; return;
    case ConnectionProgress::kConnected: session->firstHopUp_ = true; break;
    case ConnectionProgress::kProxied: session->proxied_ = true; break;
    case ConnectionProgress::kReceived: ++session->receivedSinceStep_; return;
    case ConnectionProgress::kIgnored:
      ++session->ignoredSinceStep_;
      ++session->ignoredTotal_;
      return;
  }
  session->receivedSinceStep_ = session->ignoredSinceStep_ = 0;
}

bool CShellSession::Login() {
  std::vector<std::string> answer;
  loggedIn_ = false;
  if (userNameMissing_) {
    ReportFailure("The user name for the SSH login is missing: nothing was sent");
    return false;
  }
  if (settings_.m_bTelnet) {
    if (ReadLines(answer) == 0) {
      if (alive_)
        ReportFailure("The device sent nothing within " + Seconds(Timeout() * Attempts()) + " of the connection");
      else if (cut_ == ShellCut::None)
        ReportFailure("The device ended the connection before it sent anything");
      return false;
    }
    // The login ends at a prompt: a refusal in whatever words, a new question, silence or a close
    // after the last login text is a logon failure, and its words are never read as output.
    std::vector<const std::string*> loginTexts;
    for (const std::string* text : {&settings_.m_strShellUser, &settings_.m_strShellPassword})
      if (!text->empty()) loginTexts.push_back(text);
    OutputLines::Answer last;
    for (const std::string* text : loginTexts) last = Answered(*text);
    if (!loginTexts.empty()) {
      std::string refusal = LoginStepRefusal(last, *loginTexts.back(), alive_, false);
      if (!refusal.empty()) {
        if (cut_ == ShellCut::None) ReportFailure("The device refused the login: " + refusal);
        return false;
      }
    }
    // The privileged step refused (a wrong password) leaves the device in its user mode, where a
    // restore would be taken for done: it must end at a prompt with no refusal before it, and
    // after a refusal nothing more is sent.
    std::vector<std::string> privilegedTexts = ScriptPieces(settings_.m_strPrivilegedCommand);
    if (!settings_.m_strPrivilegedPassword.empty()) privilegedTexts.push_back(settings_.m_strPrivilegedPassword);
    std::string refusal;
    // A command like the scripts: "enable\r" and "enable" both send enable and one CR. The
    // first line continues the question's: a hidden password's refusal may stand there.
    for (size_t step = 0; step < privilegedTexts.size() && refusal.empty(); ++step) {
      const std::string& text = privilegedTexts[step];
      last = Answered(text);
      if (step + 1 == privilegedTexts.size()) {
        refusal = LoginStepRefusal(last, text, alive_, true);
        break;
      }
      for (size_t i = 0; i < last.lines.size() && refusal.empty(); ++i)
        if (IsRefusalLine(ShownLine(last.lines[i]))) refusal = ShownLine(last.lines[i]);
      if (refusal.empty() && !alive_) refusal = "the connection ended";
    }
    if (!refusal.empty()) {
      if (cut_ == ShellCut::None) ReportFailure("The device refused the privileged command: " + refusal);
      return false;
    }
    LearnPrompt();
    loggedIn_ = alive_;
    if (!alive_ && cut_ == ShellCut::None) ReportFailure("The device ended the connection during the login");
    return alive_;
  }
  if (settings_.m_bSsh) {
    // Logged in once the session channel is up: after a password, keyboard-interactive
    // answers or a key alone (when no question ever comes). A refused login ends the
    // connection or runs out the time.
    const size_t ignoredBefore = IgnoredMessages();
    const auto started = std::chrono::steady_clock::now();
    if (!WaitForSshSession()) {
      if (Interrupted()) {
        EndForStop();
      } else if (loginRefused_) {
        ReportFailure("The device refused the login");
      } else if (alive_ && std::chrono::steady_clock::now() - started >= limits_.readWindow) {
        std::string text = "The login did not finish within " + Seconds(limits_.readWindow);
        size_t ignored = IgnoredMessages() - ignoredBefore;
        text += ignored != 0 ? ": the device sent " + std::to_string(ignored) + " IGNORE messages instead"
                             : ": the device was still sending";
        ReportFailure(text);
      } else if (alive_) {
        ReportFailure("The login did not finish: the device sent nothing for " + Seconds(Timeout() * Attempts()));
      }
      return false;
    }
    // The session channel is up, so the login was accepted: what fails from here is no logon
    // failure.
    loggedIn_ = true;
    if (ReadLines(answer) < 1) {
      if (cut_ != ShellCut::None) return false;
      ReportFailure(alive_ ? "The device sent nothing within " + Seconds(Timeout() * Attempts()) + " of the login"
                           : "The device ended the connection right after the login");
      return false;
    }
    if (!alive_) {
      // Its last words tell why ("This account is currently not available.", "% Login invalid").
      std::string words;
      for (auto line = answer.rbegin(); line != answer.rend() && words.empty(); ++line) words = ShownLine(*line);
      if (cut_ == ShellCut::None)
        ReportFailure("The device ended the connection right after the login" +
                      (words.empty() ? std::string() : ": " + words.substr(0, kShownWordsLimit)));
      return false;
    }
    LearnPrompt();
    return true;
  }
  return false;
}

OutputLines::Answer CShellSession::Answered(const std::string& text) {
  if (!SendText(text + "\r")) return {};
  return ReadAnswer();
}

CShellSession::Standing CShellSession::Stands() {
  std::lock_guard lock(conversation_.lock);
  const std::string_view fresh = outputLines_.StandingFresh();
  return Standing{.pager = promptWatch_.AtPager(fresh),
                  .prompt = promptWatch_.AtPrompt(outputLines_.Standing()),
                  .learnedPrompt = promptWatch_.AtPrompt(outputLines_.Standing(), true),
                  .promptStart = outputLines_.Standing().size() <= kLongestStartOfAPrompt &&
                                 promptWatch_.StartsLearnedPrompt(ShownLine(outputLines_.Standing())),
                  .freshLength = fresh.size()};
}

PromptWatch CShellSession::LearnedPrompt() {
  std::lock_guard lock(conversation_.lock);
  return promptWatch_;
}

void CShellSession::LearnPager(const std::string& shown) {
  std::lock_guard lock(conversation_.lock);
  promptWatch_.LearnPager(shown);
}

void CShellSession::LearnPrompt() {
  std::lock_guard lock(conversation_.lock);
  // What came after the last line break since the last text sent: a device that answers the
  // password without a line break shows its prompt on the question's line.
  promptWatch_.Learn(outputLines_.StandingFresh());
}

void CShellSession::SendScript(const std::string& script) {
  for (const std::string& piece : ScriptPieces(script)) SendText(piece + "\r");
}

bool CShellSession::SendText(const std::string& text) {
  ++textsSinceRead_;
  {
    std::lock_guard lock(conversation_.lock);
    outputLines_.NextAnswer();
    heldBytes_ = 0;
  }
  bool accepted = false;
  for (int attempt = 0; attempt < Attempts() && alive_ && !accepted; ++attempt) {
    std::lock_guard lock(conversation_.lock);
    // The network layer's event lines of this send belong to this conversation too.
    ConversationScope scope(&conversation_);
    if (conversation_.backend_handle == nullptr) break;
    conversation_.backend->send(conversation_.backend_handle, text.data(), static_cast<int>(text.size()));
    accepted = conversation_.backend->can_send(conversation_.backend_handle) != 0;
    // What the send left queued goes out once the socket takes it: the event loop watches for
    // that from its next wait on.
    WakeEventLoop();
  }
  return accepted;
}

// The login takes a round of the retries of the device's silence, as reads do, so that a device
// slow to log in on a busy machine is not taken for a logon failure.
bool CShellSession::WaitForSshSession() {
  return WaitWhileDeviceSends(Timeout() * Attempts(), [this] {
    std::lock_guard lock(conversation_.lock);
    return conversation_.backend_handle != nullptr && conversation_.backend->can_send(conversation_.backend_handle);
  });
}

size_t CShellSession::IgnoredMessages() {
  std::lock_guard lock(conversation_.lock);
  return ignoredTotal_;
}

bool CShellSession::WaitForOutput(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Interrupted()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (output_.WaitFor(std::min(left, std::chrono::milliseconds(kWaitSlice)))) return true;
  }
  return false;
}

int CShellSession::Read() {
  using Clock = std::chrono::steady_clock;
  // Several texts sent at once (a script of several commands) are answered in turn, each ending
  // at the prompt: one of those prompts is not yet the end, so such a read waits the time-out.
  const bool mayEndEarly = std::exchange(textsSinceRead_, 0) <= 1;
  int counted = 0;
  for (int attempt = 0; attempt < Attempts() && alive_ && counted == 0 && !Interrupted(); ++attempt) {
    auto cutOff = Clock::now() + limits_.readWindow;
    std::chrono::milliseconds wait = Timeout();
    std::chrono::milliseconds slice = wait;
    auto waitStarted = Clock::now();
    for (;;) {
      if (!WaitForOutput(slice)) {
        // A device that sends without the pause that signals output is not silent, nor is one
        // whose output the session thread has not handled yet.
        bool silent = wait != Timeout() || SilentFor(wait, waitStarted) || !alive_ || Interrupted();
        if (silent) break;
        if (Clock::now() <= cutOff) {
          slice = kWaitSlice;
          continue;
        }
      } else {
        output_.Reset();
        bool waitsForInput = false;
        {
          std::lock_guard lock(conversation_.lock);
          counted = static_cast<int>(outputLines_.FreshCount());
          waitsForInput =
              mayEndEarly && counted > 0 && promptWatch_.Waits(outputLines_.Standing(), outputLines_.StandingFresh());
        }
        wait = slice = waitsForInput ? limits_.settle : std::chrono::milliseconds(Timeout());
        waitStarted = Clock::now();
      }
      if (Clock::now() > cutOff) {
        cutShort_ = true;
        EndConversation(ShellCut::ReadWindow,
                        "Device output did not pause within " + Seconds(limits_.readWindow) + "; conversation ended");
        break;
      }
    }
  }
  // A stop request ends the conversation at this read; what came so far is kept.
  if (Interrupted() && alive_) EndForStop();
  std::lock_guard lock(conversation_.lock);
  // Output that came with the end of the connection still counts.
  if (counted == 0 && !alive_) counted = static_cast<int>(outputLines_.FreshCount());
  return counted;
}

int CShellSession::ReadLines(std::vector<std::string>& lines) {
  int counted = Read();
  // Output cut short is never stored: it is not copied either.
  if (cutShort_) return counted;
  std::lock_guard lock(conversation_.lock);
  std::vector<std::string> fresh = outputLines_.Fresh();
  lines.insert(lines.end(), std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
  return counted;
}

OutputLines::Answer CShellSession::ReadAnswer() {
  Read();
  std::lock_guard lock(conversation_.lock);
  if (!outputLines_.AnyFresh()) return {};
  return outputLines_.SinceSend();
}

}  // namespace mirvale

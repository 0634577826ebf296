#include "service/shell_session.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "base/console.h"
#include "base/memory.h"
#include "base/timers.h"
#include "platform/event_log.h"
#include "remoteshell/backend_list.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/core/session_log.h"
#include "remoteshell/core/settings.h"
#include "remoteshell/net/network.h"
#include "service/service_log.h"
#include "service/shell_session_text.h"

namespace mirvale {
namespace {

// The client keeps process-wide state, and the session lock admits one conversation at a
// time, so the callbacks find theirs here.
std::atomic<CShellSession*> active{nullptr};

// Held from Open to Close.
std::mutex& SessionLock() {
  static std::mutex lock;
  return lock;
}

constexpr auto kPollTurn = std::chrono::milliseconds(1);
constexpr auto kWaitSlice = std::chrono::milliseconds(50);
constexpr size_t kUserNameLimit = 100;

void WipeText(std::string& text) {
  std::fill(text.begin(), text.end(), '\0');
  text.clear();
}

}  // namespace

CShellSession::CShellSession(const ManualEvent* serviceStop, ShellSessionLimits limits)
    : serviceStop_(serviceStop), limits_(limits) {}

CShellSession::~CShellSession() {
  if (thread_.joinable()) Close();
}

std::chrono::seconds CShellSession::Timeout() const { return std::chrono::seconds(std::max(1, settings_.m_nTimeout)); }

// A pool with no retries still gets its one attempt.
int CShellSession::Attempts() const { return std::max(1, settings_.m_nRetries); }

bool CShellSession::Open(const std::string& address, const ShellSettings& settings) {
  SessionLock().lock();
  host_ = address;
  settings_ = settings;
  session_default_port = settings.m_nShellPort;
  if (settings.m_bSsh) session_default_protocol = kProtocolSsh;
  if (settings.m_bTelnet) session_default_protocol = kProtocolTelnet;

  alive_ = false;
  stop_ = false;
  for (ManualEvent* signal : {&connected_, &ended_, &closed_, &output_, &prompt_}) signal->Reset();
  {
    std::lock_guard lock(guard_);
    lines_.clear();
    heldBytes_ = 0;
    overflow_ = false;
    outputSeen_ = false;
  }
  active = this;
  backend_set_output_sink(&CShellSession::OutputSink);
  try {
    thread_ = std::thread(&CShellSession::ThreadProc, this);
  } catch (const std::system_error&) {
    // Nothing escapes with the session lock held: the caller's Close gives it back.
    LogServiceWarning("Could not start thread CShellSession");
    return false;
  }

  // A connection that failed at once ends the thread; there is no need to wait it out.
  auto deadline = std::chrono::steady_clock::now() + Timeout();
  while (std::chrono::steady_clock::now() < deadline && !ended_.IsSet() && !closed_.IsSet() && !Stopping())
    if (connected_.WaitFor(kWaitSlice)) return true;
  return connected_.IsSet();
}

void CShellSession::Close() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  active = nullptr;
  WipeText(settings_.m_strShellPassword);
  WipeText(settings_.m_strPrivilegedPassword);
  SessionLock().unlock();
}

void CShellSession::ThreadProc() {
  settings_load_defaults("", &session_config);
  session_default_protocol = session_config.protocol;
  session_default_port = session_config.port;

  std::string host = settings_.m_bSsh ? settings_.m_strShellUser + "@" + host_ : host_;
  if (size_t at = host.rfind('@'); at != std::string::npos) {
    std::string user = host.substr(0, at);
    if (user.size() < kUserNameLimit) std::strcpy(session_config.user_name, user.c_str());
    host = host.substr(at + 1);
  }

  const SessionBackend* backend = backend_for_protocol(session_config.protocol);
  if (backend != nullptr) {
    net_startup();
    void* handle = nullptr;
    char* realHost = nullptr;
    const char* error = backend->open(nullptr, &handle, &session_config, host.c_str(), session_config.port,
                                      &realHost, session_config.tcp_no_delay, session_config.tcp_keepalives);
    checked_free(realHost);
    {
      std::lock_guard lock(guard_);
      backend_ = backend;
      handle_ = handle;
    }
    SessionLog* log = nullptr;
    if (error != nullptr) {
      platform::ReportEvent(kRemoteShellEventSource, platform::EventType::Warning,
                            "Connection to " + host + " failed: " + error);
      backend_event_line(nullptr, error);
    } else {
      alive_ = true;
      log = logging_open_context(nullptr, &session_config);
      backend->attach_log(handle, log);
      console_set_log_context(log);
      EventLoop();
    }
    {
      std::lock_guard lock(guard_);
      if (handle_ != nullptr) backend_->free(handle_);
      backend_ = nullptr;
      handle_ = nullptr;
    }
    console_set_log_context(nullptr);
    if (log != nullptr) logging_free_context(log);
    net_shutdown();
  }
  alive_ = false;
  ended_.Set();
}

void CShellSession::EventLoop() {
  bool readPending = false;
  while (!stop_) {
    net_wait(static_cast<int>(kPollTurn.count()));
    std::lock_guard lock(guard_);
    std::vector<int> handles;
    int cursor = 0;
    for (int handle = net_first_socket(&cursor); handle >= 0; handle = net_next_socket(&cursor))
      handles.push_back(handle);
    bool readThisTurn = false;
    bool alive = true;
    for (int handle : handles) {
      uint32_t codes[6];
      int count = net_socket_events(handle, codes);
      for (int i = 0; i < count; ++i) {
        bool clean = (codes[i] >> 16) == 0;
        uint32_t event = codes[i] & 0xFFFF;
        if (event == kNetEventConnect && clean) connected_.Set();
        if (event == kNetEventRead && clean) readPending = readThisTurn = true;
        if (!net_dispatch_event(handle, codes[i])) alive = false;
      }
    }
    if (overflow_ && alive_) {
      backend_event_line(nullptr, "Device output exceeded the limit; conversation ended");
      alive = false;
    }
    if (!alive) {
      alive_ = false;
      closed_.Set();
    }
    // Output has arrived and a whole turn passed without more; also when the socket that
    // brought it has closed since.
    if (outputSeen_ && readPending && !readThisTurn) {
      output_.Set();
      readPending = false;
    }
    uint32_t next = 0;
    timers_run_due(&next);
  }
}

int CShellSession::OutputSink(void*, int, const char* data, int length) {
  CShellSession* session = active;
  if (session == nullptr || length <= 0) return 0;
  // Called inside the session thread's dispatch, which holds guard_. The text is copied into
  // the line list at once, so nothing is held back: the back end may go on reading, unless the
  // device has sent more than any configuration holds, when the conversation is over and the
  // socket stays frozen.
  if (session->heldBytes_ + static_cast<size_t>(length) > session->limits_.heldTextLimit) {
    session->overflow_ = true;
    return kBackendFreezeThreshold + 1;
  }
  AppendOutputChunk(session->lines_, std::string_view(data, static_cast<size_t>(length)));
  session->heldBytes_ += static_cast<size_t>(length);
  session->outputSeen_ = true;
  return 0;
}

int CShellSession::AnswerPrompts(PromptSet* prompts) {
  CShellSession* session = active;
  if (session == nullptr || prompts == nullptr) return 0;
  session->prompt_.Set();
  for (int i = 0; i < prompts->count; ++i)
    std::memset(prompts->items[i]->reply, 0, static_cast<size_t>(prompts->items[i]->reply_size));
  if (prompts->count == 0 || prompts->items[0]->reply_size <= 0) return 0;
  Prompt* first = prompts->items[0];
  const std::string& password = session->settings_.m_strShellPassword;
  size_t length = std::min(password.size(), static_cast<size_t>(first->reply_size - 1));
  std::memcpy(first->reply, password.data(), length);
  return static_cast<int>(length);
}

bool CShellSession::Login() {
  std::vector<std::string> answer;
  if (settings_.m_bTelnet) {
    if (ReadLines(answer) == 0) return false;
    for (const std::string* text : {&settings_.m_strShellUser, &settings_.m_strShellPassword,
                                    &settings_.m_strPrivilegedCommand, &settings_.m_strPrivilegedPassword}) {
      if (text->empty()) continue;
      if (SendText(*text + "\r")) ReadLines(answer);
    }
    return alive_;
  }
  if (settings_.m_bSsh) {
    if (!prompt_.WaitFor(Timeout())) return false;
    if (ReadLines(answer) < 1) return false;
    return alive_;
  }
  return false;
}

void CShellSession::SendScript(const std::string& script) {
  for (const std::string& piece : ScriptPieces(script)) SendText(piece + "\r");
}

bool CShellSession::SendText(const std::string& text) {
  {
    std::lock_guard lock(guard_);
    lines_.clear();
    heldBytes_ = 0;
  }
  bool accepted = false;
  for (int attempt = 0; attempt < Attempts() && alive_ && !accepted; ++attempt) {
    std::lock_guard lock(guard_);
    if (handle_ == nullptr) break;
    backend_->send(handle_, text.data(), static_cast<int>(text.size()));
    accepted = backend_->can_send(handle_) != 0;
  }
  return accepted;
}

bool CShellSession::WaitForOutput(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Stopping()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (output_.WaitFor(std::min(left, std::chrono::milliseconds(kWaitSlice)))) return true;
  }
  return false;
}

int CShellSession::ReadLines(std::vector<std::string>& lines) {
  int counted = 0;
  for (int attempt = 0; attempt < Attempts() && alive_ && counted == 0 && !Stopping(); ++attempt) {
    auto cutOff = std::chrono::steady_clock::now() + limits_.readWindow;
    while (WaitForOutput(Timeout())) {
      output_.Reset();
      {
        std::lock_guard lock(guard_);
        counted = static_cast<int>(lines_.size());
      }
      if (std::chrono::steady_clock::now() > cutOff) {
        backend_event_line(nullptr, "Device output did not pause; conversation ended");
        alive_ = false;
        break;
      }
    }
  }
  std::lock_guard lock(guard_);
  // Output that came with the end of the connection still counts.
  if (counted == 0 && !alive_) counted = static_cast<int>(lines_.size());
  lines.insert(lines.end(), lines_.begin(), lines_.end());
  return counted;
}

}  // namespace mirvale

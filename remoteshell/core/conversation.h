#pragma once
// One remote-shell conversation: everything the client uses for one connection, passed as the
// front-end handle ("frontend") to every back end and front-end call. The owner (the service's
// shell session, a tool, a test) fills the hooks and the settings record, opens the back end
// with the conversation as its front end and runs the network layer on one thread of its own.
//
// Nothing of a conversation is process-wide. The network layer's sockets and the timers live
// with the thread that runs the conversation (its session thread), which binds it with
// ConversationScope so that calls made without a handle (the network layer's event lines) find
// it. Only the random pool and the host-key cache are shared, each behind its own lock.
#include <cstdint>
#include <mutex>
#include <string>

#include "remoteshell/core/session_config.h"

struct PromptSet;
struct SessionLog;
struct SessionBackend;

// Steps of a connection on its way to the session, for an owner that says why one never came up.
enum class ConnectionProgress {
  kViaProxy,   // the connection goes through a proxy
  kConnected,  // the first hop (the device, or the proxy) took the connection
  kProxied,    // the proxy connected through to the device
  kReceived,   // bytes arrived
  kIgnored,    // an SSH IGNORE message arrived
};

struct ConversationHooks {
  // Terminal output; returns the bytes the owner still holds (the back ends' freeze rule).
  int (*output)(void* owner, int is_stderr, const char* data, int length) = nullptr;
  // The prompt hook: login questions (user name, password, pass phrase, keyboard-interactive
  // answers, password change). The owner fills the replies; positive when answered, 0 when
  // cancelled, negative when the answer comes later.
  int (*prompt)(void* owner, PromptSet* prompts) = nullptr;
  // An event line besides the session log, for whoever watches a connection's steps.
  void (*event_line)(void* owner, const char* text) = nullptr;
  // The session with the device is up (through a proxy: the device, not the proxy).
  void (*connected)(void* owner) = nullptr;
  // The device refused the login (see backend_login_refused).
  void (*login_refused)(void* owner) = nullptr;
  // A fatal error of this connection; the conversation ends, the process goes on.
  void (*fatal)(void* owner, const char* message) = nullptr;
  // A step of the connection (on the session thread, inside a dispatch).
  void (*progress)(void* owner, ConnectionProgress step) = nullptr;
};

struct ShellConversation {
  void* owner = nullptr;
  ConversationHooks hooks;
  SessionConfig config{};
  SessionLog* log = nullptr;  // receives the event lines once set
  const SessionBackend* backend = nullptr;
  void* backend_handle = nullptr;
  // The device as "address:port", set by an owner that runs several conversations at once: it
  // then begins every event line of the conversation.
  std::string device;
  // Bytes read from the conversation's sockets so far: whether the device is still sending
  // while nothing reaches the terminal yet (a key exchange, a login).
  uint64_t bytes_received = 0;
  // Held by the session thread around each turn's poll list and dispatch, and by every other
  // thread around its calls into the back end and the event lines it writes.
  std::mutex lock;
};

// The conversation bound to the calling thread, else the thread's own default conversation
// (single-threaded users: tools and tests that never make one).
ShellConversation* conversation_current();
// The conversation a front-end handle names; none names the current one.
ShellConversation* conversation_of(void* frontend);

// The text of an event line of the conversation, named by its device when it has one.
std::string conversation_event_text(void* frontend, const char* text);

// Binds a conversation to the calling thread for the scope's life.
class ConversationScope {
 public:
  explicit ConversationScope(ShellConversation* conversation);
  ~ConversationScope();
  ConversationScope(const ConversationScope&) = delete;
  ConversationScope& operator=(const ConversationScope&) = delete;

 private:
  ShellConversation* previous_;
};

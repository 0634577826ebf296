#pragma once
// The record of one SSH conversation: each layer's state (in the headers below, by version and
// layer) and the identification exchange and session steps every layer uses. Everything of one
// conversation lives here, nothing in globals.
#include "remoteshell/ssh/ssh1_state.h"
#include "remoteshell/ssh/ssh2_transport_state.h"
#include "remoteshell/ssh/ssh2_userauth_state.h"
#include "remoteshell/ssh/ssh_channel_state.h"
#include "remoteshell/ssh/ssh_protocol.h"

struct SshSession {
  Socket* socket = nullptr;
  void* frontend = nullptr;
  void* line_discipline = nullptr;
  SessionLog* log = nullptr;
  KeepAlive* pinger = nullptr;
  SessionConfig config{};
  std::string host;
  int port = 22;
  int version = 0;
  SshState state = kSshBeforePackets;
  int exit_status = -1;
  int width = 80, height = 24;
  bool close_expected = false;
  bool clean_exit = false;
  bool random_held = false;
  bool throttled = false;
  int backlog = 0;
  unsigned quirks = 0;

  // Identification exchange.
  int ident_phase = 0;  // 0 start of line, 1 inside a non-SSH line, 2 collecting "SSH-" line
  std::string ident_line;
  size_t pre_banner = 0;
  std::string client_ident, server_ident;

  // SSH-2 packet layer.
  SshDirection out, in;
  WipedVector incoming;  // bytes not yet consumed into packets, decrypted in place
  size_t incoming_used = 0;
  size_t first_block_done = 0;  // bytes of the packet at the front already decrypted
  // While a question to the user is open nothing received is read: bytes wait in incoming.
  bool frozen = false;
  bool queueing = false;
  std::vector<SshQueuedPayload> queued;
  std::vector<unsigned char> deferred;
  uint64_t deferred_bytes = 0;
  uint64_t bytes_sent = 0, bytes_received = 0;
  uint64_t data_limit = 0;
  uint32_t last_incoming_sequence = 0;

  SshKexState kex;
  // The front end's questions (frontend.h), which may answer later through their callback.
  int (*weak_algorithm_question)(void* frontend, const char* kind, const char* name, PromptAnswerCallback callback,
                                 void* context) = weak_algorithm_prompt;
  int (*host_key_question)(void* frontend, const char* host, int port, const char* key_type, const char* key_text,
                           const char* fingerprint, PromptAnswerCallback callback,
                           void* context) = host_key_check_prompt;
  // The service asked for after the first key exchange ("ssh-userauth", or "ssh-connection"
  // with "SshNoAuth" or when user authentication is refused), and whether it was accepted.
  const char* service_requested = nullptr;
  bool service_accepted = false;
  // What follows the server's acceptance of "ssh-userauth" (user authentication, when it is
  // built); none ends the conversation there with an orderly DISCONNECT.
  void (*userauth_start)(SshSession* ssh) = nullptr;
  // Takes the packets after the service is accepted (user authentication, then the
  // connection protocol); false when the packet is not one it knows.
  bool (*packet_handler)(SshSession* ssh, const unsigned char* payload, size_t length) = nullptr;
  SshAuthState auth;
  SshChannel channel;                                        // the session channel
  std::map<uint32_t, std::unique_ptr<SshChannel>> channels;  // forwarded channels by local id
  std::vector<std::unique_ptr<SshPortForward>> forwardings;
  std::deque<SshPortForward*> remote_replies;  // "tcpip-forward" requests awaiting their reply
  X11Auth* x11_auth = nullptr;
  bool x11_enabled = false;
  bool agent_forwarding = false;  // the server accepted our agent-forwarding request
  int env_sent = 0, env_replies = 0, env_accepted = 0;
  // Asked for before the session ran: a window size the pty request did not carry, and EOF
  // (sent once the session channel's queue has drained; no data is taken after it).
  bool size_needed = false;
  bool eof_needed = false;
  bool eof_sent = false;
  Ssh1State ssh1;
};

// ---- identification and quirks (ssh_identification.cpp) ----
// Feeds received bytes to the identification exchange; returns how many it took (it stops
// after the line that ends the exchange). A failure closes the session.
size_t ssh_identification_receive(SshSession* ssh, const unsigned char* data, size_t length);
// The quirk bits for a server version line, logging each bit set.
unsigned ssh_detect_quirks(SshSession* ssh, const std::string& server_line);
// Compares protocol version texts as major then minor number.
int ssh_version_compare(const std::string& a, const std::string& b);

// ---- session (ssh_backend.cpp) ----
void ssh_event(SshSession* ssh, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Text for the user: the front end's error stream.
void ssh_write_error(SshSession* ssh, const char* text);
// A protocol error: logged, connection closed, reported as a fatal connection error.
void ssh_fatal(SshSession* ssh, const std::string& text);
// Our disconnect: DISCONNECT with the wire reason (when any) and an orderly close.
void ssh_disconnect(SshSession* ssh, const char* client_reason, const char* wire_reason, int code, bool clean);
// One complete SSH-2 packet (payload from its type byte) to its handler.
void ssh2_dispatch(SshSession* ssh, const unsigned char* payload, size_t length, uint32_t sequence);

// Each layer's steps, for the files that drive several layers.
#include "remoteshell/ssh/ssh1.h"
#include "remoteshell/ssh/ssh2_connection.h"
#include "remoteshell/ssh/ssh2_transport.h"
#include "remoteshell/ssh/ssh2_userauth.h"
#include "remoteshell/ssh/ssh_prompts.h"

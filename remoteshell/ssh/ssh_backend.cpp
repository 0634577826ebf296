// The SSH back end: opening, the socket's events, the transport messages every session
// handles (disconnect, ignore, debug, unimplemented), the orderly and the fatal end, and the
// back-end operations.
#include "remoteshell/ssh/ssh_backend.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "base/memory.h"
#include "base/timers.h"
#include "crypto/random_pool.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/settings_text.h"
#include "remoteshell/net/backend_connect.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

constexpr int kSshPort = 22;

SshSession* of(void* handle) { return static_cast<SshSession*>(handle); }

const char* const kDisconnectReasons[] = {"host not allowed to connect",
                                          "protocol error",
                                          "key exchange failed",
                                          "host authentication failed",
                                          "MAC error",
                                          "compression error",
                                          "service not available",
                                          "protocol version not supported",
                                          "host key not verifiable",
                                          "connection lost",
                                          "by application",
                                          "too many connections",
                                          "auth cancelled by user",
                                          "no more auth methods available",
                                          "illegal user name"};

// The closing path: no message means the server ended the connection.
void close_session(SshSession* ssh, const char* message) {
  ssh->state = kSshClosed;
  ssh2_connection_free(ssh);
  if (ssh->socket != nullptr) {
    socket_close(ssh->socket);
    ssh->socket = nullptr;
    backend_remote_exit(ssh->frontend);
  }
  std::string text = message != nullptr    ? message
                     : ssh->close_expected ? "Server closed network connection"
                                           : "Server unexpectedly closed network connection";
  if (ssh->close_expected && ssh->clean_exit) {
    backend_event_line(ssh->frontend, text.c_str());
    return;
  }
  backend_event_line(ssh->frontend, text.c_str());
  connection_fatal_exit(ssh->frontend, "%s", text.c_str());
}

void take_disconnect(SshSession* ssh, WireBuffer& body) {
  uint32_t code = body.get_uint32();
  std::string_view text = body.get_string();
  const char* reason = code >= 1 && code <= 15 ? kDisconnectReasons[code - 1] : nullptr;
  if (reason != nullptr)
    ssh_event(ssh, "Received disconnect message (%s)", reason);
  else
    ssh_event(ssh, "Received disconnect message (unknown type %u)", code);
  ssh_event(ssh, "Disconnection message text: %.*s", static_cast<int>(text.size()), text.data());
  std::string message = "Server sent disconnect message\ntype " + std::to_string(code) + " (" +
                        (reason != nullptr ? reason : "unknown") + "):\n\"" + std::string(text) + "\"";
  close_session(ssh, message.c_str());
}

// The server's answer to our service request. "ssh-userauth" refused: ask for
// "ssh-connection" instead; that refused too ends the conversation.
void take_service_reply(SshSession* ssh, uint8_t type) {
  bool connection = std::strcmp(ssh->service_requested, "ssh-connection") == 0;
  if (type != kMsgServiceAccept) {
    if (connection) return ssh_fatal(ssh, "Server refused service request");
    return ssh2_request_service(ssh, "ssh-connection");
  }
  ssh->service_accepted = true;
  if (connection) return ssh2_userauth_skip(ssh);
  if (ssh->userauth_start != nullptr) ssh->userauth_start(ssh);
}

void answer_unimplemented(SshSession* ssh, uint32_t sequence) {
  WireBuffer reply;
  reply.put_byte(kMsgUnimplemented);
  reply.put_uint32(sequence);
  ssh2_send_now(ssh, reply);
}

// ---- socket events ----

void sink_log(void* context, int type, NetAddress* address, int port, const char* error_text, int) {
  backend_log_connect_attempt(of(context)->frontend, type, address, port, error_text);
}

int sink_closing(void* context, const char* error_text, int, int) {
  SshSession* ssh = of(context);
  if (ssh->state != kSshClosed) close_session(ssh, error_text);
  return 0;
}

int sink_receive(void* context, int, const char* data, int length) {
  SshSession* ssh = of(context);
  auto* bytes = reinterpret_cast<const unsigned char*>(data);
  size_t size = static_cast<size_t>(length);
  if (ssh->state == kSshBeforePackets && ssh->version == 0) {
    size_t used = ssh_identification_receive(ssh, bytes, size);
    bytes += used;
    size -= used;
  }
  if (ssh->state != kSshClosed && ssh->version == 2 && size > 0) ssh2_receive(ssh, bytes, size);
  if (ssh->state != kSshClosed && ssh->version == 1 && size > 0) ssh1_receive(ssh, bytes, size);
  return ssh->state == kSshClosed ? 0 : 1;
}

void sink_sent(void* context, int buffered) {
  SshSession* ssh = of(context);
  ssh->backlog = buffered;
  if (buffered >= kSshThrottleBacklog || !ssh->throttled) return;
  ssh->throttled = false;
  ssh2_forwarded_unthrottle_all(ssh);
}

// The device session is up only once the first key exchange has ended (ssh2_kex.cpp), not
// when the socket connects.
const SocketEventSink kSshSink = {
    .log = sink_log,
    .closing = sink_closing,
    .receive = sink_receive,
    .sent = sink_sent,
    .accepting = nullptr,
    .connected = nullptr,
};

// ---- back-end operations ----

const char* ssh_open(void* frontend, void** handle, SessionConfig* config, const char* host, int port,
                     char** canonical_host, int no_delay, int keep_alive) {
  auto* ssh = new SshSession();
  ssh->frontend = frontend;
  ssh->config = *config;
  ssh->width = config->terminal_width;
  ssh->height = config->terminal_height;
  ssh->data_limit = parse_block_size(config->rekey_data);
  ssh->in.outgoing = false;
  ssh->host = host;
  ssh->port = port < 0 ? kSshPort : port;
  ssh->userauth_start = ssh2_userauth_start;
  ssh->channel.ssh = ssh;
  *handle = ssh;
  BackendConnectRequest request{
      frontend, config, host, ssh->port, 0, 1, no_delay, keep_alive, SocketOwner{&kSshSink, ssh}};
  if (const char* error = backend_connect(request, &ssh->socket, canonical_host)) return error;
  random_acquire();
  ssh->random_held = true;
  return nullptr;
}

void ssh_free(void* handle) {
  SshSession* ssh = of(handle);
  ssh_direction_reset(ssh->out);
  ssh_direction_reset(ssh->in);
  ssh_direction_reset(ssh->kex.pending_out);
  ssh_direction_reset(ssh->kex.pending_in);
  ssh2_kex_clear(ssh->kex);
  ssh1_free(ssh);
  explicit_bzero(ssh->auth.password.data(), ssh->auth.password.size());
  ssh2_connection_free(ssh);
  if (ssh->socket != nullptr) socket_close(ssh->socket);
  keepalive_free(ssh->pinger);
  timer_expire_context(ssh);
  if (ssh->random_held) random_release();
  delete ssh;
}

void ssh_reconfigure(void* handle, SessionConfig* config) {
  SshSession* ssh = of(handle);
  if (ssh->pinger != nullptr) keepalive_reconfigure(ssh->pinger, &ssh->config, config);
  const char* reason = nullptr;
  if (config->rekey_time != ssh->config.rekey_time && ssh->version == 2)
    reason = ssh2_rekey_time_changed(ssh, config->rekey_time);
  uint64_t limit = parse_block_size(config->rekey_data);
  bool ciphers_changed =
      config->ssh2_des_cbc != ssh->config.ssh2_des_cbc ||
      std::equal(config->cipher_list, config->cipher_list + kCipherCount, ssh->config.cipher_list) == false;
  if (limit != 0 && limit != ssh->data_limit && (limit < ssh->bytes_sent || limit < ssh->bytes_received))
    reason = "data limit lowered";
  else if (ciphers_changed)
    reason = "cipher settings changed";
  else if (config->compression != ssh->config.compression)
    reason = "compression setting changed";
  bool forwardings_changed =
      std::memcmp(config->port_forwardings, ssh->config.port_forwardings, sizeof config->port_forwardings) != 0;
  ssh->config = *config;
  ssh->data_limit = limit;
  if (forwardings_changed && ssh->state == kSshSession && ssh->version == 2) ssh_setup_port_forwardings(ssh);
  if (reason == nullptr || ssh->version != 2) return;
  if (!ssh->kex.in_progress)
    ssh2_rekey(ssh, reason);
  else if (std::string_view(reason) != "data limit lowered")
    ssh->kex.deferred_reason = reason;
}

// Data for the session channel; what stays queued there and in the socket.
int ssh_send(void* handle, const char* data, int length) {
  SshSession* ssh = of(handle);
  if (ssh->socket == nullptr || ssh->state == kSshClosed) return 0;
  if (ssh->version == 1) {
    ssh1_session_send(ssh, data, length);
    return ssh->throttled ? ssh->backlog : 0;
  }
  int queued = ssh2_channel_send(ssh, data, length);
  return queued + (ssh->throttled ? ssh->backlog : 0);
}

int ssh_buffered_size(void* handle) {
  SshSession* ssh = of(handle);
  if (ssh->socket == nullptr) return 0;
  return static_cast<int>(ssh->channel.outgoing.size()) + (ssh->throttled ? ssh->backlog : 0);
}

void ssh_resize(void* handle, int width, int height) {
  SshSession* ssh = of(handle);
  ssh->width = width;
  ssh->height = height;
  if (ssh->version == 1 && ssh->socket != nullptr) ssh1_resize(ssh);
  if (ssh->version == 2 && ssh->socket != nullptr) ssh2_resize(ssh);
}

// SSH-1 has no break, and IGNORE only for servers that can take it.
void ssh1_send_special(SshSession* ssh, int code) {
  if (code == kSpecialBreak) {
    ssh_event(ssh, "Unable to send BREAK signal in SSH-1");
  } else if ((code == kSpecialNoOperation || code == kSpecialKeepAlive) && (ssh->quirks & kQuirkIgnore1) == 0) {
    WireBuffer ignore;
    ignore.put_string("");
    ssh1_send(ssh, kSsh1Ignore, ignore);
  } else if (code == kSpecialEndOfFile) {
    ssh1_send_eof(ssh);
  }
}

void ssh_send_special(void* handle, int code) {
  SshSession* ssh = of(handle);
  if (ssh->state == kSshBeforePackets || ssh->state == kSshClosed) return;
  if (ssh->version == 1) return ssh1_send_special(ssh, code);
  if (ssh->version != 2) return;
  if (code == kSpecialNoOperation || code == kSpecialKeepAlive) {
    WireBuffer ignore;
    ignore.put_byte(kMsgIgnore);
    ignore.put_string("");
    ssh2_send_now(ssh, ignore);
  } else if (code == kSpecialRepeatKeyExchange) {
    if (!ssh->kex.in_progress) ssh2_rekey(ssh, "at user request");
  } else if (code == kSpecialEndOfFile) {
    if (!ssh->config.ssh_no_shell) ssh2_send_eof(ssh);
  } else {
    ssh2_send_session_control(ssh, code);
  }
}

const SpecialEntry kSsh2Specials[] = {
    {"IGNORE message", kSpecialNoOperation},
    {"Repeat key exchange", kSpecialRepeatKeyExchange},
    {nullptr, kSpecialEndOfMenu},
};

// With a session channel: its break and signals, the rarer signals in a submenu.
const SpecialEntry kSsh2SessionSpecials[] = {
    {"IGNORE message", kSpecialNoOperation},
    {"Repeat key exchange", kSpecialRepeatKeyExchange},
    {nullptr, kSpecialSeparator},
    {"Break", kSpecialBreak},
    {"SIGINT (Interrupt)", kSpecialSignalInt},
    {"SIGTERM (Terminate)", kSpecialSignalTerm},
    {"SIGKILL (Kill)", kSpecialSignalKill},
    {"SIGQUIT (Quit)", kSpecialSignalQuit},
    {"SIGHUP (Hangup)", kSpecialSignalHup},
    {"More signals", kSpecialSubmenu},
    {"SIGABRT", kSpecialSignalAbrt},
    {"SIGALRM", kSpecialSignalAlrm},
    {"SIGFPE", kSpecialSignalFpe},
    {"SIGILL", kSpecialSignalIll},
    {"SIGPIPE", kSpecialSignalPipe},
    {"SIGSEGV", kSpecialSignalSegv},
    {"SIGUSR1", kSpecialSignalUsr1},
    {"SIGUSR2", kSpecialSignalUsr2},
    {nullptr, kSpecialEndOfMenu},
    {nullptr, kSpecialEndOfMenu},
};

const SpecialEntry kSsh1Specials[] = {
    {"IGNORE message", kSpecialNoOperation},
    {nullptr, kSpecialEndOfMenu},
};
const SpecialEntry kNoSpecials[] = {{nullptr, kSpecialEndOfMenu}};

const SpecialEntry* ssh_special_list(void* handle) {
  SshSession* ssh = of(handle);
  if (ssh->version != 1) {
    bool session_channel = ssh->channel.step != kChannelNone && ssh->channel.step != kChannelClosed;
    return session_channel ? kSsh2SessionSpecials : kSsh2Specials;
  }
  return (ssh->quirks & kQuirkIgnore1) != 0 ? kNoSpecials : kSsh1Specials;
}
int ssh_is_connected(void* handle) { return of(handle)->socket != nullptr; }

int ssh_exit_code(void* handle) {
  SshSession* ssh = of(handle);
  if (ssh->socket != nullptr) return -1;
  return ssh->exit_status < 0 ? 0 : ssh->exit_status;
}

int ssh_can_send(void* handle) {
  SshSession* ssh = of(handle);
  if (ssh->version == 1) return ssh->socket != nullptr && ssh->state == kSshSession;
  return ssh->socket != nullptr && ssh->state == kSshSession && ssh->channel.step == kChannelOpen && !ssh->eof_needed;
}
// Local echo (1) and local editing (0) go together: on only for SSH-1 without a pty.
int ssh_line_option(void* handle, int option) {
  return (option == 0 || option == 1) && of(handle)->ssh1.local_echo_editing ? 1 : 0;
}
void ssh_attach_line_discipline(void* handle, void* line_discipline) { of(handle)->line_discipline = line_discipline; }
void ssh_attach_log(void* handle, SessionLog* log) { of(handle)->log = log; }
void ssh_unthrottle(void* handle, int backlog) {
  SshSession* ssh = of(handle);
  if (ssh->state == kSshClosed) return;
  if (ssh->version == 1)
    ssh1_unthrottle(ssh, backlog);
  else
    ssh2_channel_unthrottle(ssh, backlog);
}
int ssh_config_info(void* handle) { return of(handle)->version; }

}  // namespace

void ssh_event(SshSession* ssh, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* text = text_format_va(format, arguments);
  va_end(arguments);
  backend_event_line(ssh->frontend, text);
  checked_free(text);
}

void ssh_write_error(SshSession* ssh, const char* text) {
  backend_output(ssh->frontend, 1, text, static_cast<int>(std::strlen(text)));
}

void ssh_fatal(SshSession* ssh, const std::string& text) {
  if (ssh->state != kSshClosed) close_session(ssh, text.c_str());
}

void ssh_disconnect(SshSession* ssh, const char* client_reason, const char* wire_reason, int code, bool clean) {
  if (ssh->state == kSshClosed) return;
  const char* reason = client_reason != nullptr ? client_reason : wire_reason;
  std::string message = reason != nullptr ? std::string("Disconnected: ") + reason : "Disconnected";
  if (wire_reason != nullptr && ssh->version == 2 && ssh->socket != nullptr) {
    WireBuffer packet;
    packet.put_byte(kMsgDisconnect);
    packet.put_uint32(static_cast<uint32_t>(code));
    packet.put_string(wire_reason);
    packet.put_string("en");
    ssh2_send_now(ssh, packet);
  }
  if (wire_reason != nullptr && ssh->version == 1 && ssh->socket != nullptr) {
    WireBuffer packet;
    packet.put_string(wire_reason);
    ssh1_send(ssh, kSsh1Disconnect, packet);
  }
  ssh->close_expected = true;
  ssh->clean_exit = clean;
  close_session(ssh, message.c_str());
}

void ssh2_dispatch(SshSession* ssh, const unsigned char* payload, size_t length, uint32_t sequence) {
  uint8_t type = payload[0];
  WireBuffer body(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
  switch (type) {
    case kMsgDisconnect: return take_disconnect(ssh, body);
    case kMsgIgnore: return backend_progress(ssh->frontend, ConnectionProgress::kIgnored);
    case kMsgDebug: {
      body.get_bool();
      std::string_view text = body.get_string();
      ssh_event(ssh, "Remote debug message: %.*s", static_cast<int>(text.size()), text.data());
      return;
    }
    case kMsgUnimplemented:
      if (ssh2_kex_unimplemented(ssh, body.get_uint32())) return;
      break;
    default: break;
  }
  if (!ssh->kex.first_done || (type >= 20 && type <= 49)) return ssh2_kex_packet(ssh, payload, length);
  if (!ssh->service_accepted && ssh->service_requested != nullptr) return take_service_reply(ssh, type);
  if (ssh->packet_handler != nullptr && ssh->packet_handler(ssh, payload, length)) return;
  if (type != kMsgUnimplemented) answer_unimplemented(ssh, sequence);
}

const SessionBackend ssh_backend = {
    .open = ssh_open,
    .free = ssh_free,
    .reconfigure = ssh_reconfigure,
    .send = ssh_send,
    .buffered_size = ssh_buffered_size,
    .resize = ssh_resize,
    .send_special = ssh_send_special,
    .special_list = ssh_special_list,
    .is_connected = ssh_is_connected,
    .exit_code = ssh_exit_code,
    .can_send = ssh_can_send,
    .line_option = ssh_line_option,
    .attach_line_discipline = ssh_attach_line_discipline,
    .attach_log = ssh_attach_log,
    .unthrottle = ssh_unthrottle,
    .config_info = ssh_config_info,
    .default_port = kSshPort,
};

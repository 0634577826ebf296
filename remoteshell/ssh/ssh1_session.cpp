// The SSH-1 session once logged in: agent and X11 forwarding, port forwardings, pty, compression,
// shell or command, data both ways with the front end's throttle, the exit status and the
// orderly end. The forwarded channels themselves are in ssh1_channels.cpp.
#include <algorithm>
#include <cstring>

#include "platform/ssh_agent.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/net/x11_forward.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

constexpr size_t kStdinPiece = 512;
constexpr uint32_t kCompressionLevel = 6;
enum : uint8_t { kModeIspeed = 192, kModeOspeed = 193, kModeEnd = 0 };

void echo_and_edit_locally(SshSession* ssh) {
  ssh->ssh1.local_echo_editing = true;
  backend_line_discipline_refresh(ssh->line_discipline);
}

void send_window_size(SshSession* ssh) {
  WireBuffer size;
  size.put_uint32(static_cast<uint32_t>(ssh->height));
  size.put_uint32(static_cast<uint32_t>(ssh->width));
  size.put_uint32(0);
  size.put_uint32(0);
  ssh1_send(ssh, kSsh1WindowSize, size);
}

void start_shell(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  if (ssh->config.remote_command[0] != '\0') {
    WireBuffer command;
    command.put_string(ssh->config.remote_command);
    ssh1_send(ssh, kSsh1ExecCmd, command);
  } else {
    ssh1_send(ssh, kSsh1ExecShell, WireBuffer());
  }
  ssh_event(ssh, "Started session");
  ssh->state = kSshSession;
  state.step = kSsh1Running;
  if (state.size_needed && !ssh->config.no_pty) send_window_size(ssh);
  if (state.eof_needed) ssh1_send(ssh, kSsh1Eof, WireBuffer());
  state.size_needed = state.eof_needed = false;
  backend_line_discipline_refresh(ssh->line_discipline);
}

void request_compression(SshSession* ssh) {
  if (!ssh->config.compression) return start_shell(ssh);
  WireBuffer level;
  level.put_uint32(kCompressionLevel);
  ssh1_send(ssh, kSsh1RequestCompression, level);
  ssh->ssh1.step = kSsh1AwaitCompressionReply;
}

void take_compression_reply(SshSession* ssh, uint8_t type) {
  if (type == kSsh1Failure) {
    ssh_write_error(ssh, "Server refused to compress\r\n");
    return start_shell(ssh);
  }
  if (type != kSsh1Success) return ssh_fatal(ssh, "Protocol confusion");
  ssh_event(ssh, "Started compression");
  Ssh1PacketLayer& layer = ssh->ssh1.layer;
  layer.compression = &ssh_zlib;
  layer.compress_ctx = ssh_zlib.compress_new();
  layer.decompress_ctx = ssh_zlib.decompress_new();
  ssh_event(ssh, "Initialised zlib (RFC1950) compression");
  ssh_event(ssh, "Initialised zlib (RFC1950) decompression");
  start_shell(ssh);
}

void request_pty(SshSession* ssh) {
  if (ssh->config.no_pty) {
    echo_and_edit_locally(ssh);
    return request_compression(ssh);
  }
  int ospeed = 0, ispeed = 0;
  ssh_terminal_speeds(ssh->config, &ospeed, &ispeed);
  WireBuffer request;
  request.put_string(ssh->config.terminal_type);
  request.put_uint32(static_cast<uint32_t>(ssh->height));
  request.put_uint32(static_cast<uint32_t>(ssh->width));
  request.put_uint32(0);
  request.put_uint32(0);
  ssh_encode_terminal_modes(ssh->config, false, request);
  request.put_byte(kModeIspeed);
  request.put_uint32(static_cast<uint32_t>(ispeed));
  request.put_byte(kModeOspeed);
  request.put_uint32(static_cast<uint32_t>(ospeed));
  request.put_byte(kModeEnd);
  ssh1_send(ssh, kSsh1RequestPty, request);
  ssh->state = kSshIntermediate;
  ssh->ssh1.step = kSsh1AwaitPtyReply;
}

void take_pty_reply(SshSession* ssh, uint8_t type) {
  if (type == kSsh1Success) {
    int ospeed = 0, ispeed = 0;
    ssh_terminal_speeds(ssh->config, &ospeed, &ispeed);
    ssh_event(ssh, "Allocated pty (ospeed %dbps, ispeed %dbps)", ospeed, ispeed);
  } else if (type == kSsh1Failure) {
    ssh_write_error(ssh, "Server refused to allocate pty\r\n");
    echo_and_edit_locally(ssh);
  } else {
    return ssh_fatal(ssh, "Protocol confusion");
  }
  request_compression(ssh);
}

void take_output(SshSession* ssh, uint8_t type, WireBuffer& body) {
  std::string_view data = body.get_string();
  if (body.failed()) return ssh_fatal(ssh, "Incoming terminal data packet was badly formed");
  int backlog = backend_output(ssh->frontend, type == kSsh1StderrData ? 1 : 0, data.data(),
                               static_cast<int>(data.size()));
  Ssh1State& state = ssh->ssh1;
  if (backlog > kSshThrottleBacklog && !state.stdout_throttled && ssh->socket != nullptr) {
    state.stdout_throttled = true;
    socket_set_frozen(ssh->socket, 1);
  }
}

void take_exit_status(SshSession* ssh, WireBuffer& body) {
  ssh->exit_status = static_cast<int>(body.get_uint32());
  ssh_event(ssh, "Server sent command exit status %d", ssh->exit_status);
  ssh1_send(ssh, kSsh1ExitConfirmation, WireBuffer());
  ssh_disconnect(ssh, nullptr, nullptr, 0, true);
}

// Port forwardings, then the pty; the servers' replies to remote forwarding requests come
// before the pty's and are matched in order.
void set_up_forwardings(SshSession* ssh) {
  ssh_setup_port_forwardings(ssh);
  request_pty(ssh);
}

// The server's protocol flag saying X11 requests carry the screen number.
constexpr uint32_t kSsh1ScreenNumberFlag = 1;

void request_x11(SshSession* ssh) {
  if (!ssh->config.x11_forward) return set_up_forwardings(ssh);
  ssh_event(ssh, "Requesting X11 forwarding");
  char name[32], cookie[40];
  ssh->x11_auth = x11_invent_auth(name, sizeof name, cookie, sizeof cookie, ssh->config.x11_auth);
  x11_auth_prepare(ssh->x11_auth, ssh->config.x11_display);
  WireBuffer request;
  request.put_string(name);
  size_t cookie_at = request.bytes().size() + 4;  // the cookie is blanked in the session log
  request.put_string(cookie);
  size_t cookie_length = std::strlen(cookie);
  if (ssh->ssh1.protocol_flags & kSsh1ScreenNumberFlag)
    request.put_uint32(static_cast<uint32_t>(x11_screen_number(x11_display_name(ssh->config.x11_display).c_str())));
  ssh1_send(ssh, kSsh1X11RequestForwarding, request, cookie_at, cookie_length);
  explicit_bzero(cookie, sizeof cookie);
  ssh->ssh1.step = kSsh1AwaitX11Reply;
}

// SUCCESS or FAILURE to an agent or X11 forwarding request, noted in the flag; then the next step.
void take_forwarding_reply(SshSession* ssh, uint8_t type, bool* enabled, const char* what, void (*next)(SshSession*)) {
  if (type != kSsh1Success && type != kSsh1Failure) return ssh_fatal(ssh, "Protocol confusion");
  *enabled = type == kSsh1Success;
  ssh_event(ssh, "%s forwarding %s", what, *enabled ? "enabled" : "refused");
  next(ssh);
}

void request_agent_forwarding(SshSession* ssh) {
  if (!ssh->config.agent_forwarding || !agent_exists()) return request_x11(ssh);
  ssh_event(ssh, "Requesting agent forwarding");
  ssh1_send(ssh, kSsh1AgentRequestForwarding, WireBuffer());
  ssh->ssh1.step = kSsh1AwaitAgentForwardingReply;
}

}  // namespace

void ssh1_session_start(SshSession* ssh) { request_agent_forwarding(ssh); }

void ssh1_session_packet(SshSession* ssh, uint8_t type, WireBuffer& body) {
  Ssh1State& state = ssh->ssh1;
  if ((type == kSsh1Success || type == kSsh1Failure) && !ssh->remote_replies.empty())
    return ssh2_take_remote_forward_reply(ssh, type == kSsh1Success);
  if (state.step == kSsh1AwaitAgentForwardingReply)
    return take_forwarding_reply(ssh, type, &ssh->agent_forwarding, "Agent", request_x11);
  if (state.step == kSsh1AwaitX11Reply)
    return take_forwarding_reply(ssh, type, &ssh->x11_enabled, "X11", set_up_forwardings);
  if (state.step == kSsh1AwaitPtyReply) return take_pty_reply(ssh, type);
  if (state.step == kSsh1AwaitCompressionReply) return take_compression_reply(ssh, type);
  switch (type) {
    case kSsh1StdoutData:
    case kSsh1StderrData: return take_output(ssh, type, body);
    case kSsh1ExitStatus: return take_exit_status(ssh, body);
    case kSsh1Success:
    case kSsh1Failure: return;
    default:
      if (ssh1_channel_packet(ssh, type, body)) return;
      return ssh_fatal(ssh, "Strange packet received: type " + std::to_string(type));
  }
}

void ssh1_session_send(SshSession* ssh, const char* data, int length) {
  if (ssh->ssh1.step != kSsh1Running || length <= 0) return;
  for (size_t at = 0; at < static_cast<size_t>(length) && ssh->state != kSshClosed; at += kStdinPiece) {
    WireBuffer piece;
    piece.put_string(data + at, std::min(kStdinPiece, static_cast<size_t>(length) - at));
    ssh1_send(ssh, kSsh1StdinData, piece);
  }
}

void ssh1_unthrottle(SshSession* ssh, int backlog) {
  Ssh1State& state = ssh->ssh1;
  if (!state.stdout_throttled || backlog >= kSshThrottleBacklog || ssh->socket == nullptr) return;
  state.stdout_throttled = false;
  if (state.throttle_count == 0) socket_set_frozen(ssh->socket, 0);
}

void ssh1_resize(SshSession* ssh) {
  if (ssh->state == kSshIntermediate) ssh->ssh1.size_needed = true;
  if (ssh->state == kSshSession && !ssh->config.no_pty) send_window_size(ssh);
}

void ssh1_send_eof(SshSession* ssh) {
  if (ssh->state != kSshSession) {
    ssh->ssh1.eof_needed = true;
    return;
  }
  ssh1_send(ssh, kSsh1Eof, WireBuffer());
  ssh_event(ssh, "Sent EOF message");
}

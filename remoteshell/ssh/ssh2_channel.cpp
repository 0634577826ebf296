// SSH-2 connection protocol: the session channel's set-up (X11 request, forwardings, agent
// forwarding, terminal,
// environment, shell or command), its data both ways under the windows, exit status and close,
// and the dispatch of every channel message. Messages for channels we do not hold are logged
// and ignored, never acted on.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "remoteshell/core/backend.h"
#include "remoteshell/net/port_forward.h"
#include "remoteshell/net/x11_forward.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

// Our own cap on one data packet, whatever the server allows.
constexpr uint32_t kDataChunkLimit = 32768;

void request_x11(SshSession* ssh) {
  ssh_event(ssh, "Requesting X11 forwarding");
  char name[32], cookie[40];
  ssh->x11_auth = x11_invent_auth(name, sizeof name, cookie, sizeof cookie, ssh->config.x11_auth);
  x11_auth_prepare(ssh->x11_auth, ssh->config.x11_display);
  WireBuffer request;
  ssh2_put_channel_request(request, ssh->channel, "x11-req", true);
  request.put_bool(false);
  request.put_string(name);
  size_t secret_from = request.bytes().size();  // the cookie is blanked in the session log
  request.put_string(cookie);
  request.put_uint32(static_cast<uint32_t>(x11_screen_number(x11_display_name(ssh->config.x11_display).c_str())));
  ssh2_send(ssh, request, secret_from);
  explicit_bzero(cookie, sizeof cookie);
}

void request_pty(SshSession* ssh) {
  int ospeed = 0, ispeed = 0;
  ssh_terminal_speeds(ssh->config, &ospeed, &ispeed);
  WireBuffer request;
  ssh2_put_channel_request(request, ssh->channel, "pty-req", true);
  request.put_string(ssh->config.terminal_type);
  request.put_uint32(static_cast<uint32_t>(ssh->width));
  request.put_uint32(static_cast<uint32_t>(ssh->height));
  request.put_uint32(0);
  request.put_uint32(0);
  WireBuffer modes;
  ssh_encode_terminal_modes(ssh->config, true, modes);
  modes.put_byte(128);
  modes.put_uint32(static_cast<uint32_t>(ispeed));
  modes.put_byte(129);
  modes.put_uint32(static_cast<uint32_t>(ospeed));
  modes.put_byte(0);
  request.put_string(modes.bytes().data(), modes.bytes().size());
  ssh2_send(ssh, request);
}

// One "env" request per "Environment" entry; false when there is none.
bool request_environment(SshSession* ssh) {
  auto entries = ssh_list_entries(ssh->config.environment, sizeof ssh->config.environment);
  if (entries.empty()) return false;
  for (const auto& [name, value] : entries) {
    WireBuffer request;
    ssh2_put_channel_request(request, ssh->channel, "env", true);
    request.put_string(name);
    request.put_string(value);
    ssh2_send(ssh, request);
  }
  ssh->env_sent = static_cast<int>(entries.size());
  ssh->env_replies = ssh->env_accepted = 0;
  ssh_event(ssh, "Sent %d environment variables", ssh->env_sent);
  return true;
}

void request_shell(SshSession* ssh) {
  WireBuffer request;
  if (ssh->config.remote_command[0] != '\0') {
    ssh2_put_channel_request(request, ssh->channel, "exec", true);
    request.put_string(ssh->config.remote_command);
  } else {
    ssh2_put_channel_request(request, ssh->channel, "shell", true);
  }
  ssh2_send(ssh, request);
}

// The set-up requests in their order, from the one after `done`; each waits for its reply.
void request_next(SshSession* ssh, SshChannelStep done) {
  SshChannel& channel = ssh->channel;
  if (done == kChannelOpening && ssh->config.x11_forward) {
    request_x11(ssh);
    channel.step = kChannelX11;
    return;
  }
  if (done <= kChannelX11) {
    ssh_setup_port_forwardings(ssh);
    if (ssh2_request_agent_forwarding(ssh)) {
      channel.step = kChannelAgentForward;
      return;
    }
  }
  if (done <= kChannelAgentForward && !ssh->config.no_pty) {
    request_pty(ssh);
    channel.step = kChannelPty;
    return;
  }
  if (done <= kChannelPty && request_environment(ssh)) {
    channel.step = kChannelEnvironment;
    return;
  }
  request_shell(ssh);
  channel.step = kChannelShell;
}

void take_environment_reply(SshSession* ssh, uint8_t type) {
  if (type == kMsgChannelSuccess) ++ssh->env_accepted;
  if (++ssh->env_replies < ssh->env_sent) return;
  if (ssh->env_accepted == ssh->env_sent) {
    ssh_event(ssh, "All environment variables successfully set");
  } else if (ssh->env_accepted == 0) {
    ssh_event(ssh, "All environment variables refused");
    ssh_write_error(ssh, "Server refused to set environment variables\r\n");
  } else {
    ssh_event(ssh, "%d environment variables refused", ssh->env_sent - ssh->env_accepted);
    ssh_write_error(ssh, "Server refused to set all environment variables\r\n");
  }
  request_next(ssh, kChannelEnvironment);
}

// The replies that move the session channel through its set-up.
void take_setup_reply(SshSession* ssh, uint8_t type, WireBuffer& body) {
  SshChannel& channel = ssh->channel;
  switch (channel.step) {
    case kChannelOpening:
      if (type != kMsgOpenConfirmation) return ssh_fatal(ssh, "Server refused to open a session");
      if (body.get_uint32() != channel.local_id)
        return ssh_fatal(ssh, "Server's channel confirmation cited wrong channel");
      channel.remote_id = body.get_uint32();
      channel.remote_window = body.get_uint32();
      channel.remote_max_packet = body.get_uint32();
      if (body.failed()) return ssh_fatal(ssh, "Server refused to open a session");
      ssh_event(ssh, "Opened channel for session");
      return request_next(ssh, kChannelOpening);
    case kChannelX11:
      ssh->x11_enabled = type == kMsgChannelSuccess;
      ssh_event(ssh, ssh->x11_enabled ? "X11 forwarding enabled" : "X11 forwarding refused");
      return request_next(ssh, kChannelX11);
    case kChannelAgentForward:
      ssh->agent_forwarding = type == kMsgChannelSuccess;
      ssh_event(ssh, ssh->agent_forwarding ? "Agent forwarding enabled" : "Agent forwarding refused");
      return request_next(ssh, kChannelAgentForward);
    case kChannelPty:
      if (type == kMsgChannelSuccess) {
        int ospeed = 0, ispeed = 0;
        ssh_terminal_speeds(ssh->config, &ospeed, &ispeed);
        ssh_event(ssh, "Allocated pty (ospeed %dbps, ispeed %dbps)", ospeed, ispeed);
      } else {
        ssh_write_error(ssh, "Server refused to allocate pty\r\n");
      }
      return request_next(ssh, kChannelPty);
    case kChannelEnvironment: return take_environment_reply(ssh, type);
    case kChannelShell:
      if (type != kMsgChannelSuccess) return ssh_fatal(ssh, "Server refused to start a shell/command");
      ssh_event(ssh, "Started a shell/command");
      channel.step = kChannelOpen;
      ssh->state = kSshSession;
      ssh2_session_started(ssh);
      return;
    default: return;
  }
}

void take_data(SshChannel* channel, WireBuffer& body, bool extended) {
  SshSession* ssh = channel->ssh;
  uint32_t data_type = extended ? body.get_uint32() : 0;
  std::string_view data = body.get_string();
  if (body.failed()) return ssh_fatal(ssh, "Malformed channel data from server");
  channel->local_window -= std::min<uint32_t>(channel->local_window, static_cast<uint32_t>(data.size()));
  // Only standard error is taken among the extended types; the others still use the window.
  if (extended && data_type != 1) return ssh2_adjust_local_window(channel, 0);
  if (channel->type != kChannelMain) return ssh2_forwarded_data(channel, data);
  int backlog = backend_output(ssh->frontend, extended ? 1 : 0, data.data(), static_cast<int>(data.size()));
  ssh2_adjust_local_window(channel, backlog);
}

void log_exit_signal(SshSession* ssh, WireBuffer& body) {
  // The signal comes as a name (RFC 4254) or, from older servers, as a number.
  WireBuffer by_name(body.position(), static_cast<std::ptrdiff_t>(body.remaining()));
  std::string_view name = by_name.get_string();
  bool core = by_name.get_bool();
  std::string_view message = by_name.get_string();
  by_name.get_string();
  if (!by_name.failed() && by_name.remaining() == 0) {
    ssh_event(ssh, "Server exited on signal \"%.*s\"%s%s%.*s%s", static_cast<int>(name.size()), name.data(),
              core ? " (core dumped)" : "", message.empty() ? "" : " (\"", static_cast<int>(message.size()),
              message.data(), message.empty() ? "" : "\")");
    return;
  }
  WireBuffer by_number(body.position(), static_cast<std::ptrdiff_t>(body.remaining()));
  uint32_t number = by_number.get_uint32();
  core = by_number.get_bool();
  message = by_number.get_string();
  by_number.get_string();
  if (!by_number.failed() && by_number.remaining() == 0)
    ssh_event(ssh, "Server exited on signal %u%s%s%.*s%s", number, core ? " (core dumped)" : "",
              message.empty() ? "" : " (\"", static_cast<int>(message.size()), message.data(),
              message.empty() ? "" : "\")");
  else
    ssh_event(ssh, "Server exited on signal");
}

void take_channel_request(SshChannel* channel, WireBuffer& body) {
  SshSession* ssh = channel->ssh;
  std::string name(body.get_string());
  bool want_reply = body.get_bool();
  bool ok = false;
  if (channel->type == kChannelMain && name == "exit-status") {
    uint32_t status = body.get_uint32();
    if (!body.failed()) {
      ssh->exit_status = static_cast<int>(status);
      ssh_event(ssh, "Server sent command exit status %d", ssh->exit_status);
      ok = true;
    }
  } else if (channel->type == kChannelMain && name == "exit-signal") {
    log_exit_signal(ssh, body);
    ok = true;
  }
  if (!want_reply) return;
  WireBuffer reply;
  reply.put_byte(ok ? kMsgChannelSuccess : kMsgChannelFailure);
  reply.put_uint32(channel->remote_id);
  ssh2_send(ssh, reply);
}

void take_global_request(SshSession* ssh, WireBuffer& body) {
  body.get_string();
  if (!body.get_bool()) return;
  WireBuffer failure;
  failure.put_byte(kMsgRequestFailure);
  ssh2_send(ssh, failure);
}

// The channel a message names: the session channel or a forwarded one; none when we hold no
// such channel.
SshChannel* find_channel(SshSession* ssh, uint32_t id) {
  SshChannel& main = ssh->channel;
  if (id == main.local_id && main.step != kChannelNone && main.step != kChannelClosed) return &main;
  auto found = ssh->channels.find(id);
  return found != ssh->channels.end() ? found->second.get() : nullptr;
}

// The server's CLOSE: the channel goes; with none left the session ends.
void take_close(SshSession* ssh, SshChannel* channel) {
  ssh2_forwarded_drop_connection(channel);
  ssh2_channel_close(channel);
  if (channel->type == kChannelMain)
    channel->step = kChannelClosed;
  else
    ssh->channels.erase(channel->local_id);
  bool main_open = ssh->channel.step != kChannelNone && ssh->channel.step != kChannelClosed;
  if (!ssh->config.ssh_no_shell && !main_open && ssh->channels.empty())
    ssh_disconnect(ssh, "All channels closed", nullptr, 0, true);
}

}  // namespace

void ssh2_put_channel_request(WireBuffer& packet, const SshChannel& channel, const char* name, bool want_reply) {
  packet.put_byte(kMsgChannelRequest);
  packet.put_uint32(channel.remote_id);
  packet.put_string(name);
  packet.put_bool(want_reply);
}

uint32_t ssh2_window_add(uint32_t window, uint32_t increment) {
  return increment > UINT32_MAX - window ? UINT32_MAX : window + increment;
}

void ssh2_connection_start(SshSession* ssh) {
  ssh->channel.ssh = ssh;
  if (ssh->config.ssh_no_shell) {
    ssh_setup_port_forwardings(ssh);
    ssh->state = kSshSession;
    return;
  }
  ssh->channel.step = kChannelOpening;
  ssh->channel.local_window = kSshSessionWindow;
  WireBuffer open;
  open.put_byte(kMsgChannelOpen);
  open.put_string("session");
  open.put_uint32(ssh->channel.local_id);
  open.put_uint32(kSshSessionWindow);
  open.put_uint32(kSshLocalMaxPacket);
  ssh2_send(ssh, open);
}

bool ssh2_connection_packet(SshSession* ssh, const unsigned char* payload, size_t length) {
  uint8_t type = payload[0];
  WireBuffer body(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
  if (type == kMsgGlobalRequest) return take_global_request(ssh, body), true;
  if (type == kMsgChannelOpen) return ssh2_take_channel_open(ssh, body), true;
  if (type == kMsgRequestSuccess || type == kMsgRequestFailure)
    return ssh2_take_remote_forward_reply(ssh, type == kMsgRequestSuccess), true;
  if (type < kMsgOpenConfirmation || type > kMsgChannelFailure) return false;

  uint32_t recipient = body.get_uint32();
  SshChannel* channel = body.failed() ? nullptr : find_channel(ssh, recipient);
  // A server that closes or asks of a channel we do not hold has lost track of the connection.
  if (channel == nullptr && type == kMsgChannelClose)
    return ssh_fatal(ssh, "Received CHANNEL_CLOSE for nonexistent channel " + std::to_string(recipient) + "\n"), true;
  if (channel == nullptr && type == kMsgChannelRequest) {
    std::string reason = "Received channel request for nonexistent channel " + std::to_string(recipient);
    return ssh_disconnect(ssh, nullptr, reason.c_str(), 2, false), true;
  }
  if (channel == nullptr) {
    ssh_event(ssh, "Ignored message type %d for unknown channel %u", type, recipient);
    return true;
  }
  if (type == kMsgOpenConfirmation || type == kMsgOpenFailure) {
    if (channel == &ssh->channel && channel->step == kChannelOpening) {
      WireBuffer whole(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
      take_setup_reply(ssh, type, whole);
    } else if (channel->type == kChannelPortOpening) {
      ssh2_take_forward_open_reply(ssh, channel, type, body);
    } else {
      ssh_event(ssh, "Ignored message type %d for open channel %u", type, recipient);
    }
    return true;
  }
  if (channel->type == kChannelPortOpening && type == kMsgChannelClose)
    return ssh_fatal(ssh, "Received CHANNEL_CLOSE for half-open channel " + std::to_string(recipient) + "\n"), true;
  if (channel->type == kChannelPortOpening) {
    ssh_event(ssh, "Ignored message type %d for half-open channel %u", type, recipient);
    return true;
  }
  switch (type) {
    case kMsgWindowAdjust:
      channel->remote_window = ssh2_window_add(channel->remote_window, body.get_uint32());
      ssh2_channel_flush(channel);
      break;
    case kMsgChannelData: take_data(channel, body, false); break;
    case kMsgExtendedData: take_data(channel, body, true); break;
    case kMsgChannelEof:
      // The session channel waits for CLOSE; a forwarded connection ends here.
      if (channel->type != kChannelMain) ssh2_forwarded_eof(channel);
      break;
    case kMsgChannelClose: take_close(ssh, channel); break;
    case kMsgChannelRequest: take_channel_request(channel, body); break;
    case kMsgChannelSuccess:
    case kMsgChannelFailure:
      if (channel == &ssh->channel && channel->step > kChannelOpening && channel->step < kChannelOpen)
        take_setup_reply(ssh, type, body);
      break;
    default: break;
  }
  return true;
}

int ssh2_channel_send(SshSession* ssh, const char* data, int length) {
  if (length > 0 && ssh->channel.step != kChannelClosed && !ssh->eof_needed)
    ssh->channel.outgoing.append(data, static_cast<size_t>(length));
  ssh2_channel_flush(ssh);
  return static_cast<int>(ssh->channel.outgoing.size());
}

void ssh2_channel_flush(SshSession* ssh) {
  if (ssh->channel.step == kChannelOpen) ssh2_channel_flush(&ssh->channel);
}

void ssh2_channel_flush(SshChannel* channel) {
  SshSession* ssh = channel->ssh;
  if (ssh->version == 1) return ssh1_channel_flush(channel);
  if (ssh->state == kSshClosed || channel->close_sent) return;
  // A server that allows packets of no size gets nothing, rather than empty packets for ever.
  if (channel->remote_max_packet == 0) return;
  while (!channel->outgoing.empty() && channel->remote_window > 0) {
    size_t chunk = std::min<size_t>(
        {channel->outgoing.size(), channel->remote_window, channel->remote_max_packet, kDataChunkLimit});
    WireBuffer packet;
    packet.put_byte(kMsgChannelData);
    packet.put_uint32(channel->remote_id);
    packet.put_string(channel->outgoing.data(), chunk);
    ssh2_send(ssh, packet);
    channel->outgoing.erase(0, chunk);
    channel->remote_window -= static_cast<uint32_t>(chunk);
  }
  if (!channel->outgoing.empty()) return;
  if (channel == &ssh->channel) ssh2_send_pending_eof(ssh);
  if (channel->port != nullptr) forward_unthrottle(channel->port);
  if (channel->x11 != nullptr) x11_unthrottle(channel->x11);
}

void ssh2_adjust_local_window(SshChannel* channel, int backlog) {
  if (channel->ssh->version == 1) return ssh1_channel_unthrottle(channel, backlog);
  uint32_t full = channel->type == kChannelMain ? kSshSessionWindow : kSshLocalWindow;
  if (backlog < 0 || backlog >= static_cast<int>(full)) return;
  uint32_t wanted = full - static_cast<uint32_t>(backlog);
  bool open = channel->type == kChannelMain ? channel->step == kChannelOpen : channel->type != kChannelPortOpening;
  if (!open || channel->close_sent || wanted <= 2 * channel->local_window) return;
  WireBuffer adjust;
  adjust.put_byte(kMsgWindowAdjust);
  adjust.put_uint32(channel->remote_id);
  adjust.put_uint32(wanted - channel->local_window);
  ssh2_send(channel->ssh, adjust);
  channel->local_window = wanted;
}

void ssh2_channel_unthrottle(SshSession* ssh, int backlog) { ssh2_adjust_local_window(&ssh->channel, backlog); }

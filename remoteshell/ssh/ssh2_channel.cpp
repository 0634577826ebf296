// SSH-2 connection protocol: the one session channel (terminal, shell or command, data both
// ways under the windows, exit status, close). Channels the server opens are refused; messages
// for channels we do not hold are logged and ignored.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "remoteshell/core/backend.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

enum : uint8_t {
  kMsgGlobalRequest = 80,
  kMsgRequestSuccess = 81,
  kMsgRequestFailure = 82,
  kMsgChannelOpen = 90,
  kMsgOpenConfirmation = 91,
  kMsgOpenFailure = 92,
  kMsgWindowAdjust = 93,
  kMsgChannelData = 94,
  kMsgExtendedData = 95,
  kMsgChannelEof = 96,
  kMsgChannelClose = 97,
  kMsgChannelRequest = 98,
  kMsgChannelSuccess = 99,
  kMsgChannelFailure = 100,
};

constexpr uint32_t kLocalWindow = 16384;
constexpr uint32_t kLocalMaxPacket = 16384;
// Our own cap on one data packet, whatever the server allows.
constexpr uint32_t kDataChunkLimit = 32768;

void put_channel_request(WireBuffer& packet, const SshChannel& channel, const char* name, bool want_reply) {
  packet.put_byte(kMsgChannelRequest);
  packet.put_uint32(channel.remote_id);
  packet.put_string(name);
  packet.put_bool(want_reply);
}

// The speeds of "TerminalSpeed" ("ospeed,ispeed"), 38400 each otherwise.
void terminal_speeds(const SessionConfig& config, int* ospeed, int* ispeed) {
  *ospeed = *ispeed = 38400;
  int o = 0, i = 0;
  if (std::sscanf(config.terminal_speed, "%d,%d", &o, &i) == 2) *ospeed = o, *ispeed = i;
}

void request_pty(SshSession* ssh) {
  int ospeed = 0, ispeed = 0;
  terminal_speeds(ssh->config, &ospeed, &ispeed);
  WireBuffer request;
  put_channel_request(request, ssh->channel, "pty-req", true);
  request.put_string(ssh->config.terminal_type);
  request.put_uint32(static_cast<uint32_t>(ssh->width));
  request.put_uint32(static_cast<uint32_t>(ssh->height));
  request.put_uint32(0);
  request.put_uint32(0);
  WireBuffer modes;
  modes.put_byte(128);
  modes.put_uint32(static_cast<uint32_t>(ispeed));
  modes.put_byte(129);
  modes.put_uint32(static_cast<uint32_t>(ospeed));
  modes.put_byte(0);
  request.put_string(modes.bytes().data(), modes.bytes().size());
  ssh2_send(ssh, request);
  ssh->channel.step = kChannelPty;
}

void request_shell(SshSession* ssh) {
  WireBuffer request;
  if (ssh->config.remote_command[0] != '\0') {
    put_channel_request(request, ssh->channel, "exec", true);
    request.put_string(ssh->config.remote_command);
  } else {
    put_channel_request(request, ssh->channel, "shell", true);
  }
  ssh2_send(ssh, request);
  ssh->channel.step = kChannelShell;
}

void send_close(SshSession* ssh) {
  if (ssh->channel.close_sent) return;
  WireBuffer close;
  close.put_byte(kMsgChannelClose);
  close.put_uint32(ssh->channel.remote_id);
  ssh2_send(ssh, close);
  ssh->channel.close_sent = true;
}

// Opens the local window again once the front end's backlog allows.
void adjust_local_window(SshSession* ssh, int backlog) {
  if (backlog < 0 || backlog >= static_cast<int>(kLocalWindow)) return;
  uint32_t wanted = kLocalWindow - static_cast<uint32_t>(backlog);
  SshChannel& channel = ssh->channel;
  if (channel.step != kChannelOpen || wanted <= 2 * channel.local_window) return;
  WireBuffer adjust;
  adjust.put_byte(kMsgWindowAdjust);
  adjust.put_uint32(channel.remote_id);
  adjust.put_uint32(wanted - channel.local_window);
  ssh2_send(ssh, adjust);
  channel.local_window = wanted;
}

void take_data(SshSession* ssh, WireBuffer& body, bool extended) {
  uint32_t data_type = extended ? body.get_uint32() : 0;
  std::string_view data = body.get_string();
  if (body.failed()) return ssh_fatal(ssh, "Malformed channel data from server");
  SshChannel& channel = ssh->channel;
  channel.local_window -= std::min<uint32_t>(channel.local_window, static_cast<uint32_t>(data.size()));
  int backlog = 0;
  // Only standard error is shown among the extended types; the others still use the window.
  if (!extended || data_type == 1)
    backlog = backend_output(ssh->frontend, extended ? 1 : 0, data.data(), static_cast<int>(data.size()));
  adjust_local_window(ssh, backlog);
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

void take_channel_request(SshSession* ssh, WireBuffer& body) {
  std::string name(body.get_string());
  bool want_reply = body.get_bool();
  bool ok = false;
  if (name == "exit-status") {
    uint32_t status = body.get_uint32();
    if (!body.failed()) {
      ssh->exit_status = static_cast<int>(status);
      ssh_event(ssh, "Server sent command exit status %d", ssh->exit_status);
      ok = true;
    }
  } else if (name == "exit-signal") {
    log_exit_signal(ssh, body);
    ok = true;
  }
  if (!want_reply) return;
  WireBuffer reply;
  reply.put_byte(ok ? kMsgChannelSuccess : kMsgChannelFailure);
  reply.put_uint32(ssh->channel.remote_id);
  ssh2_send(ssh, reply);
}

void refuse_channel_open(SshSession* ssh, WireBuffer& body) {
  std::string type(body.get_string());
  uint32_t sender = body.get_uint32();
  const char* reason = type == "x11"               ? "X11 forwarding is not enabled"
                       : type == "forwarded-tcpip" ? "Remote port is not recognised"
                       : type == "auth-agent@openssh.com" ? "Agent forwarding is not enabled"
                                                          : "Unsupported channel type requested";
  ssh_event(ssh, "Rejected channel open: %s", reason);
  WireBuffer failure;
  failure.put_byte(kMsgOpenFailure);
  failure.put_uint32(sender);
  failure.put_uint32(2);
  failure.put_string(reason);
  failure.put_string("en");
  ssh2_send(ssh, failure);
}

void take_global_request(SshSession* ssh, WireBuffer& body) {
  body.get_string();
  if (!body.get_bool()) return;
  WireBuffer failure;
  failure.put_byte(kMsgRequestFailure);
  ssh2_send(ssh, failure);
}

// The replies that move the session channel through its set-up.
void take_setup_reply(SshSession* ssh, uint8_t type, WireBuffer& body) {
  SshChannel& channel = ssh->channel;
  if (channel.step == kChannelOpening) {
    if (type != kMsgOpenConfirmation) return ssh_fatal(ssh, "Server refused to open a session");
    if (body.get_uint32() != channel.local_id)
      return ssh_fatal(ssh, "Server's channel confirmation cited wrong channel");
    channel.remote_id = body.get_uint32();
    channel.remote_window = body.get_uint32();
    channel.remote_max_packet = body.get_uint32();
    if (body.failed()) return ssh_fatal(ssh, "Server refused to open a session");
    ssh_event(ssh, "Opened channel for session");
    if (!ssh->config.no_pty) return request_pty(ssh);
    return request_shell(ssh);
  }
  if (channel.step == kChannelPty) {
    if (type == kMsgChannelSuccess) {
      int ospeed = 0, ispeed = 0;
      terminal_speeds(ssh->config, &ospeed, &ispeed);
      ssh_event(ssh, "Allocated pty (ospeed %dbps, ispeed %dbps)", ospeed, ispeed);
    } else {
      ssh_write_error(ssh, "Server refused to allocate pty\r\n");
    }
    return request_shell(ssh);
  }
  if (type != kMsgChannelSuccess) return ssh_fatal(ssh, "Server refused to start a shell/command");
  ssh_event(ssh, "Started a shell/command");
  channel.step = kChannelOpen;
  ssh->state = kSshSession;
  ssh2_channel_flush(ssh);
}

}  // namespace

uint32_t ssh2_window_add(uint32_t window, uint32_t increment) {
  return increment > UINT32_MAX - window ? UINT32_MAX : window + increment;
}

void ssh2_connection_start(SshSession* ssh) {
  if (ssh->config.ssh_no_shell) {
    ssh->state = kSshSession;
    return;
  }
  ssh->channel.step = kChannelOpening;
  ssh->channel.local_window = kLocalWindow;
  WireBuffer open;
  open.put_byte(kMsgChannelOpen);
  open.put_string("session");
  open.put_uint32(ssh->channel.local_id);
  open.put_uint32(kLocalWindow);
  open.put_uint32(kLocalMaxPacket);
  ssh2_send(ssh, open);
}

bool ssh2_connection_packet(SshSession* ssh, const unsigned char* payload, size_t length) {
  uint8_t type = payload[0];
  WireBuffer body(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
  if (type == kMsgGlobalRequest) return take_global_request(ssh, body), true;
  if (type == kMsgChannelOpen) return refuse_channel_open(ssh, body), true;
  if (type == kMsgRequestSuccess || type == kMsgRequestFailure) return true;
  if (type < kMsgOpenConfirmation || type > kMsgChannelFailure) return false;

  SshChannel& channel = ssh->channel;
  uint32_t recipient = body.get_uint32();
  bool ours = body.failed() == false && channel.step != kChannelNone && channel.step != kChannelClosed &&
              recipient == channel.local_id;
  if (channel.step == kChannelOpening && (type == kMsgOpenConfirmation || type == kMsgOpenFailure)) {
    WireBuffer whole(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
    take_setup_reply(ssh, type, whole);
    return true;
  }
  if (!ours) {
    ssh_event(ssh, "Ignored message type %d for unknown channel %u", type, recipient);
    return true;
  }
  switch (type) {
    case kMsgWindowAdjust:
      channel.remote_window = ssh2_window_add(channel.remote_window, body.get_uint32());
      ssh2_channel_flush(ssh);
      break;
    case kMsgChannelData: take_data(ssh, body, false); break;
    case kMsgExtendedData: take_data(ssh, body, true); break;
    case kMsgChannelEof: break;  // the session channel waits for CLOSE
    case kMsgChannelClose:
      send_close(ssh);
      channel.step = kChannelClosed;
      ssh_disconnect(ssh, "All channels closed", nullptr, 0, true);
      break;
    case kMsgChannelRequest: take_channel_request(ssh, body); break;
    case kMsgChannelSuccess:
    case kMsgChannelFailure:
      if (channel.step == kChannelPty || channel.step == kChannelShell) take_setup_reply(ssh, type, body);
      break;
    default: ssh_event(ssh, "Ignored message type %d for the session channel", type); break;
  }
  return true;
}

int ssh2_channel_send(SshSession* ssh, const char* data, int length) {
  if (length > 0 && ssh->channel.step != kChannelClosed) ssh->channel.outgoing.append(data, static_cast<size_t>(length));
  ssh2_channel_flush(ssh);
  return static_cast<int>(ssh->channel.outgoing.size());
}

void ssh2_channel_flush(SshSession* ssh) {
  SshChannel& channel = ssh->channel;
  if (channel.step != kChannelOpen || ssh->state == kSshClosed) return;
  // A server that allows packets of no size gets nothing, rather than empty packets for ever.
  if (channel.remote_max_packet == 0) return;
  while (!channel.outgoing.empty() && channel.remote_window > 0) {
    size_t chunk = std::min<size_t>({channel.outgoing.size(), channel.remote_window, channel.remote_max_packet,
                                     kDataChunkLimit});
    WireBuffer packet;
    packet.put_byte(kMsgChannelData);
    packet.put_uint32(channel.remote_id);
    packet.put_string(channel.outgoing.data(), chunk);
    ssh2_send(ssh, packet);
    channel.outgoing.erase(0, chunk);
    channel.remote_window -= static_cast<uint32_t>(chunk);
  }
}

void ssh2_channel_unthrottle(SshSession* ssh, int backlog) { adjust_local_window(ssh, backlog); }

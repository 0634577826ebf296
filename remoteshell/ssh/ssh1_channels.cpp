// SSH-1 forwarded channels: the X11 and agent channels and port connections the server opens, the
// port connections we open for accepted local connections, their data and their close. SSH-1
// has no windows: data goes out as it comes, and a channel ends once both sides have sent
// both CLOSE and CLOSE_CONFIRMATION.
#include <algorithm>
#include <cstdio>

#include "remoteshell/net/port_forward.h"
#include "remoteshell/net/x11_forward.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

constexpr size_t kMaxHostLength = 255;

SshChannel* new_channel(SshSession* ssh, SshChannelType type) {
  auto channel = std::make_unique<SshChannel>();
  channel->ssh = ssh;
  channel->type = type;
  channel->local_id = ssh2_new_local_id(ssh);
  SshChannel* raw = channel.get();
  ssh->channels[raw->local_id] = std::move(channel);
  return raw;
}

// Forgets a channel, releasing the hold its connection's backlog had on the SSH socket.
void free_channel(SshChannel* channel) {
  ssh1_channel_unthrottle(channel, 0);
  channel->ssh->channels.erase(channel->local_id);
}

void send_on(SshSession* ssh, uint8_t type, uint32_t remote_id) {
  WireBuffer body;
  body.put_uint32(remote_id);
  ssh1_send(ssh, type, body);
}

void send_open_confirmation(SshChannel* channel) {
  WireBuffer body;
  body.put_uint32(channel->remote_id);
  body.put_uint32(channel->local_id);
  ssh1_send(channel->ssh, kSsh1ChannelOpenConfirmation, body);
}

// Sets a close bit, sending our message for it unless already sent; frees the channel once all
// four bits are set (the caller must not touch it after a true return).
bool set_close_bit(SshChannel* channel, unsigned bit) {
  SshSession* ssh = channel->ssh;
  if ((channel->ssh1_closes & bit) == 0) {
    channel->ssh1_closes |= bit;
    if (bit == kSsh1CloseSent) {
      channel->close_sent = true;
      if (ssh->state != kSshClosed) send_on(ssh, kSsh1ChannelClose, channel->remote_id);
    }
    if (bit == kSsh1CloseConfirmationSent && ssh->state != kSshClosed)
      send_on(ssh, kSsh1ChannelCloseConfirmation, channel->remote_id);
  }
  if (channel->ssh1_closes != kSsh1AllCloses) return false;
  free_channel(channel);
  return true;
}

void take_port_open(SshSession* ssh, WireBuffer& body) {
  uint32_t remote = body.get_uint32();
  std::string_view host_field = body.get_string();
  std::string host(host_field.substr(0, std::min(host_field.size(), kMaxHostLength)));
  int port = static_cast<int>(body.get_uint32());
  SshPortForward* forward = nullptr;
  for (auto& f : ssh->forwardings)
    if (f->type == 'R' && f->remote_enabled && f->destination_host == host && f->destination_port == port)
      forward = f.get();
  if (body.failed() || forward == nullptr) {
    ssh_event(ssh, "Rejected remote port open request for %s:%d", host.c_str(), port);
    return send_on(ssh, kSsh1ChannelOpenFailure, remote);
  }
  ssh_event(ssh, "Received remote port open request for %s:%d", host.c_str(), port);
  SshChannel* channel = new_channel(ssh, kChannelPort);
  channel->remote_id = remote;
  ForwardBackend backend{&ssh2_forward_channel_ops, ssh};
  if (const char* error =
          forward_connect(&channel->port, host.c_str(), port, channel, backend, ssh->config, forward->family)) {
    ssh_event(ssh, "Port open failed: %s", error);
    ssh->channels.erase(channel->local_id);
    return send_on(ssh, kSsh1ChannelOpenFailure, remote);
  }
  send_open_confirmation(channel);
  ssh_event(ssh, "Forwarded port opened successfully");
}

void take_agent_open(SshSession* ssh, WireBuffer& body) {
  uint32_t remote = body.get_uint32();
  if (!ssh->agent_forwarding) return send_on(ssh, kSsh1ChannelOpenFailure, remote);
  SshChannel* channel = new_channel(ssh, kChannelAgent);
  channel->remote_id = remote;
  send_open_confirmation(channel);
}

// The open names no originator (this client never offers the flag for it), so the connection
// is checked by its cookie alone.
void take_x11_open(SshSession* ssh, WireBuffer& body) {
  uint32_t remote = body.get_uint32();
  ssh_event(ssh, "Received X11 connect request");
  if (!ssh->x11_enabled) {
    ssh_event(ssh, "Rejected X11 connect request");
    return send_on(ssh, kSsh1ChannelOpenFailure, remote);
  }
  SshChannel* channel = new_channel(ssh, kChannelX11Forward);
  channel->remote_id = remote;
  ForwardBackend backend{&ssh2_forward_channel_ops, ssh};
  if (x11_connect(&channel->x11, ssh->config.x11_display, channel, backend, ssh->x11_auth, nullptr, 0, ssh->config) !=
      nullptr) {
    ssh_event(ssh, "Opening X11 forward connection failed");
    ssh->channels.erase(channel->local_id);
    return send_on(ssh, kSsh1ChannelOpenFailure, remote);
  }
  ssh_event(ssh, "Opening X11 forward connection succeeded");
  send_open_confirmation(channel);
  ssh_event(ssh, "Opened X11 forward channel");
}

SshChannel* find(SshSession* ssh, uint32_t id) {
  auto at = ssh->channels.find(id);
  return at == ssh->channels.end() ? nullptr : at->second.get();
}

void take_open_reply(SshSession* ssh, uint8_t type, WireBuffer& body) {
  SshChannel* channel = find(ssh, body.get_uint32());
  if (channel == nullptr || channel->type != kChannelPortOpening) return;  // not one of ours awaiting it
  if (type == kSsh1ChannelOpenFailure) {
    ssh_event(ssh, "Forwarded connection refused by server");
    ssh2_forwarded_drop_connection(channel);
    ssh->channels.erase(channel->local_id);
    return;
  }
  channel->remote_id = body.get_uint32();
  channel->type = kChannelPort;
  if (channel->close_sent) {
    // Closed while half-open: the CLOSE it could not send goes now.
    send_on(ssh, kSsh1ChannelClose, channel->remote_id);
  } else if (channel->port != nullptr) {
    forward_confirm(channel->port);
  }
}

void take_data(SshSession* ssh, WireBuffer& body) {
  SshChannel* channel = find(ssh, body.get_uint32());
  std::string_view data = body.get_string();
  if (channel == nullptr || body.failed() || channel->type == kChannelPortOpening) return;
  if (channel->type == kChannelAgent) return ssh2_agent_data(channel, data);
  int backlog = 0;
  auto length = static_cast<int>(data.size());
  if (channel->port != nullptr) backlog = forward_send(channel->port, data.data(), length);
  if (channel->x11 != nullptr) backlog = x11_send(channel->x11, data.data(), length);
  // No window to hold the server back: the SSH socket itself is frozen, once per channel.
  if (backlog > kSshThrottleBacklog && !channel->ssh1_throttling && ssh->socket != nullptr) {
    channel->ssh1_throttling = true;
    ++ssh->ssh1.throttle_count;
    socket_set_frozen(ssh->socket, 1);
  }
}

void take_close(SshSession* ssh, uint8_t type, WireBuffer& body) {
  uint32_t id = body.get_uint32();
  SshChannel* channel = find(ssh, id);
  if (channel == nullptr || channel->type == kChannelPortOpening) {
    char text[96];
    std::snprintf(text, sizeof text, "Received CHANNEL_CLOSE%s for %s channel %u\n",
                  type == kSsh1ChannelClose ? "" : "_CONFIRMATION", channel == nullptr ? "nonexistent" : "half-open",
                  id);
    return ssh_fatal(ssh, text);
  }
  if (channel->ssh1_closes == 0) {
    if (channel->type == kChannelX11Forward) ssh_event(ssh, "Forwarded X11 connection terminated");
    if (channel->type == kChannelPort) ssh_event(ssh, "Forwarded port closed");
  }
  ssh2_forwarded_drop_connection(channel);
  if (type == kSsh1ChannelClose) {
    channel->ssh1_closes |= kSsh1CloseReceived;
    if (set_close_bit(channel, kSsh1CloseSent)) return;
    set_close_bit(channel, kSsh1CloseConfirmationSent);
  } else {
    channel->ssh1_closes |= kSsh1CloseConfirmationReceived;
    set_close_bit(channel, kSsh1CloseSent);
  }
}

}  // namespace

void ssh1_channel_flush(SshChannel* channel) {
  SshSession* ssh = channel->ssh;
  if (ssh->state != kSshClosed && !channel->close_sent && channel->type != kChannelPortOpening) {
    while (!channel->outgoing.empty() && ssh->state != kSshClosed) {
      size_t chunk = std::min<size_t>(channel->outgoing.size(), kSsh1DataChunk);
      WireBuffer body;
      body.put_uint32(channel->remote_id);
      body.put_string(channel->outgoing.data(), chunk);
      ssh1_send(ssh, kSsh1ChannelData, body);
      channel->outgoing.erase(0, chunk);
    }
  }
}

void ssh1_channel_close(SshChannel* channel) {
  if (channel->close_sent) return;
  SshSession* ssh = channel->ssh;
  if (channel->type == kChannelX11Forward) ssh_event(ssh, "Forwarded X11 connection terminated");
  if (channel->type == kChannelPort || channel->type == kChannelPortOpening) ssh_event(ssh, "Forwarded port closed");
  if (channel->type == kChannelPortOpening) {
    // Nothing can be sent before the server names its end: the confirmation sends the CLOSE.
    channel->close_sent = true;
    channel->ssh1_closes |= kSsh1CloseSent;
    return;
  }
  set_close_bit(channel, kSsh1CloseSent);
}

void* ssh1_open_port(SshSession* ssh, ForwardingEnd* end, const char* host, int port, const char* origin) {
  SshChannel* channel = new_channel(ssh, kChannelPortOpening);
  channel->port = end;
  ssh_event(ssh, "Opening forwarded connection to %s:%d", host, port);
  WireBuffer open;
  open.put_uint32(channel->local_id);
  open.put_string(host);
  open.put_uint32(static_cast<uint32_t>(port));
  (void)origin;  // only sent when both sides agreed to it, which this client never offers
  ssh1_send(ssh, kSsh1PortOpen, open);
  return channel;
}

bool ssh1_channel_packet(SshSession* ssh, uint8_t type, WireBuffer& body) {
  switch (type) {
    case kSsh1X11Open: take_x11_open(ssh, body); return true;
    case kSsh1PortOpen: take_port_open(ssh, body); return true;
    case kSsh1AgentOpen: take_agent_open(ssh, body); return true;
    case kSsh1ChannelOpenConfirmation:
    case kSsh1ChannelOpenFailure: take_open_reply(ssh, type, body); return true;
    case kSsh1ChannelData: take_data(ssh, body); return true;
    case kSsh1ChannelClose:
    case kSsh1ChannelCloseConfirmation: take_close(ssh, type, body); return true;
    default: return false;
  }
}

void ssh1_channel_unthrottle(SshChannel* channel, int buffered) {
  if (!channel->ssh1_throttling || buffered >= kSshThrottleBacklog) return;
  SshSession* ssh = channel->ssh;
  channel->ssh1_throttling = false;
  if (--ssh->ssh1.throttle_count == 0 && ssh->socket != nullptr && !ssh->ssh1.stdout_throttled)
    socket_set_frozen(ssh->socket, 0);
}

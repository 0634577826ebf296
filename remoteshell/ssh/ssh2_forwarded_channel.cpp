// SSH-2 forwarded channels: the ones the server opens (X11 connections, agent channels,
// connections to our remote forwardings), the ones we open for accepted local and dynamic connections, and the
// channel operations the socket side of forwarding calls.
#include "remoteshell/net/port_forward.h"
#include "remoteshell/net/x11_forward.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

const char* const kOpenFailureReasons[] = {"<unknown reason code>", "Administratively prohibited", "Connect failed",
                                           "Unknown channel type", "Resource shortage"};

SshChannel* new_channel(SshSession* ssh, SshChannelType type) {
  auto channel = std::make_unique<SshChannel>();
  channel->ssh = ssh;
  channel->type = type;
  channel->local_id = ssh2_new_local_id(ssh);
  channel->local_window = kSshLocalWindow;
  SshChannel* raw = channel.get();
  ssh->channels[raw->local_id] = std::move(channel);
  return raw;
}

void send_open_failure(SshSession* ssh, uint32_t sender, const char* reason) {
  ssh_event(ssh, "Rejected channel open: %s", reason);
  WireBuffer failure;
  failure.put_byte(kMsgOpenFailure);
  failure.put_uint32(sender);
  failure.put_uint32(2);
  failure.put_string(reason);
  failure.put_string("en");
  ssh2_send(ssh, failure);
}

void send_open_confirmation(SshChannel* channel) {
  WireBuffer confirmation;
  confirmation.put_byte(kMsgOpenConfirmation);
  confirmation.put_uint32(channel->remote_id);
  confirmation.put_uint32(channel->local_id);
  confirmation.put_uint32(kSshLocalWindow);
  confirmation.put_uint32(kSshLocalMaxPacket);
  ssh2_send(channel->ssh, confirmation);
}

void send_close_packet(SshChannel* channel) {
  WireBuffer close;
  close.put_byte(kMsgChannelClose);
  close.put_uint32(channel->remote_id);
  ssh2_send(channel->ssh, close);
}

// Returns the channel's reason for refusing, none when the connection was made.
const char* open_x11(SshSession* ssh, SshChannel* channel, WireBuffer& body) {
  std::string address(body.get_string());
  int port = static_cast<int>(body.get_uint32());
  ssh_event(ssh, "Received X11 connect request from %s:%d", address.c_str(), port);
  if (!ssh->x11_enabled) return "X11 forwarding is not enabled";
  ForwardBackend backend{&ssh2_forward_channel_ops, ssh};
  if (const char* error = x11_connect(&channel->x11, ssh->config.x11_display, channel, backend, ssh->x11_auth,
                                      address.c_str(), port, ssh->config)) {
    ssh_event(ssh, "X11 connection failed: %s", error);
    return "Unable to open an X11 connection";
  }
  ssh_event(ssh, "Opening X11 forward connection succeeded");
  return nullptr;
}

const char* open_forwarded_port(SshSession* ssh, SshChannel* channel, WireBuffer& body) {
  body.get_string();
  int port = static_cast<int>(body.get_uint32());
  std::string origin(body.get_string());
  int origin_port = static_cast<int>(body.get_uint32());
  ssh_event(ssh, "Received remote port %d open request from %s:%d", port, origin.c_str(), origin_port);
  SshPortForward* forward = ssh_find_remote_forward(ssh, port);
  if (forward == nullptr) return "Remote port is not recognised";
  ssh_event(ssh, "Attempting to forward remote port to %s:%d", forward->destination_host.c_str(),
            forward->destination_port);
  ForwardBackend backend{&ssh2_forward_channel_ops, ssh};
  if (const char* error = forward_connect(&channel->port, forward->destination_host.c_str(), forward->destination_port,
                                          channel, backend, ssh->config, forward->family)) {
    ssh_event(ssh, "Port open failed: %s", error);
    return "Port open failed";
  }
  ssh_event(ssh, "Forwarded port opened successfully");
  return nullptr;
}

// ---- operations for the socket side ----

SshChannel* of(void* channel) { return static_cast<SshChannel*>(channel); }

int op_send(void* handle, const char* data, int length) {
  SshChannel* channel = of(handle);
  if (channel->close_sent) return 0;
  channel->outgoing.append(data, static_cast<size_t>(length));
  ssh2_channel_flush(channel);
  // A full SSH socket holds every forwarded connection back until it drains (sink_sent).
  SshSession* ssh = channel->ssh;
  return static_cast<int>(channel->outgoing.size()) + (ssh->throttled ? ssh->backlog : 0);
}

// The connection is going away by itself: the channel forgets it and closes.
void op_close(void* handle) {
  SshChannel* channel = of(handle);
  channel->port = nullptr;
  channel->x11 = nullptr;
  ssh2_channel_close(channel);
}

void op_unthrottle(void* handle, int buffered) { ssh2_adjust_local_window(of(handle), buffered); }

void* op_open(void* backend, ForwardingEnd* end, const char* host, int port, const char* origin) {
  auto* ssh = static_cast<SshSession*>(backend);
  if (ssh->state == kSshClosed) return nullptr;
  if (ssh->version == 1) return ssh1_open_port(ssh, end, host, port, origin);
  SshChannel* channel = new_channel(ssh, kChannelPortOpening);
  channel->port = end;
  ssh_event(ssh, "Opening forwarded connection to %s:%d", host, port);
  WireBuffer open;
  open.put_byte(kMsgChannelOpen);
  open.put_string("direct-tcpip");
  open.put_uint32(channel->local_id);
  open.put_uint32(kSshLocalWindow);
  open.put_uint32(kSshLocalMaxPacket);
  open.put_string(host);
  open.put_uint32(static_cast<uint32_t>(port));
  open.put_string(origin);
  open.put_uint32(0);
  ssh2_send(ssh, open);
  return channel;
}

}  // namespace

const ForwardChannelOps ssh2_forward_channel_ops = {
    .send = op_send, .close = op_close, .unthrottle = op_unthrottle, .open = op_open};

uint32_t ssh2_new_local_id(const SshSession* ssh) {
  uint32_t id = 256;
  bool main_holds = ssh->channel.step != kChannelNone && ssh->channel.step != kChannelClosed;
  while ((main_holds && id == ssh->channel.local_id) || ssh->channels.count(id) != 0) ++id;
  return id;
}

void ssh2_channel_close(SshChannel* channel) {
  if (channel->ssh->version == 1) return ssh1_channel_close(channel);
  if (channel->close_sent) return;
  channel->close_sent = true;
  if (channel->type != kChannelPortOpening && channel->ssh->state != kSshClosed) send_close_packet(channel);
  if (channel->type == kChannelX11Forward) ssh_event(channel->ssh, "Forwarded X11 connection terminated");
  if (channel->type == kChannelPort || channel->type == kChannelPortOpening)
    ssh_event(channel->ssh, "Forwarded port closed");
}

void ssh2_forwarded_unthrottle_all(SshSession* ssh) {
  for (auto& [id, channel] : ssh->channels) {
    if (!channel->outgoing.empty()) continue;
    if (channel->port != nullptr) forward_unthrottle(channel->port);
    if (channel->x11 != nullptr) x11_unthrottle(channel->x11);
  }
}

void ssh2_forwarded_drop_connection(SshChannel* channel) {
  if (channel->port != nullptr) forward_finish(channel->port);
  if (channel->x11 != nullptr) x11_close(channel->x11);
  channel->port = nullptr;
  channel->x11 = nullptr;
}

void ssh2_take_channel_open(SshSession* ssh, WireBuffer& body) {
  std::string type(body.get_string());
  uint32_t sender = body.get_uint32();
  uint32_t window = body.get_uint32();
  uint32_t max_packet = body.get_uint32();
  if (body.failed()) return ssh_event(ssh, "Ignored malformed channel open request");
  bool agent = type == "auth-agent@openssh.com";
  if (agent && !ssh->agent_forwarding) return send_open_failure(ssh, sender, "Agent forwarding is not enabled");
  if (!agent && type != "x11" && type != "forwarded-tcpip")
    return send_open_failure(ssh, sender, "Unsupported channel type requested");
  SshChannel* channel =
      new_channel(ssh, agent ? kChannelAgent : type == "x11" ? kChannelX11Forward : kChannelPort);
  channel->remote_id = sender;
  channel->remote_window = window;
  channel->remote_max_packet = max_packet;
  const char* refusal = agent            ? nullptr
                        : type == "x11" ? open_x11(ssh, channel, body)
                                        : open_forwarded_port(ssh, channel, body);
  if (refusal != nullptr) {
    ssh->channels.erase(channel->local_id);
    return send_open_failure(ssh, sender, refusal);
  }
  send_open_confirmation(channel);
}

void ssh2_take_forward_open_reply(SshSession* ssh, SshChannel* channel, uint8_t type, WireBuffer& body) {
  if (type == kMsgOpenConfirmation) {
    channel->remote_id = body.get_uint32();
    channel->remote_window = body.get_uint32();
    channel->remote_max_packet = body.get_uint32();
    channel->type = kChannelPort;
    if (channel->close_sent)
      send_close_packet(channel);
    else if (channel->port != nullptr)
      forward_confirm(channel->port);
    return;
  }
  uint32_t code = body.get_uint32();
  std::string_view text = body.get_string();
  ssh_event(ssh, "Forwarded connection refused by server: %s [%.*s]", kOpenFailureReasons[code <= 4 ? code : 0],
            static_cast<int>(text.size()), text.data());
  ssh2_forwarded_drop_connection(channel);
  ssh->channels.erase(channel->local_id);
}

void ssh2_forwarded_data(SshChannel* channel, std::string_view data) {
  if (channel->type == kChannelAgent) return ssh2_agent_data(channel, data);
  int backlog = 0;
  auto length = static_cast<int>(data.size());
  if (channel->port != nullptr) backlog = forward_send(channel->port, data.data(), length);
  if (channel->x11 != nullptr) backlog = x11_send(channel->x11, data.data(), length);
  ssh2_adjust_local_window(channel, backlog);
}

void ssh2_forwarded_eof(SshChannel* channel) {
  ssh2_forwarded_drop_connection(channel);
  ssh2_channel_close(channel);
}

void ssh2_connection_free(SshSession* ssh) {
  for (auto& [id, channel] : ssh->channels) ssh2_forwarded_drop_connection(channel.get());
  ssh->channels.clear();
  forward_close_finishing();
  for (auto& forward : ssh->forwardings)
    if (forward->listener != nullptr) forward_terminate(forward->listener);
  ssh->forwardings.clear();
  ssh->remote_replies.clear();
  x11_auth_free(ssh->x11_auth);
  ssh->x11_auth = nullptr;
}

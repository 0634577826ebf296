#pragma once
// Channels and port forwardings of either version, and payloads held back during a key exchange.
#include "remoteshell/ssh/ssh_protocol.h"

// Channels (ssh2_channel.cpp): the session channel lives in the session record; forwarded
// channels (X11, agent, ports) are kept by local id. Windows are uint32 on the wire and saturate there.
enum SshChannelStep {
  kChannelNone,
  kChannelOpening,
  kChannelX11,
  kChannelAgentForward,
  kChannelPty,
  kChannelEnvironment,
  kChannelShell,
  kChannelOpen,
  kChannelClosed
};
enum SshChannelType {
  kChannelMain = 0,
  kChannelX11Forward = 1,
  kChannelAgent = 2,
  kChannelPort = 3,
  kChannelPortOpening = 4,  // waiting for the server's confirmation
};
struct ForwardingEnd;
struct X11Connection;
struct X11Auth;
struct SshSession;
struct SshChannel {
  SshSession* ssh = nullptr;
  SshChannelType type = kChannelMain;
  SshChannelStep step = kChannelNone;  // the session channel's set-up
  uint32_t local_id = 256;
  uint32_t remote_id = 0;
  uint32_t remote_window = 0;
  uint32_t remote_max_packet = 0;
  uint32_t local_window = 0;
  bool close_sent = false;
  ForwardingEnd* port = nullptr;  // the forwarded connection, none once it is gone
  X11Connection* x11 = nullptr;
  std::string outgoing;
  std::string agent_message;     // an agent channel's request so far (length field and body)
  unsigned ssh1_closes = 0;      // SSH-1: the Ssh1CloseBits sent and received
  bool ssh1_throttling = false;  // SSH-1: this channel's connection holds the SSH socket frozen
};
// SSH-1 close state: the channel is freed once all four are set.
enum Ssh1CloseBits : unsigned {
  kSsh1CloseSent = 1,
  kSsh1CloseConfirmationSent = 2,
  kSsh1CloseReceived = 4,
  kSsh1CloseConfirmationReceived = 8,
  kSsh1AllCloses = 15,
};
// SSH-1 channel data goes out in pieces of at most this size.
inline constexpr size_t kSsh1DataChunk = 16384;

// The largest agent request a forwarded agent channel takes; a longer announced length closes
// the channel before anything is stored for it.
inline constexpr uint32_t kAgentForwardMessageLimit = 256 * 1024;

// A payload held back while a key exchange runs (secret_from as for ssh2_send).
struct SshQueuedPayload {
  WipedVector payload;
  size_t secret_from = 0;
};

// One entry of "PortForwardings" (ssh_port_forwardings.cpp).
enum SshForwardStatus { kForwardKeep, kForwardNew, kForwardRemove };
struct SshPortForward {
  SshForwardStatus status = kForwardNew;
  char type = 'L';  // 'L' local, 'R' remote, 'D' dynamic
  int family = 0;   // 0 any, 1 IPv4, 2 IPv6
  std::string source_address;
  int source_port = 0;
  std::string source_text;  // as written: address and ":" when given, the port or its name
  std::string destination_host;
  int destination_port = 0;
  ForwardingEnd* listener = nullptr;
  bool remote_enabled = false;
  bool SameAs(const SshPortForward& other) const;
};

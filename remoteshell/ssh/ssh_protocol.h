#pragma once
// What every SSH layer shares: the conversation's states, the server quirks, the SSH-2 message
// numbers and the limits a hostile server cannot push past.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crypto/algorithms.h"
#include "crypto/diffie_hellman.h"
#include "crypto/rsa.h"
#include "crypto/wiped_vector.h"
#include "crypto/wire_buffer.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/keepalive.h"
#include "remoteshell/net/forward_channel.h"
#include "remoteshell/net/socket.h"

struct AttackDetector;
struct PromptSet;
struct Prompt;
struct SessionLog;

enum SshState { kSshBeforePackets, kSshBeforeSize, kSshIntermediate, kSshSession, kSshClosed };

// Server defects, switched on by their settings or by the server's software version.
enum SshQuirk : unsigned {
  kQuirkIgnore1 = 1,
  kQuirkHmac2 = 2,
  kQuirkPlainPassword1 = 4,
  kQuirkRsa1 = 8,
  kQuirkRsaPad2 = 16,
  kQuirkDeriveKey2 = 32,
  kQuirkRekey2 = 64,
  kQuirkPkSessionId2 = 128,
};

// SSH-2 message numbers used by the transport.
enum Ssh2Message : uint8_t {
  kMsgDisconnect = 1,
  kMsgIgnore = 2,
  kMsgUnimplemented = 3,
  kMsgDebug = 4,
  kMsgServiceRequest = 5,
  kMsgServiceAccept = 6,
  kMsgKexInit = 20,
  kMsgNewKeys = 21,
  kMsgKexDhInit = 30,   // also the old-style group-exchange request
  kMsgKexDhReply = 31,  // also the group-exchange group
  kMsgGexInit = 32,
  kMsgGexReply = 33,
  kMsgGexRequest = 34,
  // Connection protocol.
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
// Our channels' window and maximum packet.
inline constexpr uint32_t kSshLocalWindow = 16384;
// The session channel's window is wider: with 16384 bytes in flight every packet of a long
// configuration listing waits a round trip for its window adjust, and bulk output runs at a
// third of what the server can send. The service takes the output as it comes, so the wider
// window costs at most this much memory per conversation.
inline constexpr uint32_t kSshSessionWindow = 262144;
inline constexpr uint32_t kSshLocalMaxPacket = 16384;

// Identification lines and the server's software version are cut here: a hostile server
// cannot make either grow without limit.
inline constexpr size_t kSshVersionLineLimit = 255;
// Text before the "SSH-" line is skipped, but only this much of it.
inline constexpr size_t kSshPreBannerLimit = 64 * 1024;
inline constexpr uint32_t kSsh2MaxPacketLength = 35000;
// Packets carrying a password or answers are padded to at least this many bytes.
inline constexpr size_t kSsh2SecretPacketLength = 256;
inline constexpr int kSshThrottleBacklog = 32768;

#pragma once
// SSH-1: packet framing, message numbers, login steps and the session's state.
#include "remoteshell/ssh/ssh_protocol.h"

// ---- SSH-1 packet framing (ssh1_packet.cpp) ----
// Packets shorter than a type byte and CRC, or longer than any SSH-1 implementation sends, are
// refused before anything is buffered for them.
inline constexpr uint32_t kSsh1MinPacketLength = 5;
inline constexpr uint32_t kSsh1MaxPacketLength = 262144;

struct Ssh1PacketLayer {
  const Ssh1CipherAlgorithm* cipher = nullptr;
  void* cipher_ctx = nullptr;  // owned by the caller
  const CompressionAlgorithm* compression = nullptr;
  void* compress_ctx = nullptr;  // owned by the caller
  void* decompress_ctx = nullptr;
  AttackDetector* detector = nullptr;  // made on first use
  WipedVector incoming;                // decrypted in place
};
// Type and payload framed: length, random padding, CRC-32, encrypted from the padding on.
std::vector<unsigned char> ssh1_build_packet(Ssh1PacketLayer& layer, uint8_t type, const unsigned char* payload,
                                             size_t length);
// Appends received bytes and takes the next packet (type byte first): 1 with a packet, 0 when
// more bytes are needed, -1 with the error text.
int ssh1_read_packet(Ssh1PacketLayer& layer, const unsigned char* data, size_t length,
                     std::vector<unsigned char>* packet, std::string* error);
void ssh1_packet_layer_free(Ssh1PacketLayer& layer);

// SSH-1 message numbers (protocol 1.5).
enum Ssh1Message : uint8_t {
  kSsh1Disconnect = 1,
  kSsh1PublicKey = 2,
  kSsh1SessionKey = 3,
  kSsh1User = 4,
  kSsh1AuthRsa = 6,
  kSsh1AuthRsaChallenge = 7,
  kSsh1AuthRsaResponse = 8,
  kSsh1AuthPassword = 9,
  kSsh1RequestPty = 10,
  kSsh1WindowSize = 11,
  kSsh1ExecShell = 12,
  kSsh1ExecCmd = 13,
  kSsh1Success = 14,
  kSsh1Failure = 15,
  kSsh1StdinData = 16,
  kSsh1StdoutData = 17,
  kSsh1StderrData = 18,
  kSsh1Eof = 19,
  kSsh1ExitStatus = 20,
  kSsh1ChannelOpenConfirmation = 21,
  kSsh1ChannelOpenFailure = 22,
  kSsh1ChannelData = 23,
  kSsh1ChannelClose = 24,
  kSsh1ChannelCloseConfirmation = 25,
  kSsh1X11Open = 27,
  kSsh1PortForwardRequest = 28,
  kSsh1PortOpen = 29,
  kSsh1AgentRequestForwarding = 30,
  kSsh1AgentOpen = 31,
  kSsh1X11RequestForwarding = 34,
  kSsh1Ignore = 32,
  kSsh1ExitConfirmation = 33,
  kSsh1Debug = 36,
  kSsh1RequestCompression = 37,
  kSsh1AuthTis = 39,
  kSsh1TisChallenge = 40,
  kSsh1TisResponse = 41,
  kSsh1AuthCcard = 70,
  kSsh1CcardChallenge = 71,
  kSsh1CcardResponse = 72,
};

// Where the SSH-1 login stands: what the next packet from the server answers.
enum Ssh1Step {
  kSsh1AwaitPublicKey,
  kSsh1AwaitEncryption,
  kSsh1AwaitUserReply,
  kSsh1AwaitAgentChallenge,
  kSsh1AwaitAgentResult,
  kSsh1AwaitRsaChallenge,
  kSsh1AwaitRsaResult,
  kSsh1AwaitChallenge,  // TIS or CryptoCard
  kSsh1AwaitAuthReply,  // password, TIS or CryptoCard response
  kSsh1AwaitAgentForwardingReply,
  kSsh1AwaitX11Reply,
  kSsh1AwaitPtyReply,
  kSsh1AwaitCompressionReply,
  kSsh1Running,
};

struct Ssh1State {
  Ssh1PacketLayer layer;
  Ssh1Step step = kSsh1AwaitPublicKey;
  unsigned char cookie[8] = {};
  unsigned char session_id[16] = {};
  uint32_t protocol_flags = 0, cipher_mask = 0, auth_mask = 0;
  std::string user;
  // Authentication: what was tried, and the key file's public part once read.
  bool key_file_prepared = false, key_file_loaded = false, key_file_tried = false, key_file_encrypted = false;
  bool tis_refused = false, ccard_refused = false;
  bool agent_tried = false;
  std::vector<std::vector<unsigned char>> agent_keys;  // public blobs: bits, exponent, modulus
  size_t agent_next = 0;
  uint8_t challenge_kind = 0;  // kSsh1AuthTis or kSsh1AuthCcard while its challenge is awaited
  std::vector<unsigned char> key_blob;
  std::string key_comment;
  RsaKey key{};  // the private key while its challenge is answered
  std::vector<unsigned char> deferred;
  bool stdout_throttled = false;
  int throttle_count = 0;  // forwarded channels whose backlog holds the socket frozen
  bool eof_needed = false, size_needed = false;
  bool local_echo_editing = false;  // no pty: the line discipline echoes and edits
};

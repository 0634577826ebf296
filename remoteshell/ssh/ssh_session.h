#pragma once
// The record of one SSH conversation and the steps its layers share: identification exchange
// and server quirks, the SSH-2 packet layer, the key exchange (fixed groups and group
// exchange) and rekeying, and the SSH-1 login and session. Everything of one conversation
// lives here, nothing in globals.
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
#include "crypto/wire_buffer.h"
#include "crypto/wiped_vector.h"
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

// One direction's algorithms with their contexts.
struct SshDirection {
  const CipherAlgorithm* cipher = nullptr;
  void* cipher_ctx = nullptr;
  const MacAlgorithm* mac = nullptr;
  void* mac_ctx = nullptr;
  const CompressionAlgorithm* compression = nullptr;
  void* compression_ctx = nullptr;
  bool outgoing = true;
  uint32_t sequence = 0;
};
void ssh_direction_reset(SshDirection& direction);

enum SshKexStep { kKexIdle, kKexAwaitKexInit, kKexAwaitGroup, kKexAwaitReply, kKexAwaitNewKeys };
// The front-end question whose answer comes later (the session is frozen meanwhile).
enum SshKexQuestion { kQuestionNone, kQuestionWarning, kQuestionHostKey };

// One key exchange in progress (and what the next one needs).
struct SshKexState {
  SshKexStep step = kKexIdle;
  bool in_progress = false;
  bool first_done = false;
  bool ignore_next_packet = false;  // the server's wrong guess
  std::vector<unsigned char> our_kexinit;
  std::vector<unsigned char> server_kexinit;  // kept when the server starts a rekey
  const KexAlgorithm* kex = nullptr;
  const HostKeyAlgorithm* host_key = nullptr;
  SshDirection pending_out;  // chosen, installed at NEWKEYS
  SshDirection pending_in;
  int nbits = 0;
  // Group exchange: the requested size, and min/max once the RFC 4419 request is used.
  uint32_t gex_bits = 0;
  bool gex_new_style = false;
  uint32_t gex_request_sequence = 0;
  DhContext* dh = nullptr;
  BigNumPtr e, f, k, p, g;
  std::vector<unsigned char> exchange_hash;
  std::vector<unsigned char> session_id;
  unsigned warnings = 0;  // weak-algorithm warnings still to ask: 1 kex, 2 and 4 the ciphers
  SshKexQuestion question = kQuestionNone;
  std::string fingerprint;  // of the host key being asked about
  uint32_t last_time = 0;   // tick of the last exchange's end
  uint32_t next_rekey = 0;  // tick at which "RekeyTime" asks for the next one
  std::string deferred_reason;
};

// User authentication in progress (ssh2_userauth.cpp, ssh2_publickey.cpp).
enum SshAuthMethod {
  kAuthNone,
  kAuthPassword,
  kAuthKeyboardInteractive,
  kAuthKeyboardInteractiveRefused,
  kAuthPublicKeySigned,
  kAuthPublicKeyOffered,  // a key file's key, refused unless PK_OK comes
  kAuthAgentKeyOffered,
};
enum SshAuthStep {
  kAuthAwaitReply,
  kAuthAwaitPasswordReply,
  kAuthAwaitKiReply,
  kAuthAwaitAgentKeyOk,
  kAuthAwaitKeyFileOk,
  kAuthDone
};
struct SshAgentKey {
  std::vector<unsigned char> blob;
  std::string comment;
};
struct SshAuthState {
  SshAuthStep step = kAuthAwaitReply;
  SshAuthMethod last = kAuthNone;
  std::string user;
  std::string password;  // wiped once the server answered
  std::string methods;   // the methods the server's last FAILURE allows
  bool ki_refused = false;
  bool ki_answered = false;  // a question came for this keyboard-interactive request
  int password_changes = 0;  // rounds of a password change the server asked for
  // The agent's keys; when the key file's key is among them, only that one is used.
  std::vector<SshAgentKey> agent_keys;
  size_t agent_next = 0;
  size_t agent_current = 0;
  int agent_match = -1;
  // The configured key file's public half.
  std::vector<unsigned char> key_blob;
  std::string key_algorithm;
  std::string key_comment;
  bool key_encrypted = false;
  bool key_tried = false;
};

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
  std::string agent_message;  // an agent channel's request so far (length field and body)
  unsigned ssh1_closes = 0;   // SSH-1: the Ssh1CloseBits sent and received
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
  WipedVector incoming;  // decrypted in place
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

// ---- SSH-2 packet layer (ssh2_packet.cpp) ----
// Assembles and dispatches packets from bytes received; stops when the session closes or
// freezes (the bytes wait for the thaw, which calls it again without new ones).
void ssh2_receive(SshSession* ssh, const unsigned char* data, size_t length);
// Sends a payload (type byte first): queued while a key exchange runs. secret_from, when not 0,
// is the offset where the payload's secrets start (a password, answers): the packet is padded
// to kSsh2SecretPacketLength bytes at least and the session log blanks the secrets.
void ssh2_send(SshSession* ssh, const WireBuffer& payload, size_t secret_from = 0);
// Sends now, past the queue (key-exchange messages, disconnect).
void ssh2_send_now(SshSession* ssh, const WireBuffer& payload, size_t secret_from = 0);
// At the end of a key exchange: every queued packet goes out.
void ssh2_flush_queue(SshSession* ssh);
// Installs a direction's chosen algorithms with their keys (contexts of the old ones freed).
void ssh2_install(SshDirection& target, SshDirection& chosen, const unsigned char* cipher_key, const unsigned char* iv,
                  const unsigned char* mac_key);
// The sequence number the next outgoing packet will carry.
inline uint32_t ssh2_next_sequence(const SshSession* ssh) { return ssh->out.sequence; }

// ---- SSH-2 user authentication (ssh2_userauth.cpp) ----
// Sends SERVICE_REQUEST for the service named and remembers it.
void ssh2_request_service(SshSession* ssh, const char* service);
// Starts authentication once "ssh-userauth" is accepted.
void ssh2_userauth_start(SshSession* ssh);
// "ssh-connection" was accepted without user authentication: the connection protocol begins.
void ssh2_userauth_skip(SshSession* ssh);
// Keyboard-interactive questions of one INFO_REQUEST (from the byte after its type) as a
// prompt set; none when the request is malformed. The count is not trusted for allocation.
struct PromptSet;
PromptSet* ssh2_ki_prompts(void* owner, const unsigned char* body, size_t length);
// USERAUTH_REQUEST up to and including the method name.
void ssh2_userauth_request_head(WireBuffer& request, SshSession* ssh, const char* method);
// The next method the server's last FAILURE allows, or the end of the conversation.
void ssh2_userauth_next(SshSession* ssh);
// The packet-log name of a user-authentication message (60 and 61 by the method being tried);
// null for other types.
const char* ssh2_userauth_message_name(const SshSession* ssh, uint8_t type);
// Disconnects with "Unable to authenticate".
void ssh2_userauth_give_up(SshSession* ssh);

// ---- SSH-2 public-key authentication (ssh2_publickey.cpp) ----
// One agent exchange (both versions): the message (type byte first) framed with its length;
// the reply's body (type byte first), empty when none came.
std::vector<unsigned char> ssh_agent_ask(const WireBuffer& message);
// Before the user name: reads the key file's public half and the agent's key list.
void ssh2_publickey_prepare(SshSession* ssh);
// Offers the next agent key or the key file's key; false when none is left.
bool ssh2_publickey_offer(SshSession* ssh);
// The server accepted the key just offered (PK_OK): the signed request.
void ssh2_publickey_accepted(SshSession* ssh);
// A signature blob as the last field of a request (quirk: short RSA signatures padded).
void ssh2_put_signature(SshSession* ssh, WireBuffer& request, const unsigned char* signature, size_t signature_length,
                        const std::vector<unsigned char>& public_blob);

// ---- SSH-2 connection protocol (ssh2_channel.cpp, ssh2_forwarded_channel.cpp) ----
// After "Access granted": opens the session channel.
void ssh2_connection_start(SshSession* ssh);
bool ssh2_connection_packet(SshSession* ssh, const unsigned char* payload, size_t length);
// Data from the front end for the session channel; what stays queued.
int ssh2_channel_send(SshSession* ssh, const char* data, int length);
// Sends what the remote window and maximum packet allow on the session channel.
void ssh2_channel_flush(SshSession* ssh);
// Sends what a channel's remote window and maximum packet allow; a forwarded connection whose
// channel queue emptied reads again.
void ssh2_channel_flush(SshChannel* channel);
// The front end's backlog drained to this many bytes: the local window may open again.
void ssh2_channel_unthrottle(SshSession* ssh, int backlog);
// Opens a channel's local window to its full size minus the backlog when that doubles it at least.
void ssh2_adjust_local_window(SshChannel* channel, int backlog);
// Adds the server's WINDOW_ADJUST to a remote window, saturating at 2^32-1.
uint32_t ssh2_window_add(uint32_t window, uint32_t increment);
// Closes every forwarded connection and listener and frees the forwarded channels.
void ssh2_connection_free(SshSession* ssh);
// The lowest local channel id from 256 up that no channel holds.
uint32_t ssh2_new_local_id(const SshSession* ssh);
// Our CLOSE for a channel (once; a half-open one sends it when confirmed). The forwarded
// connection is left as it is.
void ssh2_channel_close(SshChannel* channel);
// Channels the server opens ("x11", "forwarded-tcpip", the agent channel; others refused).
void ssh2_take_channel_open(SshSession* ssh, WireBuffer& body);
// OPEN_CONFIRMATION / OPEN_FAILURE for a forwarding of ours.
void ssh2_take_forward_open_reply(SshSession* ssh, SshChannel* channel, uint8_t type, WireBuffer& body);
// Data, and EOF, from the server for a forwarded channel.
void ssh2_forwarded_data(SshChannel* channel, std::string_view data);
void ssh2_forwarded_eof(SshChannel* channel);
// The SSH socket drained: forwarded connections whose channel has nothing queued read again.
void ssh2_forwarded_unthrottle_all(SshSession* ssh);
// Ends a forwarded channel's connection, if it still has one: X11 at once, a port connection
// once it has sent on what it still holds.
void ssh2_forwarded_drop_connection(SshChannel* channel);
// The channel operations the socket side of forwarding calls.
extern const ForwardChannelOps ssh2_forward_channel_ops;

// ---- agent forwarding (ssh2_agent_forward.cpp) ----
// Asks for agent forwarding on the session channel; false (nothing sent) unless "AgentFwd" is
// set and an agent answers.
bool ssh2_request_agent_forwarding(SshSession* ssh);
// Data from the server on an agent channel: each whole request goes to the agent and its
// answer (or the failure message) back on the channel.
void ssh2_agent_data(SshChannel* channel, std::string_view data);

// ---- forwarding set-up and terminal modes (ssh_port_forwardings.cpp, ssh_terminal_modes.cpp) ----
// Parses "PortForwardings" and starts, keeps or cancels the forwardings (session start and
// reconfigure).
void ssh_setup_port_forwardings(SshSession* ssh);
// The reply to the oldest "tcpip-forward" request.
void ssh2_take_remote_forward_reply(SshSession* ssh, bool success);
// The remote forwarding for a port the server accepted a connection on; none when unknown.
SshPortForward* ssh_find_remote_forward(SshSession* ssh, int port);
// One "PortForwardings" entry ("name<TAB>value"); false (after logging) when it is dropped.
bool ssh_parse_port_forward(SshSession* ssh, const char* name, const char* value, SshPortForward* out);
// "TerminalModes" as pty-request mode bytes: opcode and uint32 (SSH-2) or one byte (SSH-1)
// per entry; the speeds and the end byte are the caller's.
void ssh_encode_terminal_modes(const SessionConfig& config, bool ssh2, WireBuffer& out);
// The speeds of "TerminalSpeed" ("ospeed,ispeed"), 38400 each otherwise.
void ssh_terminal_speeds(const SessionConfig& config, int* ospeed, int* ispeed);
// The "name<TAB>value" entries of a settings list (an entry without a TAB has an empty value).
std::vector<std::pair<std::string, std::string>> ssh_list_entries(const char* list, size_t capacity);

// ---- SSH-2 key exchange (ssh2_kex.cpp, ssh2_group_exchange.cpp, ssh2_rekey.cpp) ----
void ssh2_kex_start(SshSession* ssh);
// A packet for the key exchange (types 20 to 49, or any before the first exchange ends),
// from its type byte.
void ssh2_kex_packet(SshSession* ssh, const unsigned char* payload, size_t length);
// UNIMPLEMENTED for one of our packets during the exchange; true when the exchange took it.
bool ssh2_kex_unimplemented(SshSession* ssh, uint32_t sequence);
// Group exchange: the request after the algorithms are chosen, and the server's group.
void ssh2_gex_request(SshSession* ssh);
void ssh2_gex_resend_rfc4419(SshSession* ssh);
// False (after a fatal error) when the group is refused.
bool ssh2_gex_group(SshSession* ssh, WireBuffer& body);
// The hashed group-exchange request fields.
void ssh2_gex_hash_request(SshSession* ssh, WireBuffer& hash_input);
// Fixed group or group exchange: sends e (the init message) once p and g are known.
void ssh2_kex_send_init(SshSession* ssh);
// Rekey for a local reason; a no-op while an exchange runs.
void ssh2_rekey(SshSession* ssh, const char* reason);
// After an exchange: its time, and the rekey timer when "RekeyTime" is set.
void ssh2_rekey_schedule(SshSession* ssh);
// A new non-zero "RekeyTime" counts from the last exchange: the timer moves there, or the
// reason "timeout shortened" comes back when that moment has passed.
const char* ssh2_rekey_time_changed(SshSession* ssh, int minutes);
// After every sent or received packet: the data limit.
void ssh2_check_data_limit(SshSession* ssh, bool sent);
// Frees the exchange's Diffie-Hellman values.
void ssh2_kex_clear(SshKexState& kex);

// ---- questions through the conversation's prompt hook (ssh_prompts.cpp) ----
inline constexpr int kSshReplySize = 100;
// True when answered. Answers that come later are not taken by this client (the service
// answers at once), so they count as cancelled.
bool ssh_ask(SshSession* ssh, PromptSet* prompts);
std::string ssh_reply_text(const Prompt* prompt);
void ssh_wipe(std::string& text);
// The "login as: " question; false when cancelled.
bool ssh_ask_login_name(SshSession* ssh, std::string* user);
// "UserName" (its first 100 characters), else the question; false when cancelled.
bool ssh_login_name(SshSession* ssh, std::string* user);
// The "SSH password" question for user@host; false when cancelled.
bool ssh_ask_password(SshSession* ssh, const std::string& user, std::string* password);

// ---- SSH-1 (ssh1_transport.cpp, ssh1_login.cpp, ssh1_auth.cpp, ssh1_session.cpp) ----
// After the identification exchange chose SSH-1.
void ssh1_start(SshSession* ssh);
// Assembles and dispatches packets from bytes received; stops when the session closes.
void ssh1_receive(SshSession* ssh, const unsigned char* data, size_t length);
// Sends a packet now; defer appends it to the buffer that ssh1_send_deferred writes at once.
// password_at/password_length mark the bytes the packet log blanks (length 0: none).
void ssh1_send(SshSession* ssh, uint8_t type, const WireBuffer& body, size_t password_at = 0,
               size_t password_length = 0);
void ssh1_defer(SshSession* ssh, uint8_t type, const WireBuffer& body, size_t password_at = 0,
                size_t password_length = 0);
void ssh1_send_deferred(SshSession* ssh);
// The login's packets (public key, session key, user); then authentication and the session.
void ssh1_login_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// The next authentication round after a FAILURE; a packet for the round in progress.
void ssh1_auth_next(SshSession* ssh);
void ssh1_auth_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Agent keys, one per round: true when an offer went out. Then the server's replies to it.
bool ssh1_agent_offer(SshSession* ssh);
void ssh1_agent_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Authentication ended with SUCCESS: the session starts.
void ssh1_authenticated(SshSession* ssh);
// The 16-byte answer to an RSA challenge: the decrypted value's 32 low bytes, most significant
// first, then the session identifier, through MD5. False when the challenge is not below the
// modulus or the key cannot decrypt it.
bool ssh1_rsa_response(const RsaKey& key, ConstBigNum challenge, const unsigned char session_id[16],
                       unsigned char response[16]);
// Authentication succeeded: forwardings, pty, compression, then the shell or command.
void ssh1_session_start(SshSession* ssh);
void ssh1_session_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Data from the front end as STDIN_DATA pieces.
void ssh1_session_send(SshSession* ssh, const char* data, int length);
void ssh1_unthrottle(SshSession* ssh, int backlog);
// WINDOW_SIZE in the session (noted for later while the pty is set up).
void ssh1_resize(SshSession* ssh);
// EOF in the session (noted for later before it).
void ssh1_send_eof(SshSession* ssh);
// ---- SSH-1 forwarded channels (ssh1_channels.cpp) ----
// Opens, open replies, data and closes of forwarded channels; false for other packets.
bool ssh1_channel_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Sends a channel's queued data as CHANNEL_DATA.
void ssh1_channel_flush(SshChannel* channel);
// Our CLOSE (once; a half-open channel sends it when confirmed).
void ssh1_channel_close(SshChannel* channel);
// PORT_OPEN for a connection accepted by a local forwarding: the new half-open channel.
void* ssh1_open_port(SshSession* ssh, ForwardingEnd* end, const char* host, int port, const char* origin);
// The channel's connection buffers this much: below the backlog limit the socket may read again.
void ssh1_channel_unthrottle(SshChannel* channel, int buffered);
void ssh1_free(SshSession* ssh);

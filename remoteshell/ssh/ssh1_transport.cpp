// The SSH-1 side of the session: packets from the socket to their handlers (DISCONNECT,
// IGNORE and DEBUG here, the rest to the login, authentication or session), packets out with
// their packet-log lines, and the end of an SSH-1 conversation's state.
#include <cstring>

#include "remoteshell/core/session_log.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

const char* message_name(uint8_t type) {
  static const char* const kNames[] = {
      nullptr,
      "SSH1_MSG_DISCONNECT",
      "SSH1_SMSG_PUBLIC_KEY",
      "SSH1_CMSG_SESSION_KEY",
      "SSH1_CMSG_USER",
      "SSH1_CMSG_AUTH_RHOSTS",
      "SSH1_CMSG_AUTH_RSA",
      "SSH1_SMSG_AUTH_RSA_CHALLENGE",
      "SSH1_CMSG_AUTH_RSA_RESPONSE",
      "SSH1_CMSG_AUTH_PASSWORD",
      "SSH1_CMSG_REQUEST_PTY",
      "SSH1_CMSG_WINDOW_SIZE",
      "SSH1_CMSG_EXEC_SHELL",
      "SSH1_CMSG_EXEC_CMD",
      "SSH1_SMSG_SUCCESS",
      "SSH1_SMSG_FAILURE",
      "SSH1_CMSG_STDIN_DATA",
      "SSH1_SMSG_STDOUT_DATA",
      "SSH1_SMSG_STDERR_DATA",
      "SSH1_CMSG_EOF",
      "SSH1_SMSG_EXIT_STATUS",
      "SSH1_MSG_CHANNEL_OPEN_CONFIRMATION",
      "SSH1_MSG_CHANNEL_OPEN_FAILURE",
      "SSH1_MSG_CHANNEL_DATA",
      "SSH1_MSG_CHANNEL_CLOSE",
      "SSH1_MSG_CHANNEL_CLOSE_CONFIRMATION",
      nullptr,
      "SSH1_SMSG_X11_OPEN",
      "SSH1_CMSG_PORT_FORWARD_REQUEST",
      "SSH1_MSG_PORT_OPEN",
      "SSH1_CMSG_AGENT_REQUEST_FORWARDING",
      "SSH1_SMSG_AGENT_OPEN",
      "SSH1_MSG_IGNORE",
      "SSH1_CMSG_EXIT_CONFIRMATION",
      "SSH1_CMSG_X11_REQUEST_FORWARDING",
      "SSH1_CMSG_AUTH_RHOSTS_RSA",
      "SSH1_MSG_DEBUG",
      "SSH1_CMSG_REQUEST_COMPRESSION",
      nullptr,
      "SSH1_CMSG_AUTH_TIS",
      "SSH1_SMSG_AUTH_TIS_CHALLENGE",
      "SSH1_CMSG_AUTH_TIS_RESPONSE",
  };
  if (type < std::size(kNames) && kNames[type] != nullptr) return kNames[type];
  if (type == kSsh1AuthCcard) return "SSH1_CMSG_AUTH_CCARD";
  if (type == kSsh1CcardChallenge) return "SSH1_SMSG_AUTH_CCARD_CHALLENGE";
  if (type == kSsh1CcardResponse) return "SSH1_CMSG_AUTH_CCARD_RESPONSE";
  return "unknown";
}

void wipe(std::vector<unsigned char>& bytes) {
  if (!bytes.empty()) explicit_bzero(bytes.data(), bytes.size());
}

bool is_session_data(uint8_t type, bool outgoing) {
  return outgoing ? type == kSsh1StdinData : type == kSsh1StdoutData || type == kSsh1StderrData;
}

// The packet log, with the password blanked and session data left out when the settings ask.
void log_packet_of(SshSession* ssh, int direction, uint8_t type, const unsigned char* body, size_t length,
                   size_t password_at, size_t password_length) {
  if (ssh->log == nullptr) return;
  LogBlank blank{};
  int count = 0;
  if (password_length > 0 && ssh->config.log_omit_passwords) {
    blank = {static_cast<int>(password_at), static_cast<int>(password_length), kLogBlank};
    count = 1;
  } else if (ssh->config.log_omit_data && is_session_data(type, direction == kPacketOutgoing)) {
    blank = {0, static_cast<int>(length), kLogOmit};
    count = 1;
  } else if (ssh->config.log_omit_data && type == kSsh1ChannelData && length > 4) {
    blank = {4, static_cast<int>(length - 4), kLogOmit};
    count = 1;
  }
  log_packet(ssh->log, direction, type, message_name(type), body, static_cast<int>(length), &blank, count);
}

std::vector<unsigned char> framed(SshSession* ssh, uint8_t type, const WireBuffer& body, size_t password_at,
                                  size_t password_length) {
  const std::vector<unsigned char>& bytes = body.bytes();
  log_packet_of(ssh, kPacketOutgoing, type, bytes.data(), bytes.size(), password_at, password_length);
  return ssh1_build_packet(ssh->ssh1.layer, type, bytes.data(), bytes.size());
}

void write_bytes(SshSession* ssh, const std::vector<unsigned char>& bytes) {
  if (ssh->socket == nullptr || ssh->state == kSshClosed) return;
  ssh->backlog = socket_write(ssh->socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
  if (ssh->backlog > kSshThrottleBacklog) ssh->throttled = true;
}

void dispatch(SshSession* ssh, const std::vector<unsigned char>& packet) {
  uint8_t type = packet[0];
  WireBuffer body(packet.data() + 1, static_cast<std::ptrdiff_t>(packet.size() - 1));
  log_packet_of(ssh, kPacketIncoming, type, packet.data() + 1, packet.size() - 1, 0, 0);
  switch (type) {
    case kSsh1Disconnect: {
      std::string_view text = body.get_string();
      std::string message = "Server sent disconnect message:\n\"" + std::string(text) + "\"";
      return ssh_fatal(ssh, message);
    }
    case kSsh1Ignore: return;
    case kSsh1Debug: {
      std::string_view text = body.get_string();
      ssh_event(ssh, "Remote debug message: %.*s", static_cast<int>(text.size()), text.data());
      return;
    }
    default: break;
  }
  switch (ssh->ssh1.step) {
    case kSsh1AwaitPublicKey:
    case kSsh1AwaitEncryption:
    case kSsh1AwaitUserReply: return ssh1_login_packet(ssh, type, body);
    case kSsh1AwaitAgentChallenge:
    case kSsh1AwaitAgentResult:
    case kSsh1AwaitRsaChallenge:
    case kSsh1AwaitRsaResult:
    case kSsh1AwaitChallenge:
    case kSsh1AwaitAuthReply: return ssh1_auth_packet(ssh, type, body);
    default: return ssh1_session_packet(ssh, type, body);
  }
}

}  // namespace

void ssh1_start(SshSession* ssh) { ssh->ssh1.step = kSsh1AwaitPublicKey; }

void ssh1_receive(SshSession* ssh, const unsigned char* data, size_t length) {
  std::vector<unsigned char> packet;
  std::string error;
  for (;;) {
    int got = ssh1_read_packet(ssh->ssh1.layer, data, length, &packet, &error);
    data = nullptr;
    length = 0;
    if (got < 0) return ssh_fatal(ssh, error);
    if (got == 0) return;
    if (packet.empty()) return ssh_fatal(ssh, "Incoming packet is too short to hold a type and a CRC");
    dispatch(ssh, packet);
    if (ssh->state == kSshClosed) return;
  }
}

void ssh1_send(SshSession* ssh, uint8_t type, const WireBuffer& body, size_t password_at, size_t password_length) {
  if (ssh->state == kSshClosed) return;
  write_bytes(ssh, framed(ssh, type, body, password_at, password_length));
}

void ssh1_defer(SshSession* ssh, uint8_t type, const WireBuffer& body, size_t password_at, size_t password_length) {
  std::vector<unsigned char> bytes = framed(ssh, type, body, password_at, password_length);
  ssh->ssh1.deferred.insert(ssh->ssh1.deferred.end(), bytes.begin(), bytes.end());
}

void ssh1_send_deferred(SshSession* ssh) {
  std::vector<unsigned char> bytes;
  bytes.swap(ssh->ssh1.deferred);
  write_bytes(ssh, bytes);
  wipe(bytes);
}

void ssh1_free(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  Ssh1PacketLayer& layer = state.layer;
  if (layer.cipher != nullptr && layer.cipher_ctx != nullptr) layer.cipher->free_context(layer.cipher_ctx);
  if (layer.compression != nullptr) {
    if (layer.compress_ctx != nullptr) layer.compression->compress_free(layer.compress_ctx);
    if (layer.decompress_ctx != nullptr) layer.compression->decompress_free(layer.decompress_ctx);
  }
  layer.cipher_ctx = layer.compress_ctx = layer.decompress_ctx = nullptr;
  ssh1_packet_layer_free(layer);
  rsa_key_clear(&state.key);
  wipe(state.deferred);
  explicit_bzero(state.session_id, sizeof state.session_id);
}

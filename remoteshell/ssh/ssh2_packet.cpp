// The SSH-2 binary packet protocol: framing, encryption, MAC and compression of each packet,
// the queue that holds other packets while a key exchange runs, and the CBC defence (an
// IGNORE before user data so that no packet starts on an IV the attacker knows).
#include <algorithm>
#include <span>

#include "base/memory.h"
#include "crypto/random_pool.h"
#include "crypto/secure_clear.h"
#include "remoteshell/core/session_log.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

uint32_t read_be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void write_be32(unsigned char* p, uint32_t value) {
  p[0] = static_cast<unsigned char>(value >> 24);
  p[1] = static_cast<unsigned char>(value >> 16);
  p[2] = static_cast<unsigned char>(value >> 8);
  p[3] = static_cast<unsigned char>(value);
}

size_t block_size(const SshDirection& direction) {
  return direction.cipher != nullptr ? std::max(8, direction.cipher->block_size) : 8;
}

bool is_cbc(const SshDirection& direction) {
  return direction.cipher != nullptr && (direction.cipher->flags & SSH_CIPHER_IS_CBC) != 0;
}

bool compresses(const SshDirection& direction) {
  return direction.compression != nullptr && direction.compression != &ssh_compression_none &&
         direction.compression_ctx != nullptr;
}

// A compressor's output block, released with checked_free.
struct Block {
  unsigned char* data = nullptr;
  int length = 0;
  ~Block() {
    secure_clear(data, static_cast<size_t>(length > 0 ? length : 0));
    checked_free(data);
  }
};

const char* connection_message_name(uint8_t type) {
  static const char* const kNames[] = {
      "SSH2_MSG_CHANNEL_OPEN",         "SSH2_MSG_CHANNEL_OPEN_CONFIRMATION",
      "SSH2_MSG_CHANNEL_OPEN_FAILURE", "SSH2_MSG_CHANNEL_WINDOW_ADJUST",
      "SSH2_MSG_CHANNEL_DATA",         "SSH2_MSG_CHANNEL_EXTENDED_DATA",
      "SSH2_MSG_CHANNEL_EOF",          "SSH2_MSG_CHANNEL_CLOSE",
      "SSH2_MSG_CHANNEL_REQUEST",      "SSH2_MSG_CHANNEL_SUCCESS",
      "SSH2_MSG_CHANNEL_FAILURE",
  };
  if (type >= kMsgChannelOpen && type <= kMsgChannelFailure) return kNames[type - kMsgChannelOpen];
  if (type == kMsgGlobalRequest) return "SSH2_MSG_GLOBAL_REQUEST";
  if (type == kMsgRequestSuccess) return "SSH2_MSG_REQUEST_SUCCESS";
  if (type == kMsgRequestFailure) return "SSH2_MSG_REQUEST_FAILURE";
  return nullptr;
}

const char* message_name(const SshSession* ssh, uint8_t type) {
  switch (type) {
    case 1: return "SSH2_MSG_DISCONNECT";
    case 2: return "SSH2_MSG_IGNORE";
    case 3: return "SSH2_MSG_UNIMPLEMENTED";
    case 4: return "SSH2_MSG_DEBUG";
    case 5: return "SSH2_MSG_SERVICE_REQUEST";
    case 6: return "SSH2_MSG_SERVICE_ACCEPT";
    case 20: return "SSH2_MSG_KEXINIT";
    case 21: return "SSH2_MSG_NEWKEYS";
    default: break;
  }
  bool gex = ssh->kex.kex != nullptr && ssh->kex.kex->group_name == nullptr;
  if (type == 30) return gex ? "SSH2_MSG_KEX_DH_GEX_REQUEST_OLD" : "SSH2_MSG_KEXDH_INIT";
  if (type == 31) return gex ? "SSH2_MSG_KEX_DH_GEX_GROUP" : "SSH2_MSG_KEXDH_REPLY";
  if (gex && type == 32) return "SSH2_MSG_KEX_DH_GEX_INIT";
  if (gex && type == 33) return "SSH2_MSG_KEX_DH_GEX_REPLY";
  if (gex && type == 34) return "SSH2_MSG_KEX_DH_GEX_REQUEST";
  if (const char* name = ssh2_userauth_message_name(ssh, type)) return name;
  if (const char* name = connection_message_name(type)) return name;
  return "unknown";
}

// Where channel data starts in a payload (after the type byte), 0 for packets that carry none:
// the data string follows the recipient channel, and for extended data its data type too.
size_t session_data_offset(const unsigned char* payload, size_t length) {
  size_t offset = payload[0] == kMsgChannelData ? 4 : payload[0] == kMsgExtendedData ? 8 : 0;
  return offset > 0 && offset < length - 1 ? offset : 0;
}

// secret_from, when not 0, is where the payload's secrets start: from there on the log shows
// nothing of it. With "SSHLogOmitData" the data of channel packets is left out.
void log_packet_of(SshSession* ssh, int direction, const unsigned char* payload, size_t length,
                   size_t secret_from = 0) {
  if (ssh->log == nullptr || length == 0) return;
  int body_length = static_cast<int>(length - 1);
  LogBlank blank{};
  int count = 0;
  if (secret_from > 0 && secret_from < length) {
    blank = {static_cast<int>(secret_from) - 1, static_cast<int>(length - secret_from), kLogBlank};
    count = 1;
  } else if (size_t data_at = session_data_offset(payload, length); data_at > 0 && ssh->config.log_omit_data) {
    blank = {static_cast<int>(data_at), body_length - static_cast<int>(data_at), kLogOmit};
    count = 1;
  }
  log_packet(ssh->log, direction, payload[0], message_name(ssh, payload[0]), payload + 1, body_length, &blank, count);
}

// One framed, MACed and encrypted packet. A secret payload is padded to at least
// kSsh2SecretPacketLength bytes so that its length tells little about the secret.
std::vector<unsigned char> build_packet(SshSession* ssh, std::span<const unsigned char> payload,
                                        size_t secret_from = 0) {
  log_packet_of(ssh, kPacketOutgoing, payload.data(), payload.size(), secret_from);
  SshDirection& out = ssh->out;
  Block compressed;
  const unsigned char* body = payload.data();
  size_t body_length = payload.size();
  if (compresses(out) && out.compression->compress(out.compression_ctx, body, static_cast<int>(body_length),
                                                   &compressed.data, &compressed.length)) {
    body = compressed.data;
    body_length = static_cast<size_t>(compressed.length);
  }
  size_t b = block_size(out);
  size_t unpadded = 5 + body_length;
  size_t padding = 4;
  while ((unpadded + padding) % b != 0) ++padding;
  while (secret_from > 0 && unpadded + padding < kSsh2SecretPacketLength && padding + b <= 255) padding += b;
  size_t mac_length = out.mac != nullptr ? static_cast<size_t>(out.mac->mac_length) : 0;
  std::vector<unsigned char> packet(unpadded + padding + mac_length);
  write_be32(packet.data(), static_cast<uint32_t>(unpadded + padding - 4));
  packet[4] = static_cast<unsigned char>(padding);
  std::copy(body, body + body_length, packet.begin() + 5);
  for (size_t i = 0; i < padding; ++i) packet[unpadded + i] = random_next_byte();
  if (out.mac != nullptr) out.mac->generate(out.mac_ctx, packet.data(), unpadded + padding, out.sequence);
  ++out.sequence;
  if (out.cipher != nullptr) out.cipher->encrypt(out.cipher_ctx, packet.data(), unpadded + padding);
  return packet;
}

void write_to_socket(SshSession* ssh, const std::vector<unsigned char>& bytes) {
  if (ssh->socket == nullptr || bytes.empty()) return;
  ssh->backlog = socket_write(ssh->socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
  if (ssh->backlog > kSshThrottleBacklog) ssh->throttled = true;
  ssh->bytes_sent += bytes.size();
}

void defer(SshSession* ssh, std::span<const unsigned char> payload, bool no_ignore, size_t secret_from = 0) {
  if (is_cbc(ssh->out) && ssh->deferred.empty() && !no_ignore) {
    WireBuffer ignore;
    ignore.put_byte(kMsgIgnore);
    ignore.put_string("");
    std::vector<unsigned char> packet = build_packet(ssh, ignore.bytes());
    ssh->deferred.insert(ssh->deferred.end(), packet.begin(), packet.end());
  }
  std::vector<unsigned char> packet = build_packet(ssh, payload, secret_from);
  ssh->deferred.insert(ssh->deferred.end(), packet.begin(), packet.end());
}

void send_deferred(SshSession* ssh) {
  std::vector<unsigned char> bytes;
  bytes.swap(ssh->deferred);
  write_to_socket(ssh, bytes);
  ssh2_check_data_limit(ssh, true);
}

bool decompress_payload(SshSession* ssh, const unsigned char* data, size_t length, Block& out) {
  SshDirection& in = ssh->in;
  if (in.compression->decompress(in.compression_ctx, data, static_cast<int>(length), &out.data, &out.length) &&
      out.length > 0)
    return true;
  ssh_fatal(ssh, "Zlib decompression encountered invalid data");
  return false;
}

// One packet from the front of the incoming bytes; false when more bytes are needed or the
// session ended.
bool read_packet(SshSession* ssh) {
  SshDirection& in = ssh->in;
  unsigned char* p = ssh->incoming.data() + ssh->incoming_used;
  size_t available = ssh->incoming.size() - ssh->incoming_used;
  size_t b = block_size(in);
  if (available < b) return false;
  if (ssh->first_block_done == 0) {
    if (in.cipher != nullptr) in.cipher->decrypt(in.cipher_ctx, p, b);
    ssh->first_block_done = b;
  }
  uint32_t length = read_be32(p);
  uint32_t padding = p[4];
  // The payload holds at least its type byte.
  if ((length & 0x80000000u) != 0 || length > kSsh2MaxPacketLength || padding < 4 || length < padding + 2 ||
      (length + 4) % b != 0) {
    ssh_fatal(ssh, "Incoming packet was garbled on decryption");
    return false;
  }
  size_t mac_length = in.mac != nullptr ? static_cast<size_t>(in.mac->mac_length) : 0;
  size_t total = length + 4 + mac_length;
  if (available < total) return false;
  if (in.cipher != nullptr && length + 4 > b) in.cipher->decrypt(in.cipher_ctx, p + b, length + 4 - b);
  if (in.mac != nullptr && !in.mac->verify(in.mac_ctx, p, length + 4, in.sequence)) {
    ssh_fatal(ssh, "Incorrect MAC received on packet");
    return false;
  }
  uint32_t sequence = in.sequence++;
  ssh->incoming_used += total;
  ssh->first_block_done = 0;
  ssh->bytes_received += total;

  const unsigned char* payload = p + 5;
  size_t payload_length = length - padding - 1;
  Block plain;
  if (compresses(in)) {
    if (!decompress_payload(ssh, payload, payload_length, plain)) return false;
    payload = plain.data;
    payload_length = static_cast<size_t>(plain.length);
  }
  log_packet_of(ssh, kPacketIncoming, payload, payload_length);
  ssh2_dispatch(ssh, payload, payload_length, sequence);
  if (ssh->state == kSshClosed) return false;
  ssh2_check_data_limit(ssh, false);
  return ssh->state != kSshClosed;
}

}  // namespace

void ssh_direction_reset(SshDirection& direction) {
  if (direction.cipher_ctx != nullptr) direction.cipher->free_context(direction.cipher_ctx);
  if (direction.mac_ctx != nullptr) direction.mac->free_context(direction.mac_ctx);
  if (direction.compression_ctx != nullptr) {
    if (direction.outgoing)
      direction.compression->compress_free(direction.compression_ctx);
    else
      direction.compression->decompress_free(direction.compression_ctx);
  }
  direction.cipher_ctx = direction.mac_ctx = direction.compression_ctx = nullptr;
}

void ssh2_install(SshDirection& target, SshDirection& chosen, const unsigned char* cipher_key, const unsigned char* iv,
                  const unsigned char* mac_key) {
  ssh_direction_reset(target);
  target.cipher = chosen.cipher;
  target.mac = chosen.mac;
  target.compression = chosen.compression;
  target.cipher_ctx = target.cipher->new_context();
  target.cipher->set_key(target.cipher_ctx, cipher_key);
  target.cipher->set_iv(target.cipher_ctx, iv);
  target.mac_ctx = target.mac->new_context();
  target.mac->set_key(target.mac_ctx, mac_key);
  target.compression_ctx = target.outgoing ? target.compression->compress_new() : target.compression->decompress_new();
}

void ssh2_receive(SshSession* ssh, const unsigned char* data, size_t length) {
  ssh->incoming.insert(ssh->incoming.end(), data, data + length);
  while (ssh->state != kSshClosed && !ssh->frozen && read_packet(ssh)) {
  }
  if (ssh->state == kSshClosed) return;
  // Keep the unread tail at the front so the buffer never grows beyond about one packet.
  wiped_erase_front(ssh->incoming, ssh->incoming_used);
  ssh->incoming_used = 0;
}

void ssh2_send_now(SshSession* ssh, const WireBuffer& payload, size_t secret_from) {
  if (ssh->socket == nullptr) return;
  if (is_cbc(ssh->out)) {
    defer(ssh, payload.bytes(), false, secret_from);
    send_deferred(ssh);
    return;
  }
  write_to_socket(ssh, build_packet(ssh, payload.bytes(), secret_from));
  ssh2_check_data_limit(ssh, true);
}

void ssh2_send(SshSession* ssh, const WireBuffer& payload, size_t secret_from) {
  if (ssh->queueing)
    ssh->queued.push_back({WipedVector(payload.bytes().begin(), payload.bytes().end()), secret_from});
  else
    ssh2_send_now(ssh, payload, secret_from);
}

void ssh2_flush_queue(SshSession* ssh) {
  if (ssh->queued.empty()) return;
  std::vector<SshQueuedPayload> queued;
  queued.swap(ssh->queued);
  for (const auto& item : queued) defer(ssh, item.payload, false, item.secret_from);
  send_deferred(ssh);
}

// SSH-1 packet framing (protocol 1.5): length, 1 to 8 bytes of padding, type, payload and
// CRC-32, encrypted from the padding on, with the CRC compensation-attack check.
#include "base/memory.h"
#include "crypto/crc32.h"
#include "crypto/random_pool.h"
#include "crypto/secure_clear.h"
#include "crypto/ssh1_attack_detector.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

uint32_t read_be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void write_be32(unsigned char* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

bool compressing(const Ssh1PacketLayer& layer) {
  return layer.compression != nullptr && layer.compression != &ssh_compression_none;
}

}  // namespace

std::vector<unsigned char> ssh1_build_packet(Ssh1PacketLayer& layer, uint8_t type, const unsigned char* payload,
                                             size_t length) {
  std::vector<unsigned char> body(1 + length);
  body[0] = type;
  std::copy(payload, payload + length, body.begin() + 1);
  if (compressing(layer)) {
    unsigned char* block = nullptr;
    int block_length = 0;
    if (layer.compression->compress(layer.compress_ctx, body.data(), static_cast<int>(body.size()), &block,
                                    &block_length))
      body.assign(block, block + block_length);
    secure_clear(block, static_cast<size_t>(block_length > 0 ? block_length : 0));
    checked_free(block);
  }
  uint32_t packet_length = static_cast<uint32_t>(body.size() + 4);
  uint32_t padding = 8 - packet_length % 8;
  std::vector<unsigned char> packet(4 + padding + packet_length);
  write_be32(packet.data(), packet_length);
  for (uint32_t i = 0; i < padding; ++i) packet[4 + i] = random_next_byte();
  std::copy(body.begin(), body.end(), packet.begin() + 4 + padding);
  size_t crc_at = packet.size() - 4;
  write_be32(packet.data() + crc_at, crc32_buffer(packet.data() + 4, crc_at - 4));
  if (layer.cipher != nullptr) layer.cipher->encrypt(layer.cipher_ctx, packet.data() + 4, packet.size() - 4);
  return packet;
}

int ssh1_read_packet(Ssh1PacketLayer& layer, const unsigned char* data, size_t length,
                     std::vector<unsigned char>* packet, std::string* error) {
  layer.incoming.insert(layer.incoming.end(), data, data + length);
  if (layer.incoming.size() < 4) return 0;
  uint32_t packet_length = read_be32(layer.incoming.data());
  if (packet_length > kSsh1MaxPacketLength) {
    *error = "Extremely large packet length from server suggests data stream corruption";
    return -1;
  }
  if (packet_length < kSsh1MinPacketLength) {
    *error = "Incoming packet is too short to hold a type and a CRC";
    return -1;
  }
  size_t padded = packet_length + (8 - packet_length % 8);
  if (layer.incoming.size() < 4 + padded) return 0;
  unsigned char* bytes = layer.incoming.data() + 4;
  if (layer.cipher != nullptr) {
    if (layer.detector == nullptr) layer.detector = attack_detector_new();
    if (attack_detector_check(layer.detector, bytes, padded, nullptr)) {
      *error = "Network attack (CRC compensation) detected!";
      return -1;
    }
    layer.cipher->decrypt(layer.cipher_ctx, bytes, padded);
  }
  if (crc32_buffer(bytes, padded - 4) != read_be32(bytes + padded - 4)) {
    *error = "Incorrect CRC received on packet";
    return -1;
  }
  const unsigned char* body = bytes + (padded - packet_length);
  packet->assign(body, body + packet_length - 4);
  wiped_erase_front(layer.incoming, 4 + padded);
  if (compressing(layer)) {
    unsigned char* block = nullptr;
    int block_length = 0;
    if (!layer.compression->decompress(layer.decompress_ctx, packet->data(), static_cast<int>(packet->size()), &block,
                                       &block_length) ||
        block_length == 0) {
      checked_free(block);
      *error = "Zlib decompression encountered invalid data";
      return -1;
    }
    packet->assign(block, block + block_length);
    secure_clear(block, static_cast<size_t>(block_length));
    checked_free(block);
  }
  return 1;
}

void ssh1_packet_layer_free(Ssh1PacketLayer& layer) {
  if (layer.detector != nullptr) attack_detector_free(layer.detector);
  layer.detector = nullptr;
  layer.incoming.clear();
}

// The SSH-1 packet layer as a server feeds it: framing, the CRC compensation-attack detector
// and decryption under each cipher, and decompression. The first byte picks the cipher, the
// compression and the size of the pieces; every packet is taken, refused or waited for.
#include "crypto/algorithms.h"
#include "remoteshell/ssh/ssh_session.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  static const Ssh1CipherAlgorithm* const kCiphers[] = {nullptr, &ssh1_3des, &ssh1_des, &ssh1_blowfish};
  static const unsigned char kSessionKey[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
  Ssh1PacketLayer layer;
  layer.cipher = kCiphers[data[0] & 3];
  if (layer.cipher != nullptr) {
    layer.cipher_ctx = layer.cipher->new_context();
    layer.cipher->set_session_key(layer.cipher_ctx, kSessionKey);
  }
  if (data[0] & 4) {
    layer.compression = &ssh_zlib;
    layer.decompress_ctx = ssh_zlib.decompress_new();
  }
  const size_t piece = 1 + (data[0] >> 3) * 16;
  bool failed = false;
  for (size_t at = 1; at < size && !failed; at += piece) {
    const size_t length = std::min(piece, size - at);
    std::vector<unsigned char> packet;
    std::string error;
    int result = ssh1_read_packet(layer, data + at, length, &packet, &error);
    // Whole packets already buffered come out before more bytes are needed.
    while (result == 1) {
      if (packet.empty()) __builtin_trap();
      result = ssh1_read_packet(layer, nullptr, 0, &packet, &error);
    }
    failed = result < 0;
  }
  ssh1_packet_layer_free(layer);
  if (layer.cipher != nullptr) layer.cipher->free_context(layer.cipher_ctx);
  if (layer.decompress_ctx != nullptr) ssh_zlib.decompress_free(layer.decompress_ctx);
  return 0;
}

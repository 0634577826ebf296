// The SSH-2 packet layer as a server feeds it, plain and under each cipher, MAC and
// compression. The first byte picks the cipher, the second the MAC (bit 7: compression), the
// third the mode: bytes straight from the server in pieces, or one of our own packets with a
// byte changed, which must never be dispatched when a MAC guards it (the unchanged packet
// must be).
#include "crypto/algorithms.h"
#include "tests/fuzz/ssh_harness.h"

namespace {

const CipherAlgorithm* const kCiphers[] = {nullptr,           &ssh_aes256_ctr,   &ssh_aes256_cbc, &ssh_rijndael_lysator,
                                           &ssh_aes192_ctr,   &ssh_aes192_cbc,   &ssh_aes128_ctr, &ssh_aes128_cbc,
                                           &ssh_blowfish_ctr, &ssh_blowfish_cbc, &ssh_3des_ctr,   &ssh_3des_cbc,
                                           &ssh_arcfour256,   &ssh_arcfour128,   &ssh_des_cbc,    &ssh_des_sshcom};
const MacAlgorithm* const kMacs[] = {
    nullptr, &ssh_hmac_sha1, &ssh_hmac_sha1_96, &ssh_hmac_sha1_buggy, &ssh_hmac_sha1_96_buggy, &ssh_hmac_md5};

std::string dispatched;  // the payloads past the transport, in order

bool Record(SshSession*, const unsigned char* payload, size_t length) {
  dispatched.append(reinterpret_cast<const char*>(payload), length);
  return true;
}

// A session whose direction (in or out) runs the chosen algorithms (plain when there is no
// cipher: the layer then has none at all) and hands every packet past the transport to Record.
void Install(fuzz_support::SshPeer& peer, bool incoming, const CipherAlgorithm* cipher, const MacAlgorithm* mac,
             bool compress) {
  SshSession* ssh = peer.session();
  ssh->version = 2;
  ssh->state = kSshSession;
  ssh->kex.first_done = true;
  ssh->packet_handler = Record;
  if (cipher == nullptr || mac == nullptr) return;
  static const unsigned char kKey[64] = {7, 1, 8, 2, 8, 1, 8, 2, 8, 4, 5, 9, 0, 4, 5, 2,
                                         3, 5, 3, 6, 0, 2, 8, 7, 4, 7, 1, 3, 5, 2, 6, 6};
  SshDirection chosen;
  chosen.cipher = cipher;
  chosen.mac = mac;
  chosen.compression = compress ? &ssh_zlib : &ssh_compression_none;
  ssh2_install(incoming ? ssh->in : ssh->out, chosen, kKey, kKey + 32, kKey + 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 4) return 0;
  const CipherAlgorithm* cipher = kCiphers[data[0] % std::size(kCiphers)];
  const MacAlgorithm* mac = kMacs[(data[1] & 0x7f) % std::size(kMacs)];
  // The layer has either no algorithms at all or a cipher and a MAC together.
  if ((cipher == nullptr) != (mac == nullptr)) mac = cipher == nullptr ? nullptr : &ssh_hmac_sha1;
  const bool compress = (data[1] & 0x80) != 0;
  const unsigned char mode = data[2];
  data += 3;
  size -= 3;
  dispatched.clear();

  if ((mode & 1) == 0) {
    fuzz_support::SshPeer server(fuzz_support::SshConfig());
    Install(server, true, cipher, mac, compress);
    const size_t piece = 1 + (mode >> 1) * 4;
    for (size_t at = 0; at < size && !server.Closed(); at += piece)
      server.Receive(data + at, std::min(piece, size - at));
    return 0;
  }

  if (mac == nullptr) return 0;
  // One payload past the transport's own message numbers, sent by us.
  fuzz_support::SshPeer sender(fuzz_support::SshConfig());
  Install(sender, false, cipher, mac, compress);
  WireBuffer payload;
  payload.put_byte(static_cast<uint8_t>(50 + data[0] % 200));
  payload.put_raw(data + 1, size - 1);
  ssh2_send_now(sender.session(), payload);
  const std::string packets = sender.sent();
  const std::string expected(reinterpret_cast<const char*>(payload.bytes().data()), payload.bytes().size());

  fuzz_support::SshPeer intact(fuzz_support::SshConfig());
  Install(intact, true, cipher, mac, compress);
  intact.Receive(reinterpret_cast<const unsigned char*>(packets.data()), packets.size());
  if (dispatched != expected) __builtin_trap();

  dispatched.clear();
  std::string tampered = packets;
  tampered[(size_t{mode} * 131 + data[size - 1]) % tampered.size()] ^= static_cast<char>((mode >> 1) | 1);
  fuzz_support::SshPeer receiver(fuzz_support::SshConfig());
  Install(receiver, true, cipher, mac, compress);
  receiver.Receive(reinterpret_cast<const unsigned char*>(tampered.data()), tampered.size());
  if (dispatched.find(expected) != std::string::npos) __builtin_trap();
  return 0;
}

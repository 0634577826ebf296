// Diffie-Hellman group exchange: the group request, the RFC 4419 request for servers that
// refuse the old one, and the checks on the group the server sends.
#include "remoteshell/ssh/ssh_session.h"

namespace {

// The bounds of the RFC 4419 request, and of any group we accept.
constexpr uint32_t kGexMinBits = 1024;
constexpr uint32_t kGexMaxBits = 8192;

void send_request(SshSession* ssh, bool new_style) {
  SshKexState& kex = ssh->kex;
  WireBuffer request;
  request.put_byte(new_style ? kMsgGexRequest : kMsgKexDhInit);
  if (new_style) request.put_uint32(kGexMinBits);
  request.put_uint32(kex.gex_bits);
  if (new_style) request.put_uint32(kGexMaxBits);
  ssh2_send_now(ssh, request);
  // The request is the last packet sent (a CBC defence IGNORE may precede it).
  kex.gex_request_sequence = ssh2_next_sequence(ssh) - 1;
  kex.gex_new_style = new_style;
  kex.step = kKexAwaitGroup;
}

}  // namespace

void ssh2_gex_request(SshSession* ssh) {
  ssh_event(ssh, "Doing Diffie-Hellman group exchange");
  ssh->kex.gex_bits = 512u << ((ssh->kex.nbits - 1) / 64);
  send_request(ssh, false);
}

void ssh2_gex_resend_rfc4419(SshSession* ssh) { send_request(ssh, true); }

bool ssh2_gex_group(SshSession* ssh, WireBuffer& body) {
  SshKexState& kex = ssh->kex;
  kex.p.reset(body.get_mpint());
  kex.g.reset(body.get_mpint());
  if (kex.p == nullptr || kex.g == nullptr || body.failed()) {
    ssh_fatal(ssh, "unable to read mp-ints from incoming group packet");
    return false;
  }
  int bits = bn_bit_count(kex.p.get());
  if (bits >= static_cast<int>(kGexMinBits) && bits <= static_cast<int>(kGexMaxBits))
    kex.dh = dh_new_from_params(kex.p.get(), kex.g.get());  // refuses an even p and g outside (1, p-1)
  if (kex.dh == nullptr) {
    ssh_fatal(ssh, "Server sent an unusable Diffie-Hellman group (" + std::to_string(bits) + " bits)");
    return false;
  }
  return true;
}

void ssh2_gex_hash_request(SshSession* ssh, WireBuffer& hash_input) {
  if (ssh->kex.gex_new_style) hash_input.put_uint32(kGexMinBits);
  hash_input.put_uint32(ssh->kex.gex_bits);
  if (ssh->kex.gex_new_style) hash_input.put_uint32(kGexMaxBits);
}

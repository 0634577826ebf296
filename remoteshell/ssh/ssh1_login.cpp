// The SSH-1 login up to authentication: the server's public keys and the host-key check, the
// session key (encrypted with the smaller key, then the larger), the cipher, and the user name.
#include <cstring>
#include <memory>

#include "base/memory.h"
#include "crypto/md5.h"
#include "crypto/public_key_limits.h"
#include "crypto/random_pool.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

constexpr uint32_t kLocalProtocolFlags = 1;  // screen number in X11 requests
constexpr int kSessionKeyLength = 32;

enum Ssh1CipherNumber { kCipherDes = 2, kCipher3des = 3, kCipherBlowfish = 6 };

struct CipherChoice {
  int number;
  const Ssh1CipherAlgorithm* algorithm;
  const char* name;
};

// The "Cipher" preference list's numbers: aes 3, blowfish 2, 3des 1, WARN 0, arcfour 5, des 4.
const CipherChoice* cipher_for(int preference) {
  static const CipherChoice kBlowfish{kCipherBlowfish, &ssh1_blowfish, "Blowfish"};
  static const CipherChoice kTripleDes{kCipher3des, &ssh1_3des, "3DES"};
  static const CipherChoice kDes{kCipherDes, &ssh1_des, "single-DES"};
  switch (preference) {
    case 2: return &kBlowfish;
    case 1: return &kTripleDes;
    case 4: return &kDes;
    default: return nullptr;
  }
}

struct KeyRelease {
  void operator()(RsaKey* key) const {
    rsa_key_clear(key);
    delete key;
  }
};
using KeyPtr = std::unique_ptr<RsaKey, KeyRelease>;

KeyPtr read_key(WireBuffer& body) {
  KeyPtr key(new RsaKey{});
  int used = rsa_read_ssh1_key(body.position(), static_cast<int>(body.remaining()), key.get(), nullptr, 0);
  if (used < 0) return nullptr;
  body.skip(static_cast<size_t>(used));
  return key;
}

void feed_modulus(Md5State* md5, const RsaKey& key) {
  for (int i = key.bytes - 1; i >= 0; --i) {
    unsigned char byte = static_cast<unsigned char>(bn_byte_at(key.modulus, i));
    md5_feed(md5, &byte, 1);
  }
}

// The first cipher of the preference list the server offers; false (after the fatal error or
// the abandoned warning) when there is none or the user declines it.
const CipherChoice* choose_cipher(SshSession* ssh) {
  bool warn = false;
  for (int preference : ssh->config.cipher_list) {
    if (preference == 0) {
      warn = true;
      continue;
    }
    if (preference == 3) {
      ssh_event(ssh, "AES not supported in SSH-1, skipping");
      continue;
    }
    const CipherChoice* choice = cipher_for(preference);
    if (choice == nullptr || (ssh->ssh1.cipher_mask & (1u << choice->number)) == 0) continue;
    if (warn && weak_algorithm_prompt(ssh->frontend, "cipher", choice->name, nullptr, nullptr) <= 0) {
      ssh_disconnect(ssh, "User aborted at cipher warning", nullptr, 0, true);
      return nullptr;
    }
    return choice;
  }
  ssh_fatal(ssh, (ssh->ssh1.cipher_mask & (1u << kCipher3des)) != 0
                     ? "No supported ciphers found"
                     : "Server violates SSH-1 protocol by not supporting 3DES encryption");
  return nullptr;
}

// The session key XORed with the session identifier in its first 16 bytes, encrypted with the
// key of the smaller modulus, then with the other.
bool encrypt_session_key(const unsigned char session_key[kSessionKeyLength], const unsigned char session_id[16],
                         const RsaKey& server_key, const RsaKey& host_key, std::vector<unsigned char>* out) {
  const RsaKey& inner = bn_compare(server_key.modulus, host_key.modulus) < 0 ? server_key : host_key;
  const RsaKey& outer = &inner == &server_key ? host_key : server_key;
  std::vector<unsigned char> buffer(static_cast<size_t>(std::max(outer.bytes, kSessionKeyLength)));
  for (int i = 0; i < kSessionKeyLength; ++i) buffer[i] = session_key[i] ^ (i < 16 ? session_id[i] : 0);
  int capacity = static_cast<int>(buffer.size());
  if (!rsa_public_encrypt_ssh1(buffer.data(), kSessionKeyLength, capacity, &inner) ||
      !rsa_public_encrypt_ssh1(buffer.data(), inner.bytes, capacity, &outer)) {
    explicit_bzero(buffer.data(), buffer.size());
    return false;
  }
  out->assign(buffer.begin(), buffer.begin() + outer.bytes);
  return true;
}

void take_public_key(SshSession* ssh, uint8_t type, WireBuffer& body) {
  Ssh1State& state = ssh->ssh1;
  if (type != kSsh1PublicKey) return ssh_fatal(ssh, "Public key packet not received");
  ssh_event(ssh, "Received public keys");
  std::string_view cookie = body.get_raw(sizeof state.cookie);
  if (body.failed()) return ssh_fatal(ssh, "SSH-1 public key packet stopped before random cookie");
  std::memcpy(state.cookie, cookie.data(), sizeof state.cookie);
  KeyPtr server_key = read_key(body);
  KeyPtr host_key = server_key ? read_key(body) : nullptr;
  if (!host_key) return ssh_fatal(ssh, "Failed to read SSH-1 public keys from public key packet");
  for (const KeyPtr* key : {&server_key, &host_key}) {
    std::string refusal = rsa_key_size_refusal((*key)->modulus, (*key)->exponent);
    if (!refusal.empty()) return ssh_fatal(ssh, "Server's public key refused: " + refusal);
  }

  char fingerprint[512];
  rsa_fingerprint_text(fingerprint, sizeof fingerprint, host_key.get());
  ssh_event(ssh, "Host key fingerprint is:");
  ssh_event(ssh, "      %s", fingerprint);
  state.protocol_flags = body.get_uint32();
  state.cipher_mask = body.get_uint32();
  state.auth_mask = body.get_uint32();

  Md5State md5;
  md5_begin(&md5);
  feed_modulus(&md5, *host_key);
  feed_modulus(&md5, *server_key);
  md5_feed(&md5, state.cookie, sizeof state.cookie);
  md5_finish(&md5, state.session_id);

  for (const RsaKey* key : {server_key.get(), host_key.get()})
    if (key->bytes * 8 < key->bits) return ssh_fatal(ssh, "SSH-1 public keys were badly formatted");

  std::vector<char> key_text(static_cast<size_t>(rsa_key_text_size(host_key.get())));
  rsa_key_text(key_text.data(), host_key.get());
  int answer = host_key_check_prompt(ssh->frontend, ssh->host.c_str(), ssh->port, "rsa", key_text.data(), fingerprint,
                                     nullptr, nullptr);
  if (answer <= 0) return ssh_disconnect(ssh, "User aborted at host key verification", nullptr, 0, true);

  unsigned char session_key[kSessionKeyLength];
  for (unsigned char& byte : session_key) byte = random_next_byte();
  std::vector<unsigned char> encrypted;
  if (!encrypt_session_key(session_key, state.session_id, *server_key, *host_key, &encrypted)) {
    explicit_bzero(session_key, sizeof session_key);
    return ssh_fatal(ssh, "SSH-1 public key encryptions failed due to bad formatting");
  }
  ssh_event(ssh, "Encrypted session key");

  const CipherChoice* cipher = choose_cipher(ssh);
  if (cipher == nullptr) {
    explicit_bzero(session_key, sizeof session_key);
    return;
  }
  ssh_event(ssh, "Using %s encryption", cipher->name);
  WireBuffer reply;
  reply.put_byte(static_cast<uint8_t>(cipher->number));
  reply.put_raw(state.cookie, sizeof state.cookie);
  BigNumPtr value(bn_from_bytes_be(encrypted.data(), static_cast<int>(encrypted.size())));
  reply.put_mpint_ssh1(value.get());
  reply.put_uint32(kLocalProtocolFlags);
  ssh1_send(ssh, kSsh1SessionKey, reply);
  ssh_event(ssh, "Trying to enable encryption...");

  Ssh1PacketLayer& layer = state.layer;
  layer.cipher = cipher->algorithm;
  layer.cipher_ctx = cipher->algorithm->new_context();
  cipher->algorithm->set_session_key(layer.cipher_ctx, session_key);
  explicit_bzero(session_key, sizeof session_key);
  ssh_event(ssh, "Initialised %s encryption", cipher->algorithm->display_name);
  ssh_event(ssh, "Installing CRC compensation attack detector");
  state.step = kSsh1AwaitEncryption;
}

void send_user(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  if (!ssh_login_name(ssh, &state.user)) return ssh_disconnect(ssh, "No username provided", nullptr, 0, true);
  WireBuffer user;
  user.put_string(state.user);
  ssh1_send(ssh, kSsh1User, user);
  ssh_event(ssh, "Sent username \"%s\"", state.user.c_str());
  state.step = kSsh1AwaitUserReply;
}

}  // namespace

void ssh1_login_packet(SshSession* ssh, uint8_t type, WireBuffer& body) {
  switch (ssh->ssh1.step) {
    case kSsh1AwaitPublicKey: return take_public_key(ssh, type, body);
    case kSsh1AwaitEncryption:
      if (type != kSsh1Success) return ssh_fatal(ssh, "Encryption not successfully enabled");
      ssh_event(ssh, "Successfully started encryption");
      backend_connected(ssh->frontend);
      return send_user(ssh);
    case kSsh1AwaitUserReply:
      if (type == kSsh1Success) return ssh1_session_start(ssh);
      if (type == kSsh1Failure) return ssh1_auth_next(ssh);
      return ssh_fatal(ssh, "Strange packet received, type " + std::to_string(type));
    default: break;
  }
}

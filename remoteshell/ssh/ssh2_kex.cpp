// SSH-2 key exchange: our KEXINIT, the choice against the server's lists, the weak-algorithm
// warnings, Diffie-Hellman over a fixed group (group exchange in its own file), host-key
// verification through the front end, key derivation and NEWKEYS.
#include <cstring>
#include <string_view>

#include "base/memory.h"
#include "crypto/public_key_limits.h"
#include "crypto/random_pool.h"
#include "crypto/secure_clear.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

// A preference list: null entries are the warning threshold.
template <typename T>
using Preferences = std::vector<const T*>;

Preferences<KexAlgorithm> kex_preferences(const SessionConfig& config) {
  Preferences<KexAlgorithm> list;
  for (int entry : config.kex_list) {
    const KexGroup* group = entry == 1   ? &ssh_diffiehellman_group1
                            : entry == 2 ? &ssh_diffiehellman_group14
                            : entry == 3 ? &ssh_diffiehellman_gex
                                         : nullptr;
    if (group == nullptr) {
      list.push_back(nullptr);
      continue;
    }
    for (int i = 0; i < group->count; ++i) list.push_back(group->list[i]);
  }
  return list;
}

Preferences<CipherAlgorithm> cipher_preferences(const SessionConfig& config) {
  Preferences<CipherAlgorithm> list;
  for (int entry : config.cipher_list) {
    const CipherGroup* group = entry == 1   ? &ssh2_3des
                               : entry == 2 ? &ssh2_blowfish
                               : entry == 3 ? &ssh2_aes
                               : entry == 4 ? (config.ssh2_des_cbc ? &ssh2_des : nullptr)
                               : entry == 5 ? &ssh2_arcfour
                                            : nullptr;
    if (group == nullptr) {
      if (entry == 0) list.push_back(nullptr);
      continue;
    }
    for (int i = 0; i < group->count; ++i) list.push_back(group->list[i]);
  }
  return list;
}

Preferences<MacAlgorithm> mac_preferences(const SshSession* ssh) {
  const MacAlgorithm* const* macs = (ssh->quirks & kQuirkHmac2) != 0 ? ssh2_buggy_macs : ssh2_macs;
  return Preferences<MacAlgorithm>(macs, macs + ssh2_mac_count);
}

Preferences<CompressionAlgorithm> compression_preferences(const SshSession* ssh) {
  if (ssh->config.compression) return {&ssh_zlib, &ssh_compression_none};
  return {&ssh_compression_none, &ssh_zlib};
}

template <typename T>
std::string name_list(const Preferences<T>& list) {
  std::string names;
  for (const T* item : list) {
    if (item == nullptr) continue;
    if (!names.empty()) names += ',';
    names += item->name;
  }
  return names;
}

bool list_contains(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    size_t comma = list.find(',');
    if (list.substr(0, comma) == name) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

std::string_view first_name(std::string_view list) { return list.substr(0, list.find(',')); }

// The first of ours that the server offers; warned is set when a threshold was passed.
template <typename T>
const T* choose(const Preferences<T>& ours, std::string_view theirs, bool* warned = nullptr) {
  bool past_threshold = false;
  for (const T* item : ours) {
    if (item == nullptr) {
      past_threshold = true;
      continue;
    }
    if (list_contains(theirs, item->name)) {
      if (warned != nullptr) *warned = past_threshold;
      return item;
    }
  }
  return nullptr;
}

void send_kexinit(SshSession* ssh) {
  WireBuffer packet;
  packet.put_byte(kMsgKexInit);
  for (int i = 0; i < 16; ++i) packet.put_byte(random_next_byte());
  std::string ciphers = name_list(cipher_preferences(ssh->config));
  std::string macs = name_list(mac_preferences(ssh));
  std::string compressions = name_list(compression_preferences(ssh));
  packet.put_string(name_list(kex_preferences(ssh->config)));
  packet.put_string(name_list(Preferences<HostKeyAlgorithm>(ssh2_host_keys, ssh2_host_keys + ssh2_host_key_count)));
  for (const std::string* list : {&ciphers, &ciphers, &macs, &macs, &compressions, &compressions})
    packet.put_string(*list);
  packet.put_string("");
  packet.put_string("");
  packet.put_bool(false);
  packet.put_uint32(0);
  ssh->kex.our_kexinit = packet.bytes();
  ssh2_send_now(ssh, packet);
}

// The weak-algorithm warnings still to ask, in order; kex.warnings holds one bit for each.
struct Warning {
  unsigned bit;
  const char* kind;
  const char* abort_reason;
};
constexpr Warning kWarnings[] = {{1, "key-exchange algorithm", "User aborted at kex warning"},
                                 {2, "client-to-server cipher", "User aborted at cipher warning"},
                                 {4, "server-to-client cipher", "User aborted at cipher warning"}};

const char* warned_name(const SshKexState& kex, unsigned bit) {
  return bit == 1 ? kex.kex->name : bit == 2 ? kex.pending_out.cipher->name : kex.pending_in.cipher->name;
}

void answer_later(void* context, int answer);

// The answer to the first warning still open: true to go on.
bool take_warning_answer(SshSession* ssh, int answer) {
  SshKexState& kex = ssh->kex;
  for (const Warning& warning : kWarnings) {
    if ((kex.warnings & warning.bit) == 0) continue;
    kex.warnings &= ~warning.bit;
    if (answer > 0) return true;
    ssh_disconnect(ssh, warning.abort_reason, nullptr, 0, true);
    return false;
  }
  return true;
}

// An answer that comes later freezes the session until it arrives (answer_later).
bool ask_later(SshSession* ssh, int answer, SshKexQuestion question) {
  if (answer >= 0) return false;
  ssh->kex.question = question;
  ssh->frozen = true;
  return true;
}

// True when every warning was answered yes; false when the session ended or waits for an
// answer.
bool ask_warnings(SshSession* ssh) {
  SshKexState& kex = ssh->kex;
  for (const Warning& warning : kWarnings) {
    if ((kex.warnings & warning.bit) == 0) continue;
    int answer =
        ssh->weak_algorithm_question(ssh->frontend, warning.kind, warned_name(kex, warning.bit), answer_later, ssh);
    if (ask_later(ssh, answer, kQuestionWarning)) return false;
    if (!take_warning_answer(ssh, answer)) return false;
  }
  return true;
}

bool fail_choice(SshSession* ssh, const char* what, std::string_view available, bool missing) {
  std::string text = std::string("Couldn't agree ") + what +
                     " (available: " + (missing ? std::string("(null)") : std::string(available)) + ")";
  ssh_fatal(ssh, text);
  return false;
}

void start_diffie_hellman(SshSession* ssh);

// The server's KEXINIT: choose everything, warn, start Diffie-Hellman.
bool take_server_kexinit(SshSession* ssh, const unsigned char* payload, size_t length) {
  SshKexState& kex = ssh->kex;
  kex.server_kexinit.assign(payload, payload + length);
  WireBuffer body(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
  body.skip(16);
  std::string_view lists[10];
  for (auto& list : lists) list = body.get_string();
  bool guess_follows = body.get_bool();
  bool missing = body.failed();

  bool kex_warned = false, c2s_warned = false, s2c_warned = false;
  Preferences<KexAlgorithm> kexes = kex_preferences(ssh->config);
  kex.kex = missing ? nullptr : choose(kexes, lists[0], &kex_warned);
  if (kex.kex == nullptr) return fail_choice(ssh, "a key exchange algorithm", lists[0], missing);
  Preferences<HostKeyAlgorithm> host_keys(ssh2_host_keys, ssh2_host_keys + ssh2_host_key_count);
  kex.host_key = choose(host_keys, lists[1]);
  if (kex.host_key == nullptr) return fail_choice(ssh, "a host key algorithm", lists[1], false);
  const KexAlgorithm* our_first_kex = nullptr;
  for (const KexAlgorithm* item : kexes)
    if (item != nullptr && our_first_kex == nullptr) our_first_kex = item;
  bool guess_right = first_name(lists[0]) == our_first_kex->name && first_name(lists[1]) == host_keys[0]->name;
  kex.ignore_next_packet = guess_follows && !guess_right;

  Preferences<CipherAlgorithm> ciphers = cipher_preferences(ssh->config);
  kex.pending_out.cipher = choose(ciphers, lists[2], &c2s_warned);
  if (kex.pending_out.cipher == nullptr) return fail_choice(ssh, "a client-to-server cipher", lists[2], false);
  kex.pending_in.cipher = choose(ciphers, lists[3], &s2c_warned);
  if (kex.pending_in.cipher == nullptr) return fail_choice(ssh, "a server-to-client cipher", lists[3], false);
  Preferences<MacAlgorithm> macs = mac_preferences(ssh);
  kex.pending_out.mac = choose(macs, lists[4]);
  if (kex.pending_out.mac == nullptr) return fail_choice(ssh, "a client-to-server MAC algorithm", lists[4], false);
  kex.pending_in.mac = choose(macs, lists[5]);
  if (kex.pending_in.mac == nullptr) return fail_choice(ssh, "a server-to-client MAC algorithm", lists[5], false);
  Preferences<CompressionAlgorithm> compressions = compression_preferences(ssh);
  kex.pending_out.compression = choose(compressions, lists[6]);
  if (kex.pending_out.compression == nullptr)
    return fail_choice(ssh, "a client-to-server compression algorithm", lists[6], false);
  kex.pending_in.compression = choose(compressions, lists[7]);
  if (kex.pending_in.compression == nullptr)
    return fail_choice(ssh, "a server-to-client compression algorithm", lists[7], false);

  kex.warnings = (kex_warned ? 1u : 0u) | (c2s_warned ? 2u : 0u) | (s2c_warned ? 4u : 0u);
  if (!ask_warnings(ssh)) return false;
  start_diffie_hellman(ssh);
  return true;
}

// After the choice and its warnings: the group (fixed, or asked for) and our e.
void start_diffie_hellman(SshSession* ssh) {
  SshKexState& kex = ssh->kex;
  kex.nbits = std::max(kex.pending_out.cipher->key_bits, kex.pending_in.cipher->key_bits);
  kex.nbits = std::min(kex.nbits, kex.kex->hash->digest_length * 8);
  ssh2_kex_clear(kex);
  if (kex.kex->group_name == nullptr) return ssh2_gex_request(ssh);
  ssh_event(ssh, "Using Diffie-Hellman with standard group \"%s\"", kex.kex->group_name);
  kex.dh = dh_new_from_group(kex.kex);
  kex.p.reset(bn_copy(kex.dh->p));
  kex.g.reset(bn_copy(kex.dh->g));
  ssh2_kex_send_init(ssh);
}

std::vector<unsigned char> hash_bytes(const HashAlgorithm* hash, std::initializer_list<std::string_view> parts) {
  void* state = hash->begin();
  for (std::string_view part : parts) hash->feed(state, part.data(), part.size());
  std::vector<unsigned char> digest(static_cast<size_t>(hash->digest_length));
  hash->finish(state, digest.data());
  return digest;
}

std::string_view view(const std::vector<unsigned char>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// RFC 4253 7.2: HASH(K, H, letter, session id), extended by HASH(K, H, first part) to twice
// the hash length, which covers every key, IV and MAC key of the tables.
std::vector<unsigned char> derive_key(const SshSession* ssh, char letter) {
  const SshKexState& kex = ssh->kex;
  WireBuffer k;
  if ((ssh->quirks & kQuirkDeriveKey2) == 0) k.put_mpint(kex.k.get());
  std::string_view kv = view(k.bytes());
  std::string_view h = view(kex.exchange_hash);
  std::vector<unsigned char> key =
      hash_bytes(kex.kex->hash, {kv, h, std::string_view(&letter, 1), view(kex.session_id)});
  std::vector<unsigned char> more = hash_bytes(kex.kex->hash, {kv, h, view(key)});
  key.insert(key.end(), more.begin(), more.end());
  secure_clear(more.data(), more.size());
  return key;
}

void install_keys(SshSession* ssh, bool outgoing) {
  const char* letters = outgoing ? "CAE" : "DBF";
  std::vector<unsigned char> keys[3];
  for (int i = 0; i < 3; ++i) keys[i] = derive_key(ssh, letters[i]);
  SshDirection& chosen = outgoing ? ssh->kex.pending_out : ssh->kex.pending_in;
  ssh2_install(outgoing ? ssh->out : ssh->in, chosen, keys[0].data(), keys[1].data(), keys[2].data());
  for (auto& key : keys) secure_clear(key.data(), key.size());
  const char* side = outgoing ? "client->server" : "server->client";
  ssh_event(ssh, "Initialised %.200s %s encryption", chosen.cipher->display_name, side);
  ssh_event(ssh, "Initialised %.200s %s MAC algorithm", chosen.mac->display_name, side);
  if (chosen.compression->display_name != nullptr)
    ssh_event(ssh, "Initialised %s %s", chosen.compression->display_name, outgoing ? "compression" : "decompression");
}

void take_host_key_answer(SshSession* ssh, int answer);

void take_reply(SshSession* ssh, WireBuffer& body) {
  SshKexState& kex = ssh->kex;
  std::string_view host_blob = body.get_string();
  BigNumPtr f(body.get_mpint());
  std::string_view signature = body.get_string();
  if (f == nullptr || body.failed()) return ssh_fatal(ssh, "unable to parse key exchange reply packet");
  kex.k.reset(dh_shared_secret(kex.dh, f.get()));
  if (kex.k == nullptr) return ssh_fatal(ssh, "Server's Diffie-Hellman value is out of range");
  kex.f = std::move(f);

  WireBuffer exchange;
  exchange.put_string(ssh->client_ident);
  exchange.put_string(ssh->server_ident);
  exchange.put_string(kex.our_kexinit.data(), kex.our_kexinit.size());
  exchange.put_string(kex.server_kexinit.data(), kex.server_kexinit.size());
  exchange.put_string(host_blob.data(), host_blob.size());
  if (kex.kex->group_name == nullptr) {
    ssh2_gex_hash_request(ssh, exchange);
    exchange.put_mpint(kex.p.get());
    exchange.put_mpint(kex.g.get());
  }
  exchange.put_mpint(kex.e.get());
  exchange.put_mpint(kex.f.get());
  exchange.put_mpint(kex.k.get());
  kex.exchange_hash = hash_bytes(kex.kex->hash, {view(exchange.bytes())});

  const HostKeyAlgorithm* algorithm = kex.host_key;
  std::string refusal = public_key_size_refusal(wire_bytes(host_blob), static_cast<int>(host_blob.size()));
  if (!refusal.empty()) return ssh_fatal(ssh, "Server's host key refused: " + refusal);
  void* key = algorithm->key_from_public_blob(wire_bytes(host_blob), static_cast<int>(host_blob.size()));
  if (key == nullptr ||
      !algorithm->verify_signature(key, wire_bytes(signature), static_cast<int>(signature.size()),
                                   kex.exchange_hash.data(), static_cast<int>(kex.exchange_hash.size()))) {
    if (key != nullptr) algorithm->free_key(key);
    return ssh_fatal(ssh, "Server's host key did not match the signature supplied");
  }
  char* key_text = algorithm->key_text(key);
  char* fingerprint = algorithm->fingerprint(key);
  algorithm->free_key(key);
  kex.fingerprint = fingerprint;
  int answer = ssh->host_key_question(ssh->frontend, ssh->host.c_str(), ssh->port, algorithm->cache_type, key_text,
                                      fingerprint, answer_later, ssh);
  checked_free(key_text);
  checked_free(fingerprint);
  if (ask_later(ssh, answer, kQuestionHostKey)) return;
  take_host_key_answer(ssh, answer);
}

// The front end's answer on the host key: NEWKEYS and our new keys, or our end.
void take_host_key_answer(SshSession* ssh, int answer) {
  SshKexState& kex = ssh->kex;
  if (answer > 0 && !kex.first_done) {
    ssh_event(ssh, "Host key fingerprint is:");
    ssh_event(ssh, "%s", kex.fingerprint.c_str());
  }
  if (answer <= 0) return ssh_disconnect(ssh, "User aborted at host key verification", nullptr, 0, true);
  if (!kex.first_done) kex.session_id = kex.exchange_hash;

  WireBuffer newkeys;
  newkeys.put_byte(kMsgNewKeys);
  ssh2_send_now(ssh, newkeys);
  ssh->bytes_sent = 0;
  install_keys(ssh, true);
  ssh->queueing = false;
  ssh2_flush_queue(ssh);
  kex.step = kKexAwaitNewKeys;
}

// An answer that came later: the exchange goes on where it waited, then the bytes that
// arrived meanwhile are read (unless another question waits now).
void answer_later(void* context, int answer) {
  auto* ssh = static_cast<SshSession*>(context);
  SshKexQuestion question = ssh->kex.question;
  if (ssh->state == kSshClosed || question == kQuestionNone) return;
  ssh->kex.question = kQuestionNone;
  ssh->frozen = false;
  if (question == kQuestionHostKey)
    take_host_key_answer(ssh, answer);
  else if (take_warning_answer(ssh, answer) && ask_warnings(ssh))
    start_diffie_hellman(ssh);
  if (!ssh->frozen) ssh2_receive(ssh, nullptr, 0);
}

void take_newkeys(SshSession* ssh) {
  SshKexState& kex = ssh->kex;
  ssh->bytes_received = 0;
  install_keys(ssh, false);
  ssh2_kex_clear(kex);
  bool first = !kex.first_done;
  kex.first_done = true;
  kex.in_progress = false;
  kex.step = kKexIdle;
  if (first) {
    backend_connected(ssh->frontend);
    ssh2_request_service(ssh, ssh->config.ssh_no_auth ? "ssh-connection" : "ssh-userauth");
  }
  if (!kex.deferred_reason.empty()) {
    std::string reason;
    reason.swap(kex.deferred_reason);
    ssh_event(ssh, "%s", reason.c_str());
    ssh2_rekey(ssh, reason.c_str());
  }
  ssh2_rekey_schedule(ssh);
}

}  // namespace

void ssh2_kex_clear(SshKexState& kex) {
  if (kex.dh != nullptr) dh_destroy(kex.dh);
  kex.dh = nullptr;
  kex.e.reset();
  kex.f.reset();
  kex.k.reset();
  kex.p.reset();
  kex.g.reset();
}

void ssh2_kex_start(SshSession* ssh) {
  ssh->queueing = true;
  ssh->kex.in_progress = true;
  ssh->kex.step = kKexAwaitKexInit;
  ssh->kex.gex_new_style = false;
  send_kexinit(ssh);
}

void ssh2_kex_send_init(SshSession* ssh) {
  SshKexState& kex = ssh->kex;
  ssh_event(ssh, "Doing Diffie-Hellman key exchange with hash %s", kex.kex->hash->name);
  kex.e.reset(dh_make_public(kex.dh, kex.nbits * 2));
  WireBuffer init;
  init.put_byte(kex.kex->group_name != nullptr ? kMsgKexDhInit : kMsgGexInit);
  init.put_mpint(kex.e.get());
  ssh2_send_now(ssh, init);
  kex.step = kKexAwaitReply;
}

void ssh2_kex_packet(SshSession* ssh, const unsigned char* payload, size_t length) {
  SshKexState& kex = ssh->kex;
  uint8_t type = payload[0];
  WireBuffer body(payload + 1, static_cast<std::ptrdiff_t>(length - 1));
  if (kex.question != kQuestionNone)
    return ssh_fatal(ssh, kex.question == kQuestionHostKey
                              ? "Unexpected data from server while waiting for user host key response"
                              : "Unexpected data from server while waiting for user response");
  if (kex.ignore_next_packet) {
    kex.ignore_next_packet = false;
    return;
  }
  if (kex.step == kKexIdle && type == kMsgKexInit) {
    ssh_event(ssh, "Server initiated key re-exchange");
    ssh2_kex_start(ssh);
  }
  switch (kex.step) {
    case kKexAwaitKexInit:
      if (type != kMsgKexInit) return ssh_fatal(ssh, "expected key exchange packet from server");
      take_server_kexinit(ssh, payload, length);
      return;
    case kKexAwaitGroup:
      if (type != kMsgKexDhReply) return ssh_fatal(ssh, "expected key exchange group packet from server");
      if (ssh2_gex_group(ssh, body)) ssh2_kex_send_init(ssh);
      return;
    case kKexAwaitReply: {
      uint8_t expected = kex.kex->group_name != nullptr ? kMsgKexDhReply : kMsgGexReply;
      if (type != expected) return ssh_fatal(ssh, "expected key exchange reply packet from server");
      return take_reply(ssh, body);
    }
    case kKexAwaitNewKeys:
      if (type != kMsgNewKeys) return ssh_fatal(ssh, "expected new-keys packet from server");
      return take_newkeys(ssh);
    case kKexIdle: break;
  }
}

bool ssh2_kex_unimplemented(SshSession* ssh, uint32_t sequence) {
  if (ssh->kex.step != kKexAwaitGroup || ssh->kex.gex_new_style || sequence != ssh->kex.gex_request_sequence)
    return false;
  ssh2_gex_resend_rfc4419(ssh);
  return true;
}

// SSH-1 authentication rounds, one per FAILURE from the server: agent keys (ssh1_agent.cpp),
// RSA key file, TIS, CryptoCard and password (with IGNORE camouflage, or the padding the quirk versions need). Every answer
// comes through the conversation's prompt hook.
#include <cstring>

#include "base/memory.h"
#include "crypto/key_file.h"
#include "crypto/md5.h"
#include "crypto/random_pool.h"
#include "remoteshell/core/backend.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

constexpr uint32_t kAuthTisBit = 1u << 5;
constexpr uint32_t kAuthCcardBit = 1u << 16;
constexpr size_t kPaddedPasswordLength = 64;
// The service answers every pass-phrase question with the same text, so a wrong one would be
// asked for ever: after this many the key file is given up.
constexpr int kPassphraseAttempts = 3;

void unable_to_authenticate(SshSession* ssh) {
  backend_login_refused(ssh->frontend);
  ssh_disconnect(ssh, nullptr, "Unable to authenticate", 0, true);
}

const char* key_file(const SshSession* ssh) { return ssh->config.public_key_file.path; }

void prepare_key_file(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  state.key_file_prepared = true;
  if (key_file(ssh)[0] == '\0') return;
  ssh_event(ssh, "Reading private key file \"%.150s\"", key_file(ssh));
  int type = key_file_detect_type(key_file(ssh));
  if (type != key_file_ssh1) {
    ssh_event(ssh, "Unable to use this key file (%s)", key_file_type_text(type));
    char* text = text_format("Unable to use key file \"%.150s\" (%s)\r\n", key_file(ssh), key_file_type_text(type));
    ssh_write_error(ssh, text);
    checked_free(text);
    return;
  }
  unsigned char* blob = nullptr;
  int length = 0;
  char* comment = nullptr;
  const char* message = nullptr;
  if (!ssh1_key_file_load_public(key_file(ssh), &blob, &length, &comment, &message)) {
    ssh_event(ssh, "Unable to load private key (%s)", message);
    char* text = text_format("Unable to load private key file \"%.150s\" (%s)\r\n", key_file(ssh), message);
    ssh_write_error(ssh, text);
    checked_free(text);
    return;
  }
  state.key_blob.assign(blob, blob + length);
  state.key_comment = comment != nullptr ? comment : "";
  checked_free(blob);
  checked_free(comment);
  state.key_file_encrypted = ssh1_key_file_is_encrypted(key_file(ssh), nullptr) == 1;
  state.key_file_loaded = true;
}

// Loads the private key, asking for its pass phrase when the file is encrypted. 1 loaded,
// 0 not (go on with the next method), -1 cancelled.
int load_private_key(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  for (int attempt = 0; attempt < kPassphraseAttempts; ++attempt) {
    std::string passphrase;
    if (state.key_file_encrypted) {
      PromptSet* prompts = prompt_set_new(ssh->frontend);
      prompts->title = text_format("SSH key passphrase");
      prompt_set_add(prompts, text_format("Passphrase for key \"%.100s\": ", state.key_comment.c_str()), 0,
                     kSshReplySize);
      bool answered = ssh_ask(ssh, prompts);
      if (answered) passphrase = ssh_reply_text(prompts->items[0]);
      prompt_set_free(prompts);
      if (!answered) return -1;
    }
    const char* message = nullptr;
    int loaded = ssh1_key_file_load(key_file(ssh), &state.key, passphrase.c_str(), &message);
    ssh_wipe(passphrase);
    if (loaded == 1) return 1;
    rsa_key_clear(&state.key);
    if (loaded == 0) {
      std::string text = std::string("Couldn't load private key from ") + key_file(ssh) + " (" +
                         (message != nullptr ? message : "") + ").\r\n";
      ssh_write_error(ssh, text.c_str());
      return 0;
    }
    ssh_write_error(ssh, "Wrong passphrase.\r\n");
  }
  return 0;
}

// True when the key's offer went out.
bool try_key_file(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  state.key_file_tried = true;
  ssh_event(ssh, "Trying public key \"%s\"", key_file(ssh));
  int loaded = load_private_key(ssh);
  if (loaded < 0) {
    unable_to_authenticate(ssh);
    return true;
  }
  if (loaded == 0) return false;
  WireBuffer offer;
  offer.put_mpint_ssh1(state.key.modulus);
  ssh1_send(ssh, kSsh1AuthRsa, offer);
  state.step = kSsh1AwaitRsaChallenge;
  return true;
}

void request_challenge(SshSession* ssh, uint8_t kind) {
  ssh_event(ssh, kind == kSsh1AuthTis ? "Requested TIS authentication" : "Requested CryptoCard authentication");
  ssh1_send(ssh, kind, WireBuffer());
  ssh->ssh1.challenge_kind = kind;
  ssh->ssh1.step = kSsh1AwaitChallenge;
}

// A password, TIS or CryptoCard response, blanked in the packet log.
void send_secret(SshSession* ssh, uint8_t type, const std::string& secret) {
  WireBuffer packet;
  packet.put_string(secret);
  ssh1_send(ssh, type, packet, 4, secret.size());
}

void send_password(SshSession* ssh, const std::string& password) {
  bool ignore_bug = (ssh->quirks & kQuirkIgnore1) != 0;
  if (ignore_bug && (ssh->quirks & kQuirkPlainPassword1) != 0) {
    ssh_event(ssh, "Sending unpadded password");
    send_secret(ssh, kSsh1AuthPassword, password);
  } else if (ignore_bug) {
    // The server cannot take IGNORE messages: the length is hidden by padding instead.
    std::string padded = password;
    if (padded.size() < kPaddedPasswordLength) {
      padded.push_back('\0');
      while (padded.size() < kPaddedPasswordLength) padded.push_back(static_cast<char>(random_next_byte()));
    }
    ssh_event(ssh, "Sending length-padded password");
    send_secret(ssh, kSsh1AuthPassword, padded);
    ssh_wipe(padded);
  } else {
    // Packets pad to 8 bytes: among IGNORE messages of every length of the password's block
    // (and the one below 16), the password's packet cannot be told by its size.
    size_t length = password.size();
    size_t bottom = length <= 15 ? 0 : length & ~size_t{7};
    size_t top = length <= 15 ? 15 : length | 7;
    for (size_t n = bottom; n <= top; ++n) {
      WireBuffer packet;
      if (n == length) {
        packet.put_string(password);
        ssh1_defer(ssh, kSsh1AuthPassword, packet, 4, length);
        continue;
      }
      std::string noise(n, '\0');
      for (char& c : noise)
        do c = static_cast<char>(random_next_byte());
        while (c == '\0');
      packet.put_string(noise);
      ssh1_defer(ssh, kSsh1Ignore, packet, 4, n);
    }
    ssh1_send_deferred(ssh);
    ssh_event(ssh, "Sending password with camouflage packets");
  }
  ssh_event(ssh, "Sent password");
}

void take_challenge(SshSession* ssh, uint8_t type, WireBuffer& body) {
  Ssh1State& state = ssh->ssh1;
  bool tis = state.challenge_kind == kSsh1AuthTis;
  if (type != (tis ? kSsh1TisChallenge : kSsh1CcardChallenge)) {
    ssh_event(ssh, tis ? "TIS authentication declined" : "CryptoCard authentication declined");
    (tis ? state.tis_refused : state.ccard_refused) = true;
    if (!tis) ssh_write_error(ssh, "CryptoCard authentication refused.\r\n");
    return ssh1_auth_next(ssh);
  }
  ssh_event(ssh, tis ? "Received TIS challenge" : "Received CryptoCard challenge");
  std::string challenge(body.get_string());
  if (body.failed())
    return ssh_fatal(ssh, tis ? "TIS challenge packet was badly formed" : "CryptoCard challenge packet was badly formed");
  bool multi_line = challenge.find('\n') != std::string::npos;
  PromptSet* prompts = prompt_set_new(ssh->frontend);
  prompts->title = text_format(tis ? "SSH TIS authentication" : "SSH CryptoCard authentication");
  prompts->title_shown = tis ? 1 : 0;
  prompts->instructions = text_format(tis ? "Using TIS authentication.%s%s" : "Using CryptoCard authentication.%s%s",
                                      multi_line ? "" : "\n", multi_line ? "" : challenge.c_str());
  prompts->instructions_shown = 1;
  prompt_set_add(prompts, text_format("%s", multi_line ? challenge.c_str() : "Response: "), 0, kSshReplySize);
  bool answered = ssh_ask(ssh, prompts);
  std::string response = answered ? ssh_reply_text(prompts->items[0]) : "";
  prompt_set_free(prompts);
  if (!answered) return unable_to_authenticate(ssh);
  send_secret(ssh, tis ? kSsh1TisResponse : kSsh1CcardResponse, response);
  ssh_wipe(response);
  ssh_event(ssh, "Sent password");
  state.step = kSsh1AwaitAuthReply;
}

void take_rsa_challenge(SshSession* ssh, uint8_t type, WireBuffer& body) {
  Ssh1State& state = ssh->ssh1;
  if (type == kSsh1Failure) {
    ssh_write_error(ssh, "Server refused our public key.\r\n");
    rsa_key_clear(&state.key);
    return ssh1_auth_next(ssh);
  }
  if (type != kSsh1AuthRsaChallenge) return ssh_fatal(ssh, "Bizarre response to offer of public key");
  ssh_event(ssh, "Received RSA challenge");
  BigNumPtr challenge(body.get_mpint_ssh1());
  unsigned char response[16];
  bool answered = challenge && ssh1_rsa_response(state.key, challenge.get(), state.session_id, response);
  rsa_key_clear(&state.key);
  if (!answered) return ssh_fatal(ssh, "Server's RSA challenge was badly formatted");
  WireBuffer reply;
  reply.put_raw(response, sizeof response);
  ssh1_send(ssh, kSsh1AuthRsaResponse, reply);
  explicit_bzero(response, sizeof response);
  state.step = kSsh1AwaitRsaResult;
}

}  // namespace

void ssh1_authenticated(SshSession* ssh) {
  ssh_event(ssh, "Authentication successful");
  ssh1_session_start(ssh);
}

bool ssh1_rsa_response(const RsaKey& key, ConstBigNum challenge, const unsigned char session_id[16],
                       unsigned char response[16]) {
  // A value at or above the modulus is no RSA cipher text: answering it would tell the server
  // something about the private key that no honest challenge asks.
  if (key.modulus == nullptr || bn_compare(challenge, key.modulus) >= 0) return false;
  BigNumPtr plain(rsa_private_decrypt(challenge, &key));
  if (!plain) return false;
  unsigned char low[32];
  // bn_byte_at gives 0 above the value's top byte: a challenge with leading zero bytes keeps
  // them, so the answer always covers all 32 bytes.
  for (int i = 0; i < 32; ++i) low[i] = static_cast<unsigned char>(bn_byte_at(plain.get(), 31 - i));
  Md5State md5;
  md5_begin(&md5);
  md5_feed(&md5, low, sizeof low);
  md5_feed(&md5, session_id, 16);
  md5_finish(&md5, response);
  explicit_bzero(low, sizeof low);
  return true;
}

void ssh1_auth_next(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  bool rsa_usable = (ssh->quirks & kQuirkRsa1) == 0;
  if (rsa_usable && !state.key_file_prepared) prepare_key_file(ssh);
  if (rsa_usable && ssh1_agent_offer(ssh)) return;
  if (rsa_usable && state.key_file_loaded && !state.key_file_tried && try_key_file(ssh)) return;
  if (ssh->state == kSshClosed) return;
  if (ssh->config.auth_tis && (state.auth_mask & kAuthTisBit) != 0 && !state.tis_refused)
    return request_challenge(ssh, kSsh1AuthTis);
  if (ssh->config.auth_tis && (state.auth_mask & kAuthCcardBit) != 0 && !state.ccard_refused)
    return request_challenge(ssh, kSsh1AuthCcard);
  std::string password;
  if (!ssh_ask_password(ssh, state.user, &password)) return unable_to_authenticate(ssh);
  send_password(ssh, password);
  ssh_wipe(password);
  state.step = kSsh1AwaitAuthReply;
}

void ssh1_auth_packet(SshSession* ssh, uint8_t type, WireBuffer& body) {
  switch (ssh->ssh1.step) {
    case kSsh1AwaitAgentChallenge:
    case kSsh1AwaitAgentResult: return ssh1_agent_packet(ssh, type, body);
    case kSsh1AwaitRsaChallenge: return take_rsa_challenge(ssh, type, body);
    case kSsh1AwaitRsaResult:
      if (type == kSsh1Success) return ssh1_authenticated(ssh);
      if (type == kSsh1Failure) return ssh1_auth_next(ssh);
      return ssh_fatal(ssh, "Bizarre response to RSA authentication response");
    case kSsh1AwaitChallenge: return take_challenge(ssh, type, body);
    case kSsh1AwaitAuthReply:
      if (type == kSsh1Success) return ssh1_authenticated(ssh);
      if (type == kSsh1Failure) {
        ssh_event(ssh, "Authentication refused");
        backend_login_refused(ssh->frontend);
        return ssh1_auth_next(ssh);
      }
      return ssh_fatal(ssh, "Strange packet received, type " + std::to_string(type));
    default: break;
  }
}

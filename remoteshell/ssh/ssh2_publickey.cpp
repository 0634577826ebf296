// SSH-2 public-key authentication: the agent's keys first, then the configured key file. Each
// key is offered without a signature; only when the server would accept it (PK_OK) is the
// request signed, by the agent or with the key file's private key.
#include <cstring>
#include <string>
#include <vector>

#include "base/memory.h"
#include "crypto/algorithms.h"
#include "crypto/key_file.h"
#include "platform/ssh_agent.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

enum : uint8_t {
  kAgentRequestIdentities = 11,
  kAgentIdentitiesAnswer = 12,
  kAgentSignRequest = 13,
  kAgentSignResponse = 14,
};

constexpr int kReplySize = 100;
// The service answers the pass-phrase question with the same text each time: a wrong one is
// asked again only a few times before the key file is given up.
constexpr int kPassphraseRounds = 3;

// The algorithm name at the start of a public blob.
std::string blob_algorithm(const std::vector<unsigned char>& blob) {
  WireBuffer reader(blob.data(), static_cast<std::ptrdiff_t>(blob.size()));
  return std::string(reader.get_string());
}

void read_key_file(SshSession* ssh) {
  const char* file = ssh->config.public_key_file.path;
  ssh_event(ssh, "Reading private key file \"%.150s\"", file);
  int type = key_file_detect_type(file);
  if (type != key_file_ssh2) {
    const char* text = key_file_type_text(type);
    ssh_event(ssh, "Unable to use this key file (%s)", text);
    std::string shown =
        std::string("Unable to use key file \"") + std::string(file).substr(0, 150) + "\" (" + text + ")\r\n";
    ssh_write_error(ssh, shown.c_str());
    return;
  }
  char* algorithm = nullptr;
  char* comment = nullptr;
  int length = 0;
  const char* message = nullptr;
  unsigned char* blob = ssh2_key_file_load_public(file, &algorithm, &length, &comment, &message);
  if (blob == nullptr) {
    ssh_event(ssh, "Unable to load private key (%s)", message);
    std::string shown = std::string("Unable to load private key file \"") + std::string(file).substr(0, 150) + "\" (" +
                        message + ")\r\n";
    ssh_write_error(ssh, shown.c_str());
    return;
  }
  SshAuthState& auth = ssh->auth;
  auth.key_blob.assign(blob, blob + length);
  auth.key_algorithm = algorithm != nullptr ? algorithm : "";
  auth.key_comment = comment != nullptr ? comment : "";
  auth.key_encrypted = ssh2_key_file_is_encrypted(file, nullptr) != 0;
  checked_free(blob);
  checked_free(algorithm);
  checked_free(comment);
}

// The agent's identities answer; the count is checked against what the reply holds.
bool read_agent_keys(SshSession* ssh, const std::vector<unsigned char>& reply) {
  WireBuffer body(reply.data() + 1, static_cast<std::ptrdiff_t>(reply.size() - 1));
  uint32_t count = body.get_uint32();
  if (body.failed() || count > body.remaining() / 8) return false;  // each key: two strings
  std::vector<SshAgentKey> keys;
  for (uint32_t i = 0; i < count; ++i) {
    std::string_view blob = body.get_string();
    std::string_view comment = body.get_string();
    if (body.failed()) return false;
    keys.push_back(
        {std::vector<unsigned char>(wire_bytes(blob), wire_bytes(blob) + blob.size()), std::string(comment)});
  }
  ssh->auth.agent_keys.swap(keys);
  return true;
}

void read_agent(SshSession* ssh) {
  ssh_event(ssh, "Mirshagent is running. Requesting keys.");
  WireBuffer request;
  request.put_byte(kAgentRequestIdentities);
  std::vector<unsigned char> reply = ssh_agent_ask(request);
  if (reply.empty() || reply[0] != kAgentIdentitiesAnswer || !read_agent_keys(ssh, reply)) return;
  SshAuthState& auth = ssh->auth;
  ssh_event(ssh, "Mirshagent has %d SSH-2 keys", static_cast<int>(auth.agent_keys.size()));
  if (auth.key_blob.empty()) return;
  for (size_t i = 0; i < auth.agent_keys.size(); ++i) {
    if (auth.agent_keys[i].blob != auth.key_blob) continue;
    ssh_event(ssh, "Mirshagent key #%d matches configured key file", static_cast<int>(i));
    auth.agent_match = static_cast<int>(i);
    auth.agent_next = i;
    return;
  }
  ssh_event(ssh, "Configured key file not in Mirshagent");
  auth.agent_keys.clear();
}

// The offer: "publickey", no signature yet, the algorithm and the public blob.
void put_offer(WireBuffer& request, SshSession* ssh, bool signed_, const std::string& algorithm,
               const std::vector<unsigned char>& blob) {
  ssh2_userauth_request_head(request, ssh, "publickey");
  request.put_bool(signed_);
  request.put_string(algorithm);
  request.put_string(blob.data(), blob.size());
}

// What is signed: the session identifier, then the request from its type byte.
void put_signed_data(WireBuffer& data, SshSession* ssh, const WireBuffer& request) {
  const std::vector<unsigned char>& id = ssh->kex.session_id;
  if ((ssh->quirks & kQuirkPkSessionId2) != 0)
    data.put_raw(id.data(), id.size());
  else
    data.put_string(id.data(), id.size());
  data.put_raw(request.bytes().data(), request.bytes().size());
}

void sign_with_agent(SshSession* ssh) {
  SshAuthState& auth = ssh->auth;
  const std::vector<unsigned char>& blob = auth.agent_keys[auth.agent_current].blob;
  WireBuffer request;
  put_offer(request, ssh, true, blob_algorithm(blob), blob);
  WireBuffer data;
  put_signed_data(data, ssh, request);
  WireBuffer sign;
  sign.put_byte(kAgentSignRequest);
  sign.put_string(blob.data(), blob.size());
  sign.put_string(data.bytes().data(), data.bytes().size());
  sign.put_uint32(0);
  std::vector<unsigned char> reply = ssh_agent_ask(sign);
  WireBuffer answer(reply.data(), static_cast<std::ptrdiff_t>(reply.size()));
  bool signed_ok = answer.get_byte() == kAgentSignResponse;
  std::string_view signature = answer.get_string();
  if (!signed_ok || answer.failed()) return ssh_fatal(ssh, "Mirshagent failed to answer challenge");
  ssh_event(ssh, "Sending Mirshagent's response");
  ssh2_put_signature(ssh, request, wire_bytes(signature), signature.size(), blob);
  ssh2_send(ssh, request);
  auth.last = kAuthPublicKeySigned;
  auth.step = kAuthAwaitReply;
}

// The private key, asking for the pass phrase when the file is encrypted; null (with the
// reason) when it cannot be had, and the conversation closed when the question was cancelled.
Ssh2KeyResult* load_private_key(SshSession* ssh, const char** message) {
  const char* file = ssh->config.public_key_file.path;
  if (!ssh->auth.key_encrypted) return ssh2_key_file_load(file, nullptr, message);
  for (int round = 0; round < kPassphraseRounds; ++round) {
    PromptSet* prompts = prompt_set_new(ssh->frontend);
    prompts->title = text_format("SSH key passphrase");
    prompt_set_add(prompts, text_format("Passphrase for key \"%.100s\": ", ssh->auth.key_comment.c_str()), 0,
                   kReplySize);
    bool answered = ssh_ask(ssh, prompts);
    Ssh2KeyResult* key = answered ? ssh2_key_file_load(file, prompts->items[0]->reply, message) : nullptr;
    prompt_set_free(prompts);
    if (!answered) {
      ssh2_userauth_give_up(ssh);
      return nullptr;
    }
    if (key != WrongPassphrase) return key;
    ssh_write_error(ssh, "Wrong passphrase\r\n");
  }
  *message = "wrong passphrase";
  return nullptr;
}

void sign_with_key_file(SshSession* ssh) {
  SshAuthState& auth = ssh->auth;
  ssh_event(ssh, "Offer of public key accepted");
  const char* message = nullptr;
  Ssh2KeyResult* key = load_private_key(ssh, &message);
  if (ssh->state == kSshClosed) return;
  unsigned char* signature = nullptr;
  int signature_length = 0;
  WireBuffer request;
  if (key != nullptr) {
    put_offer(request, ssh, true, auth.key_algorithm, auth.key_blob);
    WireBuffer data;
    put_signed_data(data, ssh, request);
    signature =
        key->algorithm->sign(key->key, data.bytes().data(), static_cast<int>(data.bytes().size()), &signature_length);
    ssh2_key_result_free(key);
    if (signature == nullptr) message = "unable to sign";
  }
  if (signature == nullptr) {
    std::string shown = std::string("Unable to load private key (") + (message ? message : "") + ")\r\n";
    ssh_write_error(ssh, shown.c_str());
    ssh_event(ssh, "Unable to load private key (%s)", message ? message : "");
    return ssh2_userauth_next(ssh);
  }
  ssh2_put_signature(ssh, request, signature, static_cast<size_t>(signature_length), auth.key_blob);
  checked_free(signature);
  ssh2_send(ssh, request);
  auth.last = kAuthPublicKeySigned;
  auth.step = kAuthAwaitReply;
}

// The modulus length of an "ssh-rsa" public blob (its second number); 0 when unreadable.
size_t rsa_modulus_length(const std::vector<unsigned char>& blob) {
  WireBuffer reader(blob.data(), static_cast<std::ptrdiff_t>(blob.size()));
  reader.get_string();
  reader.get_string();  // exponent
  std::string_view modulus = reader.get_string();
  if (reader.failed()) return 0;
  while (!modulus.empty() && modulus.front() == '\0') modulus.remove_prefix(1);
  return modulus.size();
}

}  // namespace

void ssh2_put_signature(SshSession* ssh, WireBuffer& request, const unsigned char* signature, size_t signature_length,
                        const std::vector<unsigned char>& public_blob) {
  if ((ssh->quirks & kQuirkRsaPad2) != 0) {
    WireBuffer reader(signature, static_cast<std::ptrdiff_t>(signature_length));
    std::string_view name = reader.get_string();
    std::string_view number = reader.get_string();
    size_t modulus = rsa_modulus_length(public_blob);
    if (!reader.failed() && name == "ssh-rsa" && number.size() < modulus) {
      request.put_uint32(static_cast<uint32_t>(4 + name.size() + 4 + modulus));
      request.put_string(name);
      request.put_uint32(static_cast<uint32_t>(modulus));
      std::vector<unsigned char> zeros(modulus - number.size(), 0);
      request.put_raw(zeros.data(), zeros.size());
      request.put_raw(number.data(), number.size());
      return;
    }
  }
  request.put_string(signature, signature_length);
}

void ssh2_publickey_prepare(SshSession* ssh) {
  if (ssh->config.public_key_file.path[0] != '\0') read_key_file(ssh);
  if (ssh->config.try_agent && agent_exists()) read_agent(ssh);
}

bool ssh2_publickey_offer(SshSession* ssh) {
  SshAuthState& auth = ssh->auth;
  WireBuffer request;
  if (auth.agent_next < auth.agent_keys.size()) {
    auth.agent_current = auth.agent_next;
    // With the key file's key in the agent, that key alone is tried, and the file not at all.
    auth.agent_next = auth.agent_match >= 0 ? auth.agent_keys.size() : auth.agent_current + 1;
    if (auth.agent_match >= 0) auth.key_tried = true;
    ssh_event(ssh, "Trying Mirshagent key #%d", static_cast<int>(auth.agent_current));
    const std::vector<unsigned char>& blob = auth.agent_keys[auth.agent_current].blob;
    put_offer(request, ssh, false, blob_algorithm(blob), blob);
    ssh2_send(ssh, request);
    auth.last = kAuthAgentKeyOffered;
    auth.step = kAuthAwaitAgentKeyOk;
    return true;
  }
  if (auth.key_blob.empty() || auth.key_tried) return false;
  auth.key_tried = true;
  put_offer(request, ssh, false, auth.key_algorithm, auth.key_blob);
  ssh2_send(ssh, request);
  ssh_event(ssh, "Offered public key");
  auth.last = kAuthPublicKeyOffered;
  auth.step = kAuthAwaitKeyFileOk;
  return true;
}

void ssh2_publickey_accepted(SshSession* ssh) {
  if (ssh->auth.step == kAuthAwaitAgentKeyOk)
    sign_with_agent(ssh);
  else
    sign_with_key_file(ssh);
}

std::vector<unsigned char> ssh_agent_ask(const WireBuffer& message) {
  WireBuffer framed;
  framed.put_string(message.bytes().data(), message.bytes().size());
  void* reply = nullptr;
  int reply_length = 0;
  agent_query(framed.bytes().data(), static_cast<int>(framed.bytes().size()), &reply, &reply_length, nullptr, nullptr);
  std::vector<unsigned char> body;
  if (reply != nullptr && reply_length > 4) {
    const auto* bytes = static_cast<const unsigned char*>(reply);
    body.assign(bytes + 4, bytes + reply_length);
  }
  agent_free_reply(reply, reply_length);
  return body;
}

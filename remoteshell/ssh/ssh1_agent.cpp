// SSH-1 authentication with the agent's RSA keys: the key list is read once, each key is
// offered in turn (only the configured key file's key when the agent holds it), and the
// server's challenge is answered by the agent.
#include "platform/ssh_agent.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

enum : uint8_t {
  kAgentRequestRsaIdentities = 1,
  kAgentRsaIdentitiesAnswer = 2,
  kAgentRsaChallenge = 3,
  kAgentRsaResponse = 4,
};
constexpr uint32_t kAgentResponseType = 1;  // MD5 of the challenge and the session identifier

// The identities answer (after its type byte): each key is bits, exponent and modulus, then a
// comment. The count is not trusted: reading stops where the reply does.
void read_keys(SshSession* ssh, const std::vector<unsigned char>& reply) {
  WireBuffer body(reply.data() + 1, static_cast<std::ptrdiff_t>(reply.size() - 1));
  uint32_t count = body.get_uint32();
  ssh_event(ssh, "Mirshagent has %u SSH-1 keys", count);
  std::vector<std::vector<unsigned char>>& keys = ssh->ssh1.agent_keys;
  for (uint32_t i = 0; i < count; ++i) {
    int used = body.failed() ? -1
                             : rsa_read_ssh1_key(body.position(), static_cast<int>(body.remaining()), nullptr,
                                                 nullptr, 0);
    if (used < 0) {
      ssh_event(ssh, "Mirshagent key list packet was truncated");
      return;
    }
    keys.emplace_back(body.position(), body.position() + used);
    body.skip(static_cast<size_t>(used));
    body.get_string();
    if (body.failed()) {
      keys.pop_back();
      ssh_event(ssh, "Mirshagent key list packet was truncated");
      return;
    }
  }
}

void read_agent(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  state.agent_tried = true;
  ssh_event(ssh, "Mirshagent is running. Requesting keys.");
  WireBuffer request;
  request.put_byte(kAgentRequestRsaIdentities);
  std::vector<unsigned char> reply = ssh_agent_ask(request);
  if (reply.empty() || reply[0] != kAgentRsaIdentitiesAnswer) return;
  read_keys(ssh, reply);
  if (!state.key_file_loaded) return;
  // With a key file, only its key is tried, and the file itself no more.
  for (size_t i = 0; i < state.agent_keys.size(); ++i) {
    if (state.agent_keys[i] != state.key_blob) continue;
    ssh_event(ssh, "Mirshagent key #%d matches configured key file", static_cast<int>(i));
    state.agent_keys = {state.agent_keys[i]};
    state.key_file_tried = true;
    return;
  }
  ssh_event(ssh, "Configured key file not in Mirshagent");
  state.agent_keys.clear();
}

void next_key(SshSession* ssh) {
  ++ssh->ssh1.agent_next;
  ssh1_auth_next(ssh);
}

void answer_challenge(SshSession* ssh, WireBuffer& body) {
  Ssh1State& state = ssh->ssh1;
  const std::vector<unsigned char>& blob = state.agent_keys[state.agent_next];
  ssh_event(ssh, "Received RSA challenge");
  BigNumPtr challenge(body.get_mpint_ssh1());
  WireBuffer key(blob.data(), static_cast<std::ptrdiff_t>(blob.size()));
  key.skip(4);
  BigNumPtr exponent(key.get_mpint_ssh1());
  BigNumPtr modulus(key.get_mpint_ssh1());
  // As for a key file's key: a value at or above the modulus is no challenge to answer.
  if (!challenge || !modulus || bn_compare(challenge.get(), modulus.get()) >= 0)
    return ssh_fatal(ssh, "Server's RSA challenge was badly formatted");
  WireBuffer request;
  request.put_byte(kAgentRsaChallenge);
  request.put_raw(blob.data(), blob.size());
  request.put_mpint_ssh1(challenge.get());
  request.put_raw(state.session_id, sizeof state.session_id);
  request.put_uint32(kAgentResponseType);
  std::vector<unsigned char> reply = ssh_agent_ask(request);
  if (reply.size() >= 17 && reply[0] == kAgentRsaResponse) {
    ssh_event(ssh, "Sending Mirshagent's response");
    WireBuffer response;
    response.put_raw(reply.data() + 1, 16);
    ssh1_send(ssh, kSsh1AuthRsaResponse, response);
    state.step = kSsh1AwaitAgentResult;
    return;
  }
  ssh_event(ssh, reply.empty() ? "No reply received from Mirshagent" : "Mirshagent failed to answer challenge");
  next_key(ssh);
}

}  // namespace

bool ssh1_agent_offer(SshSession* ssh) {
  Ssh1State& state = ssh->ssh1;
  if (!state.agent_tried) {
    if (!ssh->config.try_agent || !agent_exists()) return false;
    read_agent(ssh);
  }
  if (state.agent_next >= state.agent_keys.size()) return false;
  const std::vector<unsigned char>& blob = state.agent_keys[state.agent_next];
  ssh_event(ssh, "Trying Mirshagent key #%d", static_cast<int>(state.agent_next));
  WireBuffer key(blob.data(), static_cast<std::ptrdiff_t>(blob.size()));
  key.skip(4);
  BigNumPtr exponent(key.get_mpint_ssh1());
  BigNumPtr modulus(key.get_mpint_ssh1());
  WireBuffer offer;
  offer.put_mpint_ssh1(modulus.get());
  ssh1_send(ssh, kSsh1AuthRsa, offer);
  state.step = kSsh1AwaitAgentChallenge;
  return true;
}

void ssh1_agent_packet(SshSession* ssh, uint8_t type, WireBuffer& body) {
  if (ssh->ssh1.step == kSsh1AwaitAgentChallenge) {
    if (type == kSsh1AuthRsaChallenge) return answer_challenge(ssh, body);
    ssh_event(ssh, "Key refused");
    return next_key(ssh);
  }
  if (type == kSsh1Success) {
    ssh_event(ssh, "Mirshagent's response accepted");
    return ssh1_authenticated(ssh);
  }
  ssh_event(ssh, "Mirshagent's response not accepted");
  next_key(ssh);
}

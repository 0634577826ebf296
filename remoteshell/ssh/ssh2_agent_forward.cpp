// SSH-2 agent forwarding: the request on the session channel, and the agent channels the
// server opens, on which each request (a 4-byte length and the body) is passed to the local
// agent and its answer sent back.
#include <cstring>

#include "platform/ssh_agent.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

// What the channel sends when the agent gives no answer: length 1, SSH_AGENT_FAILURE.
constexpr char kAgentFailure[5] = {0, 0, 0, 1, 5};

uint32_t announced_length(const std::string& message) {
  auto byte = [&](size_t i) { return uint32_t{static_cast<unsigned char>(message[i])}; };
  return (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
}

void answer(SshChannel* channel, const std::string& request) {
  void* reply = nullptr;
  int reply_length = 0;
  agent_query(request.data(), static_cast<int>(request.size()), &reply, &reply_length, nullptr, nullptr);
  if (reply != nullptr && reply_length > 0)
    channel->outgoing.append(static_cast<const char*>(reply), static_cast<size_t>(reply_length));
  else
    channel->outgoing.append(kAgentFailure, sizeof kAgentFailure);
  agent_free_reply(reply, reply_length);
  ssh2_channel_flush(channel);
}

}  // namespace

bool ssh2_request_agent_forwarding(SshSession* ssh) {
  if (!ssh->config.agent_forwarding || !agent_exists()) return false;
  ssh_event(ssh, "Requesting OpenSSH-style agent forwarding");
  WireBuffer request;
  ssh2_put_channel_request(request, ssh->channel, "auth-agent-req@openssh.com", true);
  ssh2_send(ssh, request);
  return true;
}

void ssh2_agent_data(SshChannel* channel, std::string_view data) {
  std::string& message = channel->agent_message;
  while (!data.empty() && !channel->close_sent) {
    // The length field first; the body is taken only once its length is known to be sane.
    size_t wanted = message.size() < 4 ? 4 : 4 + size_t{announced_length(message)};
    size_t take = std::min(wanted - message.size(), data.size());
    message.append(data.data(), take);
    data.remove_prefix(take);
    if (message.size() == 4 && announced_length(message) > kAgentForwardMessageLimit) {
      ssh_event(channel->ssh, "Agent request of %u bytes refused: longer than %u", announced_length(message),
                kAgentForwardMessageLimit);
      message.clear();
      ssh2_channel_close(channel);
      break;
    }
    if (message.size() >= 4 && message.size() == 4 + size_t{announced_length(message)}) {
      answer(channel, message);
      message.clear();
    }
  }
  // The agent answers at once: nothing is held back, so the window opens in full.
  ssh2_adjust_local_window(channel, 0);
}

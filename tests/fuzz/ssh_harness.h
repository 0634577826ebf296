#pragma once
// One SSH conversation without a network, as the back end opens it: the connection to the
// server records what we send, the front end answers every question (host key accepted,
// weak algorithms allowed, "secret" to every prompt) and swallows output and fatal errors.
// The server's side is played by the fuzz input.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "base/memory.h"
#include "crypto/crc32.h"
#include "crypto/random_pool.h"
#include "remoteshell/core/conversation.h"
#include "remoteshell/core/prompt_set.h"
#include "remoteshell/net/network.h"
#include "remoteshell/ssh/ssh_backend.h"
#include "remoteshell/ssh/ssh_session.h"
#include "tests/remoteshell/recording_socket.h"

namespace fuzz_support {

// Once per process: a home folder of its own for the random pool's seed file (removed at exit),
// no agent, and the random pool held.
inline void PrepareSshProcess() {
  static const bool ready = [] {
    static const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("mirvale-fuzz-home-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    unsetenv("SSH_AUTH_SOCK");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(home, ignored);
    });
    net_startup();
    random_acquire();
    return true;
  }();
  (void)ready;
}

inline SessionConfig SshConfig() {
  SessionConfig config{};
  std::strcpy(config.terminal_type, "xterm");
  std::strcpy(config.terminal_speed, "38400,38400");
  std::strcpy(config.user_name, "alice");
  config.terminal_width = 80;
  config.terminal_height = 24;
  config.ssh_protocol = 2;
  config.auth_ki = 1;
  const int ciphers[kCipherCount] = {3, 2, 1, 5, 4, 0};
  std::memcpy(config.cipher_list, ciphers, sizeof ciphers);
  const int kexes[kKexCount] = {3, 2, 1, 0};
  std::memcpy(config.kex_list, kexes, sizeof kexes);
  return config;
}

// Switches on what makes the server's opens and requests reach more code: a remote port
// forwarding, X11 and agent forwarding. Every destination is on loopback.
inline void EnableForwardings(SessionConfig& config) {
  const char entry[] = "R2222\t127.0.0.1:9";
  std::memcpy(config.port_forwardings, entry, sizeof entry);  // the list ends with two NULs
  config.x11_forward = 1;
  std::strcpy(config.x11_display, "127.0.0.1:99");
  config.agent_forwarding = 1;
}

class SshPeer {
 public:
  explicit SshPeer(const SessionConfig& config) {
    PrepareSshProcess();
    conversation_.hooks.output = [](void*, int, const char*, int) { return 0; };
    conversation_.hooks.fatal = [](void*, const char*) {};
    conversation_.hooks.prompt = [](void*, PromptSet* prompts) {
      for (int i = 0; i < prompts->count; ++i)
        std::strncpy(prompts->items[i]->reply, "secret", static_cast<size_t>(prompts->items[i]->reply_size) - 1);
      return 1;
    };
    ssh_ = new SshSession();
    ssh_->frontend = &conversation_;
    ssh_->config = config;
    ssh_->in.outgoing = false;
    ssh_->host = "device.example";
    ssh_->userauth_start = ssh2_userauth_start;
    ssh_->channel.ssh = ssh_;
    ssh_->socket = &link_;
    ssh_->host_key_question = [](void*, const char*, int, const char*, const char*, const char*, PromptAnswerCallback,
                                 void*) { return 1; };
    ssh_->weak_algorithm_question = [](void*, const char*, const char*, PromptAnswerCallback, void*) { return 1; };
  }
  ~SshPeer() { ssh_backend.free(ssh_); }
  SshPeer(const SshPeer&) = delete;
  SshPeer& operator=(const SshPeer&) = delete;

  SshSession* session() { return ssh_; }
  bool Closed() const { return ssh_->state == kSshClosed; }
  std::string& sent() { return link_.written; }

  // The server's version line; the key exchange starts.
  void Identify(const std::string& line) {
    ssh_identification_receive(ssh_, reinterpret_cast<const unsigned char*>(line.data()), line.size());
  }
  // As though the first key exchange had ended: the user-authentication service is asked for.
  void AfterFirstKeyExchange() {
    Identify("SSH-2.0-OpenSSH_7.4\r\n");
    SshKexState& kex = ssh_->kex;
    kex.first_done = true;
    kex.in_progress = false;
    kex.step = kKexIdle;
    kex.session_id.assign(20, 0x5a);
    ssh_->queueing = false;
    ssh_->queued.clear();
    ssh2_request_service(ssh_, "ssh-userauth");
  }
  // Bytes from the server to the packet layer.
  void Receive(const unsigned char* data, size_t size) {
    if (!Closed() && !ssh_->frozen) ssh2_receive(ssh_, data, size);
  }
  // One payload in an unencrypted packet.
  void ReceivePayload(const unsigned char* payload, size_t size) {
    const size_t padding = 4 + (8 - (size + 9) % 8) % 8;
    const uint32_t length = static_cast<uint32_t>(1 + size + padding);
    std::string packet = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                          static_cast<char>(length >> 8), static_cast<char>(length), static_cast<char>(padding)};
    packet.append(reinterpret_cast<const char*>(payload), size);
    packet.append(padding, '\0');
    Receive(reinterpret_cast<const unsigned char*>(packet.data()), packet.size());
  }
  // One SSH-1 packet (type byte first). The session key is ours alone, so the fuzz input
  // cannot encrypt: once the client switches encryption on, it is switched off again and both
  // sides go on in the clear (the encrypted layer has a target of its own).
  void ReceiveSsh1Payload(const unsigned char* payload, size_t size) {
    const uint32_t length = static_cast<uint32_t>(size + 4);
    std::string packet = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                          static_cast<char>(length >> 8), static_cast<char>(length)};
    packet.append(8 - length % 8, '\0');
    packet.append(reinterpret_cast<const char*>(payload), size);
    const uint32_t crc = crc32_buffer(packet.data() + 4, packet.size() - 4);
    packet += {static_cast<char>(crc >> 24), static_cast<char>(crc >> 16), static_cast<char>(crc >> 8),
               static_cast<char>(crc)};
    if (!Closed()) ssh1_receive(ssh_, reinterpret_cast<const unsigned char*>(packet.data()), packet.size());
    Ssh1PacketLayer& layer = ssh_->ssh1.layer;
    if (layer.cipher != nullptr) {
      layer.cipher->free_context(layer.cipher_ctx);
      layer.cipher = nullptr;
      layer.cipher_ctx = nullptr;
    }
  }
  // The input as payloads, each behind a two-byte length; stops when the session ends.
  void ReceivePayloads(const unsigned char* data, size_t size, bool ssh1 = false) {
    size_t at = 0;
    while (size - at >= 2 && !Closed()) {
      const size_t length = std::min<size_t>((size_t{data[at]} << 8) | data[at + 1], size - at - 2);
      at += 2;
      if (length > 0) ssh1 ? ReceiveSsh1Payload(data + at, length) : ReceivePayload(data + at, length);
      at += length;
    }
  }

 private:
  ShellConversation conversation_;
  socket_testing::Link link_{{&socket_testing::kLinkOps}, {}};
  SshSession* ssh_ = nullptr;
};

}  // namespace fuzz_support

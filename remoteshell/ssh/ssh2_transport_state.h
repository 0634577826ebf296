#pragma once
// The SSH-2 transport's state: each direction's algorithms and the key exchange.
#include "remoteshell/ssh/ssh_protocol.h"

// One direction's algorithms with their contexts.
struct SshDirection {
  const CipherAlgorithm* cipher = nullptr;
  void* cipher_ctx = nullptr;
  const MacAlgorithm* mac = nullptr;
  void* mac_ctx = nullptr;
  const CompressionAlgorithm* compression = nullptr;
  void* compression_ctx = nullptr;
  bool outgoing = true;
  uint32_t sequence = 0;
};
void ssh_direction_reset(SshDirection& direction);

enum SshKexStep { kKexIdle, kKexAwaitKexInit, kKexAwaitGroup, kKexAwaitReply, kKexAwaitNewKeys };
// The front-end question whose answer comes later (the session is frozen meanwhile).
enum SshKexQuestion { kQuestionNone, kQuestionWarning, kQuestionHostKey };

// One key exchange in progress (and what the next one needs).
struct SshKexState {
  SshKexStep step = kKexIdle;
  bool in_progress = false;
  bool first_done = false;
  bool ignore_next_packet = false;  // the server's wrong guess
  std::vector<unsigned char> our_kexinit;
  std::vector<unsigned char> server_kexinit;  // kept when the server starts a rekey
  const KexAlgorithm* kex = nullptr;
  const HostKeyAlgorithm* host_key = nullptr;
  SshDirection pending_out;  // chosen, installed at NEWKEYS
  SshDirection pending_in;
  int nbits = 0;
  // Group exchange: the requested size, and min/max once the RFC 4419 request is used.
  uint32_t gex_bits = 0;
  bool gex_new_style = false;
  uint32_t gex_request_sequence = 0;
  DhContext* dh = nullptr;
  BigNumPtr e, f, k, p, g;
  std::vector<unsigned char> exchange_hash;
  std::vector<unsigned char> session_id;
  unsigned warnings = 0;  // weak-algorithm warnings still to ask: 1 kex, 2 and 4 the ciphers
  SshKexQuestion question = kQuestionNone;
  std::string fingerprint;  // of the host key being asked about
  uint32_t last_time = 0;   // tick of the last exchange's end
  uint32_t next_rekey = 0;  // tick at which "RekeyTime" asks for the next one
  std::string deferred_reason;
};

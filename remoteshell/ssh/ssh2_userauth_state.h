#pragma once
// The SSH-2 user authentication's state.
#include "remoteshell/ssh/ssh_protocol.h"

// User authentication in progress (ssh2_userauth.cpp, ssh2_publickey.cpp).
enum SshAuthMethod {
  kAuthNone,
  kAuthPassword,
  kAuthKeyboardInteractive,
  kAuthKeyboardInteractiveRefused,
  kAuthPublicKeySigned,
  kAuthPublicKeyOffered,  // a key file's key, refused unless PK_OK comes
  kAuthAgentKeyOffered,
};
enum SshAuthStep {
  kAuthAwaitReply,
  kAuthAwaitPasswordReply,
  kAuthAwaitKiReply,
  kAuthAwaitAgentKeyOk,
  kAuthAwaitKeyFileOk,
  kAuthDone
};
struct SshAgentKey {
  std::vector<unsigned char> blob;
  std::string comment;
};
struct SshAuthState {
  SshAuthStep step = kAuthAwaitReply;
  SshAuthMethod last = kAuthNone;
  std::string user;
  std::string password;  // wiped once the server answered
  std::string methods;   // the methods the server's last FAILURE allows
  bool ki_refused = false;
  bool ki_answered = false;  // a question came for this keyboard-interactive request
  int password_changes = 0;  // rounds of a password change the server asked for
  // The agent's keys; when the key file's key is among them, only that one is used.
  std::vector<SshAgentKey> agent_keys;
  size_t agent_next = 0;
  size_t agent_current = 0;
  int agent_match = -1;
  // The configured key file's public half.
  std::vector<unsigned char> key_blob;
  std::string key_algorithm;
  std::string key_comment;
  bool key_encrypted = false;
  bool key_tried = false;
};

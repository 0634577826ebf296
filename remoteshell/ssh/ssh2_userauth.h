#pragma once
// SSH-2 user authentication: password, keyboard-interactive and public key.
#include "remoteshell/ssh/ssh_session.h"

// ---- SSH-2 user authentication (ssh2_userauth.cpp) ----
// Sends SERVICE_REQUEST for the service named and remembers it.
void ssh2_request_service(SshSession* ssh, const char* service);
// Starts authentication once "ssh-userauth" is accepted.
void ssh2_userauth_start(SshSession* ssh);
// "ssh-connection" was accepted without user authentication: the connection protocol begins.
void ssh2_userauth_skip(SshSession* ssh);
// Keyboard-interactive questions of one INFO_REQUEST (from the byte after its type) as a
// prompt set; none when the request is malformed. The count is not trusted for allocation.
struct PromptSet;
PromptSet* ssh2_ki_prompts(void* owner, const unsigned char* body, size_t length);
// USERAUTH_REQUEST up to and including the method name.
void ssh2_userauth_request_head(WireBuffer& request, SshSession* ssh, const char* method);
// The next method the server's last FAILURE allows, or the end of the conversation.
void ssh2_userauth_next(SshSession* ssh);
// The packet-log name of a user-authentication message (60 and 61 by the method being tried);
// null for other types.
const char* ssh2_userauth_message_name(const SshSession* ssh, uint8_t type);
// Disconnects with "Unable to authenticate".
void ssh2_userauth_give_up(SshSession* ssh);

// ---- SSH-2 public-key authentication (ssh2_publickey.cpp) ----
// One agent exchange (both versions): the message (type byte first) framed with its length;
// the reply's body (type byte first), empty when none came.
std::vector<unsigned char> ssh_agent_ask(const WireBuffer& message);
// Before the user name: reads the key file's public half and the agent's key list.
void ssh2_publickey_prepare(SshSession* ssh);
// Offers the next agent key or the key file's key; false when none is left.
bool ssh2_publickey_offer(SshSession* ssh);
// The server accepted the key just offered (PK_OK): the signed request.
void ssh2_publickey_accepted(SshSession* ssh);
// A signature blob as the last field of a request (quirk: short RSA signatures padded).
void ssh2_put_signature(SshSession* ssh, WireBuffer& request, const unsigned char* signature, size_t signature_length,
                        const std::vector<unsigned char>& public_blob);

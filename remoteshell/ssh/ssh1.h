#pragma once
// SSH-1 login, session and forwarded channels.
#include "remoteshell/ssh/ssh_session.h"

// ---- SSH-1 (ssh1_transport.cpp, ssh1_login.cpp, ssh1_auth.cpp, ssh1_session.cpp) ----
// After the identification exchange chose SSH-1.
void ssh1_start(SshSession* ssh);
// Assembles and dispatches packets from bytes received; stops when the session closes.
void ssh1_receive(SshSession* ssh, const unsigned char* data, size_t length);
// Sends a packet now; defer appends it to the buffer that ssh1_send_deferred writes at once.
// password_at/password_length mark the bytes the packet log blanks (length 0: none).
void ssh1_send(SshSession* ssh, uint8_t type, const WireBuffer& body, size_t password_at = 0,
               size_t password_length = 0);
void ssh1_defer(SshSession* ssh, uint8_t type, const WireBuffer& body, size_t password_at = 0,
                size_t password_length = 0);
void ssh1_send_deferred(SshSession* ssh);
// The login's packets (public key, session key, user); then authentication and the session.
void ssh1_login_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// The next authentication round after a FAILURE; a packet for the round in progress.
void ssh1_auth_next(SshSession* ssh);
void ssh1_auth_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Agent keys, one per round: true when an offer went out. Then the server's replies to it.
bool ssh1_agent_offer(SshSession* ssh);
void ssh1_agent_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Authentication ended with SUCCESS: the session starts.
void ssh1_authenticated(SshSession* ssh);
// The 16-byte answer to an RSA challenge: the decrypted value's 32 low bytes, most significant
// first, then the session identifier, through MD5. False when the challenge is not below the
// modulus or the key cannot decrypt it.
bool ssh1_rsa_response(const RsaKey& key, ConstBigNum challenge, const unsigned char session_id[16],
                       unsigned char response[16]);
// Authentication succeeded: forwardings, pty, compression, then the shell or command.
void ssh1_session_start(SshSession* ssh);
void ssh1_session_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Data from the front end as STDIN_DATA pieces.
void ssh1_session_send(SshSession* ssh, const char* data, int length);
void ssh1_unthrottle(SshSession* ssh, int backlog);
// WINDOW_SIZE in the session (noted for later while the pty is set up).
void ssh1_resize(SshSession* ssh);
// EOF in the session (noted for later before it).
void ssh1_send_eof(SshSession* ssh);
// ---- SSH-1 forwarded channels (ssh1_channels.cpp) ----
// Opens, open replies, data and closes of forwarded channels; false for other packets.
bool ssh1_channel_packet(SshSession* ssh, uint8_t type, WireBuffer& body);
// Sends a channel's queued data as CHANNEL_DATA.
void ssh1_channel_flush(SshChannel* channel);
// Our CLOSE (once; a half-open channel sends it when confirmed).
void ssh1_channel_close(SshChannel* channel);
// PORT_OPEN for a connection accepted by a local forwarding: the new half-open channel.
void* ssh1_open_port(SshSession* ssh, ForwardingEnd* end, const char* host, int port, const char* origin);
// The channel's connection buffers this much: below the backlog limit the socket may read again.
void ssh1_channel_unthrottle(SshChannel* channel, int buffered);
void ssh1_free(SshSession* ssh);

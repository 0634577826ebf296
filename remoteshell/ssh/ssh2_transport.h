#pragma once
// The SSH-2 packet layer and key exchange.
#include "remoteshell/ssh/ssh_session.h"

// ---- SSH-2 packet layer (ssh2_packet.cpp) ----
// Assembles and dispatches packets from bytes received; stops when the session closes or
// freezes (the bytes wait for the thaw, which calls it again without new ones).
void ssh2_receive(SshSession* ssh, const unsigned char* data, size_t length);
// Sends a payload (type byte first): queued while a key exchange runs. secret_from, when not 0,
// is the offset where the payload's secrets start (a password, answers): the packet is padded
// to kSsh2SecretPacketLength bytes at least and the session log blanks the secrets.
void ssh2_send(SshSession* ssh, const WireBuffer& payload, size_t secret_from = 0);
// Sends now, past the queue (key-exchange messages, disconnect).
void ssh2_send_now(SshSession* ssh, const WireBuffer& payload, size_t secret_from = 0);
// At the end of a key exchange: every queued packet goes out.
void ssh2_flush_queue(SshSession* ssh);
// Installs a direction's chosen algorithms with their keys (contexts of the old ones freed).
void ssh2_install(SshDirection& target, SshDirection& chosen, const unsigned char* cipher_key, const unsigned char* iv,
                  const unsigned char* mac_key);
// The sequence number the next outgoing packet will carry.
inline uint32_t ssh2_next_sequence(const SshSession* ssh) { return ssh->out.sequence; }

// ---- SSH-2 key exchange (ssh2_kex.cpp, ssh2_group_exchange.cpp, ssh2_rekey.cpp) ----
void ssh2_kex_start(SshSession* ssh);
// A packet for the key exchange (types 20 to 49, or any before the first exchange ends),
// from its type byte.
void ssh2_kex_packet(SshSession* ssh, const unsigned char* payload, size_t length);
// UNIMPLEMENTED for one of our packets during the exchange; true when the exchange took it.
bool ssh2_kex_unimplemented(SshSession* ssh, uint32_t sequence);
// Group exchange: the request after the algorithms are chosen, and the server's group.
void ssh2_gex_request(SshSession* ssh);
void ssh2_gex_resend_rfc4419(SshSession* ssh);
// False (after a fatal error) when the group is refused.
bool ssh2_gex_group(SshSession* ssh, WireBuffer& body);
// The hashed group-exchange request fields.
void ssh2_gex_hash_request(SshSession* ssh, WireBuffer& hash_input);
// Fixed group or group exchange: sends e (the init message) once p and g are known.
void ssh2_kex_send_init(SshSession* ssh);
// Rekey for a local reason; a no-op while an exchange runs.
void ssh2_rekey(SshSession* ssh, const char* reason);
// After an exchange: its time, and the rekey timer when "RekeyTime" is set.
void ssh2_rekey_schedule(SshSession* ssh);
// A new non-zero "RekeyTime" counts from the last exchange: the timer moves there, or the
// reason "timeout shortened" comes back when that moment has passed.
const char* ssh2_rekey_time_changed(SshSession* ssh, int minutes);
// After every sent or received packet: the data limit.
void ssh2_check_data_limit(SshSession* ssh, bool sent);
// Frees the exchange's Diffie-Hellman values.
void ssh2_kex_clear(SshKexState& kex);

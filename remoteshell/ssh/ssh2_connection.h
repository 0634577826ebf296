#pragma once
// The SSH-2 connection protocol: the session channel, forwarded channels, agent forwarding,
// forwarding set-up and terminal modes.
#include "remoteshell/ssh/ssh_session.h"

// ---- SSH-2 connection protocol (ssh2_channel.cpp, ssh2_forwarded_channel.cpp) ----
// After "Access granted": opens the session channel.
void ssh2_connection_start(SshSession* ssh);
bool ssh2_connection_packet(SshSession* ssh, const unsigned char* payload, size_t length);
// Data from the front end for the session channel; what stays queued.
int ssh2_channel_send(SshSession* ssh, const char* data, int length);
// Sends what the remote window and maximum packet allow on the session channel.
void ssh2_channel_flush(SshSession* ssh);
// Sends what a channel's remote window and maximum packet allow; a forwarded connection whose
// channel queue emptied reads again.
void ssh2_channel_flush(SshChannel* channel);
// The front end's backlog drained to this many bytes: the local window may open again.
void ssh2_channel_unthrottle(SshSession* ssh, int backlog);
// Opens a channel's local window to its full size minus the backlog when that doubles it at least.
void ssh2_adjust_local_window(SshChannel* channel, int backlog);
// Adds the server's WINDOW_ADJUST to a remote window, saturating at 2^32-1.
uint32_t ssh2_window_add(uint32_t window, uint32_t increment);
// Closes every forwarded connection and listener and frees the forwarded channels.
void ssh2_connection_free(SshSession* ssh);
// The lowest local channel id from 256 up that no channel holds.
uint32_t ssh2_new_local_id(const SshSession* ssh);
// Our CLOSE for a channel (once; a half-open one sends it when confirmed). The forwarded
// connection is left as it is.
void ssh2_channel_close(SshChannel* channel);
// Channels the server opens ("x11", "forwarded-tcpip", the agent channel; others refused).
void ssh2_take_channel_open(SshSession* ssh, WireBuffer& body);
// OPEN_CONFIRMATION / OPEN_FAILURE for a forwarding of ours.
void ssh2_take_forward_open_reply(SshSession* ssh, SshChannel* channel, uint8_t type, WireBuffer& body);
// Data, and EOF, from the server for a forwarded channel.
void ssh2_forwarded_data(SshChannel* channel, std::string_view data);
void ssh2_forwarded_eof(SshChannel* channel);
// The SSH socket drained: forwarded connections whose channel has nothing queued read again.
void ssh2_forwarded_unthrottle_all(SshSession* ssh);
// Ends a forwarded channel's connection, if it still has one: X11 at once, a port connection
// once it has sent on what it still holds.
void ssh2_forwarded_drop_connection(SshChannel* channel);
// The channel operations the socket side of forwarding calls.
extern const ForwardChannelOps ssh2_forward_channel_ops;

// A channel request (type, recipient, name, want-reply) at the start of packet.
void ssh2_put_channel_request(WireBuffer& packet, const SshChannel& channel, const char* name, bool want_reply);

// ---- session controls (ssh2_session_controls.cpp) ----
// The terminal's size changed: a "window-change" request once the session runs (without
// "NoPTY"); after the pty request went out and before then, it waits for the session start.
void ssh2_resize(SshSession* ssh);
// EOF for the session channel: sent once the session runs and the channel's queue is empty.
void ssh2_send_eof(SshSession* ssh);
// Sends the EOF asked for when its moment has come; the channel flush and the session start call it.
void ssh2_send_pending_eof(SshSession* ssh);
// The session started: the window size and EOF asked for before.
void ssh2_session_started(SshSession* ssh);
// "break" (special code 1) and the "signal" requests (codes 18 to 30) on the open session
// channel; other codes are not this function's.
void ssh2_send_session_control(SshSession* ssh, int code);

// ---- agent forwarding (ssh2_agent_forward.cpp) ----
// Asks for agent forwarding on the session channel; false (nothing sent) unless "AgentFwd" is
// set and an agent answers.
bool ssh2_request_agent_forwarding(SshSession* ssh);
// Data from the server on an agent channel: each whole request goes to the agent and its
// answer (or the failure message) back on the channel.
void ssh2_agent_data(SshChannel* channel, std::string_view data);

// ---- forwarding set-up and terminal modes (ssh_port_forwardings.cpp, ssh_terminal_modes.cpp) ----
// Parses "PortForwardings" and starts, keeps or cancels the forwardings (session start and
// reconfigure).
void ssh_setup_port_forwardings(SshSession* ssh);
// The reply to the oldest "tcpip-forward" request.
void ssh2_take_remote_forward_reply(SshSession* ssh, bool success);
// The remote forwarding for a port the server accepted a connection on; none when unknown.
SshPortForward* ssh_find_remote_forward(SshSession* ssh, int port);
// One "PortForwardings" entry ("name<TAB>value"); false (after logging) when it is dropped.
bool ssh_parse_port_forward(SshSession* ssh, const char* name, const char* value, SshPortForward* out);
// "TerminalModes" as pty-request mode bytes: opcode and uint32 (SSH-2) or one byte (SSH-1)
// per entry; the speeds and the end byte are the caller's.
void ssh_encode_terminal_modes(const SessionConfig& config, bool ssh2, WireBuffer& out);
// The speeds of "TerminalSpeed" ("ospeed,ispeed"), 38400 each otherwise.
void ssh_terminal_speeds(const SessionConfig& config, int* ospeed, int* ispeed);
// The "name<TAB>value" entries of a settings list (an entry without a TAB has an empty value).
std::vector<std::pair<std::string, std::string>> ssh_list_entries(const char* list, size_t capacity);

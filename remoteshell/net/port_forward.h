#pragma once
// The socket side of SSH port forwarding: listeners for local and dynamic (SOCKS) forwardings,
// whose accepted connections each get a new SSH channel, and outgoing connections for the
// channels the server opens for remote forwardings. Runs on the session thread.
#include "remoteshell/core/session_config.h"
#include "remoteshell/net/forward_channel.h"

struct ForwardingEnd;

// A listener on source_address (none: loopback, or every address with "LocalPortAcceptAll")
// and port; host none makes it dynamic. Returns the error text or none; *out is set either way
// (none on failure).
const char* forward_add_listener(const char* host, int port, const char* source_address, int source_port,
                                 const ForwardBackend& backend, const SessionConfig& config, int family,
                                 ForwardingEnd** out);
// Connects out for a channel the server opened; the error text or none.
const char* forward_connect(ForwardingEnd** out, const char* host, int port, void* channel,
                            const ForwardBackend& backend, const SessionConfig& config, int family);
// Closes the connection (or listener) and releases it; the channel is not told.
void forward_close(ForwardingEnd* end);
void forward_terminate(ForwardingEnd* listener);
// The channel ended: the connection closes once the bytes still queued for its peer are sent
// (so the end of a reply is not cut off); the channel is not told of anything any more.
void forward_finish(ForwardingEnd* end);
// Closes the connections still finishing (at the end of the conversation).
void forward_close_finishing();
// The channel's queue emptied: reading may go on.
void forward_unthrottle(ForwardingEnd* end);
// Data from the channel towards the socket; returns the socket's backlog.
int forward_send(ForwardingEnd* end, const char* data, int length);
// The channel is confirmed: the socket is read again and bytes held back are sent on.
void forward_confirm(ForwardingEnd* end);

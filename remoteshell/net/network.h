#pragma once
// The network layer: outgoing connections (each resolved address in turn), listeners, output
// buffering, and socket events turned into calls on each socket's owner. Everything runs on
// the session thread; the owner's writes may come from another thread under the owner's lock.
//
// Sockets belong to the thread that made them (a conversation's session thread): each thread
// that runs a conversation has its own socket tree from net_startup to net_shutdown.
//
// Events: the layer watches every socket it made with poll and reports, per socket, the same
// events and order the owners expect (net_socket_events); net_dispatch_event hands one event
// to the socket's owner.
#include <cstdint>
#include <mutex>

#include "remoteshell/net/net_address.h"
#include "remoteshell/net/socket.h"

// Creates the socket tree (once; later calls do nothing).
void net_startup();
// Closes every socket's handle and empties the tree; owners still release their sockets.
void net_shutdown();

// A connecting socket; takes the address list. Its creation error, if any, is last_error.
Socket* net_new_connection(NetAddress* address, int port, int privileged_port, int oob_inline, int no_delay,
                           int keep_alive, const SocketOwner* owner);
// A listening socket; with family unspecified (0) an IPv6 sibling is opened too.
Socket* net_new_listener(const char* source_address, int port, const SocketOwner* owner, int local_host_only,
                         int family);
// A socket for a handle passed to the owner's accepting; the socket owns the handle from now.
Socket* net_wrap_accepted(int handle, const SocketOwner* owner);

// Hands one event to its socket's owner; 0 when the owner reports that the session must end.
// An unknown handle returns 1.
int net_dispatch_event(int handle, uint32_t code);
void net_set_frozen(Socket* socket, int frozen);

// OS handles of all sockets, -1 at the end.
int net_first_socket(int* cursor);
int net_next_socket(int* cursor);

// Fetches and resets the events of one socket as dispatch codes, in dispatch order; returns
// their number (at most 6).
int net_socket_events(int handle, uint32_t codes[6]);
// Waits up to timeout_ms for an event on any socket; the number of sockets with events.
int net_wait(int timeout_ms);
// One turn of an event loop: wait, then fetch and dispatch every socket's events. Returns 0
// when an owner reported that the session must end. With a guard (the conversation's lock),
// the poll list is built and the events are dispatched under it; the wait itself is not. A
// wake descriptor (an eventfd) that becomes readable ends the wait early: the owner's other
// threads write it after changing what the poll list would hold (a send that filled the socket)
// or to end the loop.
int net_run_once(int timeout_ms, std::mutex* guard = nullptr, int wake_fd = -1);

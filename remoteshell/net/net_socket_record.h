#pragma once
// The record behind every socket this layer makes; shared by the network layer's own files.
#include "remoteshell/core/byte_queue.h"
#include "remoteshell/core/counted_tree.h"
#include "remoteshell/net/network.h"

struct NetSocket : Socket {
  const char* error;  // creation error, none on success
  int handle;         // -1 once closed
  SocketOwner owner;
  void* private_data;
  ByteQueue output;
  bool writable;
  bool connected;
  bool frozen;
  bool readable_while_frozen;
  bool local_host_only;
  bool listener;
  // Sent in one out-of-band send, so its last byte is the urgent mark and a byte before it
  // (telnet's IAC) cannot be separated from the mark by a later write.
  char urgent_bytes[2];
  int urgent_pending;  // 0 to 2
  bool oob_inline;
  bool no_delay;
  bool keep_alive;
  bool privileged_port;
  NetAddress* address;  // while connecting
  int port;
  int pending_error;   // a send failure, reported as a close event
  NetSocket* sibling;  // IPv6 listener twin
  NetSocket* parent;
  // Event translation.
  bool selected;
  bool connecting;
  bool close_reported;
  // Lifetime: a socket closed inside its own dispatch is released when the dispatch returns.
  int dispatch_depth;
  bool closed;
};

CountedTree* net_socket_tree();
NetSocket* net_find_socket(int handle);
void net_tree_add(NetSocket* socket);
void net_tree_remove(NetSocket* socket);
// Sends queued and urgent data while the socket takes it; failures become pending errors.
void net_try_send(NetSocket* socket);
// Tries the current address; 0 when the attempt started, else the error code.
int net_try_connect(NetSocket* socket);
// Around the owner's accepting: true at the end when net_wrap_accepted took the handle, so a
// refused handle is closed only when nobody owns it.
void net_accept_begin(int handle);
bool net_accept_end();
void net_release_if_closed(NetSocket* socket);
// Stirs a network word into the random pool.
void net_noise(uint32_t word);

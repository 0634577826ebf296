#pragma once
// The record of one telnet connection and the steps that the telnet back end's files share.
#include <string>

#include "remoteshell/core/backend.h"
#include "remoteshell/core/keepalive.h"
#include "remoteshell/net/socket.h"
#include "remoteshell/terminal/telnet_options.h"

enum TelnetReceiveState {
  kTelnetTop,
  kTelnetSeenIac,
  kTelnetSeenWill,
  kTelnetSeenWont,
  kTelnetSeenDo,
  kTelnetSeenDont,
  kTelnetSeenSb,
  kTelnetInSubnegotiation,
  kTelnetSubnegotiationIac,
  kTelnetSeenCr,
};

// A hostile server cannot make a subnegotiation grow without limit; later bytes are dropped.
inline constexpr size_t kTelnetSubnegotiationLimit = 65536;

struct TelnetSession {
  Socket* socket = nullptr;
  void* frontend = nullptr;
  void* line_discipline = nullptr;
  int width = 80;
  int height = 24;
  TelnetOptionState states[kTelnetOptionCount] = {};
  int echoing = 1;  // local echo
  int editing = 1;  // local line editing
  int activated = 0;
  int backlog = 0;
  int in_synch = 0;
  unsigned char subnegotiation_option = 0;
  std::string subnegotiation;
  TelnetReceiveState state = kTelnetTop;
  KeepAlive* pinger = nullptr;
  SessionConfig config{};
  std::string pending_output;  // bytes of one receive call, handed over together
};

// Writes bytes to the socket (when any) and keeps the backlog.
void telnet_write(TelnetSession* telnet, const std::string& bytes);
// Writes IAC, verb, option and logs it as the client's.
void telnet_send_verb(TelnetSession* telnet, unsigned char verb, unsigned char option);
// Offers every option that is requested, in table order, and marks the session activated.
void telnet_offer_requested(TelnetSession* telnet);
// A verb from the server for an option.
void telnet_handle_verb(TelnetSession* telnet, unsigned char verb, unsigned char option);
// The window-size message when NAWS is active.
void telnet_send_window_size(TelnetSession* telnet);
// A completed subnegotiation.
void telnet_process_subnegotiation(TelnetSession* telnet);
// The receive state machine over one chunk.
void telnet_receive_bytes(TelnetSession* telnet, int urgent, const char* data, int length);

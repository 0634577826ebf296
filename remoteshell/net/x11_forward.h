#pragma once
// X11 forwarding, socket side: the invented authorisation handed to the server, and the
// connections the server opens back, whose set-up is checked against the invented data and
// rewritten with the local display's real authorisation before anything reaches the X server.
#include <cstdint>
#include <ctime>
#include <string>

#include "remoteshell/core/session_config.h"
#include "remoteshell/net/forward_channel.h"

struct CountedTree;

enum X11AuthType { kX11AuthNone = 0, kX11AuthMitCookie = 1, kX11AuthXdm = 2 };

struct X11Auth {
  unsigned char fake_data[16];
  int fake_type;
  int fake_length;
  int real_type;
  unsigned char real_data[64];
  int real_length;
  CountedTree* replay_list;  // XDM-AUTHORIZATION-1: seen (time stamp, address) entries
};

// Invents authorisation of a type (1 or 2); writes its name and the data as lower-case hex.
X11Auth* x11_invent_auth(char* name, int name_size, char* hex, int hex_size, int type);
void x11_auth_free(X11Auth* auth);
// The local display's real authorisation (from the X authority file).
void x11_auth_prepare(X11Auth* auth, const char* display);

// The display text, else $DISPLAY, else ":0"; a leading ":" gets "localhost" in front.
std::string x11_display_name(const char* display);
// The screen: the number after the "." that follows the last ":", 0 without one.
int x11_screen_number(const char* display);
// Splits a display name at its last ":" into host and display number; false when the number is
// missing or would put the port beyond 65535.
bool x11_parse_display(const std::string& display, std::string* host, int* number);

// Checks presented authorisation; none when it passes, else the reason.
const char* x11_verify(uint32_t peer_address, int peer_port, X11Auth* auth, const std::string& name,
                       const unsigned char* data, int length, std::time_t now);

struct X11Connection;
const char* x11_connect(X11Connection** out, const char* display, void* channel, const ForwardBackend& backend,
                        X11Auth* auth, const char* peer_address, int peer_port, const SessionConfig& config);
// Data from the channel towards the X server; returns the socket's backlog.
int x11_send(X11Connection* connection, const char* data, int length);
// Releases the connection and closes its socket; the channel is not told.
void x11_close(X11Connection* connection);
void x11_unthrottle(X11Connection* connection);

#pragma once
// The SOCKS 4, 4A and 5 requests a dynamic forwarding reads from an accepted connection, taken
// byte by byte. Nothing is stored past the request buffer: a request that would not fit ends
// the connection instead.
#include <string>

inline constexpr int kSocksRequestLimit = 264;

enum SocksState : int {
  kSocksNone = 0,
  kSocksVersion = 1,
  kSocks4Request = 0x4000,
  kSocks4HostName = 0x4001,
  kSocks5Methods = 0x5000,
  kSocks5Request = 0x5001,
};

struct SocksRequest {
  int state = kSocksVersion;
  unsigned char request[kSocksRequestLimit];
  int length = 0;
};

// What one call found: more bytes needed, a reply to send (and go on), a reply to send and then
// close, or the target (after its reply).
enum SocksAction { kSocksMore, kSocksReply, kSocksReplyThenClose, kSocksConnect };

struct SocksResult {
  SocksAction action = kSocksMore;
  std::string reply;
  std::string host;
  int port = 0;
  int used = 0;  // bytes taken from the input; the rest belongs to the connection's data
};

// Takes bytes until the request needs more or something must be sent or done.
SocksResult socks_take(SocksRequest& socks, const char* data, int length);

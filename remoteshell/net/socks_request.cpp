// SOCKS request parsing for dynamic forwarding.
#include "remoteshell/net/socks_request.h"

#include <cstdio>

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

int port_at(const unsigned char* p) { return (p[0] << 8) | p[1]; }

std::string dotted(const unsigned char* p) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", p[0], p[1], p[2], p[3]);
  return text;
}

// The SOCKS 4 request is complete at the zero byte that ends its user id (or its 4A host).
bool take_socks4(SocksRequest& s, SocksResult& result) {
  const unsigned char* r = s.request;
  if (s.state == kSocks4Request) {
    if (s.length <= 8 || r[s.length - 1] != 0) return false;
    if (r[1] != 1) {
      result.action = kSocksReplyThenClose;
      result.reply = bytes({0, 0x5B, 0, 0, 0, 0, 0, 0});
      return true;
    }
    if (r[4] == 0 && r[5] == 0 && r[6] == 0 && r[7] != 0) {
      s.state = kSocks4HostName;  // 4A: the host name follows; it replaces the user id
      s.length = 8;
      return false;
    }
    result.host = dotted(r + 4);
  } else {
    if (s.length <= 8 || r[s.length - 1] != 0) return false;
    result.host.assign(reinterpret_cast<const char*>(r + 8), static_cast<size_t>(s.length - 9));
  }
  result.port = port_at(r + 2);
  result.action = kSocksConnect;
  result.reply = bytes({0, 0x5A}) + std::string(reinterpret_cast<const char*>(r + 2), 6);
  return true;
}

bool take_socks5(SocksRequest& s, SocksResult& result) {
  const unsigned char* r = s.request;
  if (s.state == kSocks5Methods) {
    if (s.length < 2 || s.length < 2 + r[1]) return false;
    bool no_auth = false;
    for (int i = 0; i < r[1]; ++i) no_auth |= r[2 + i] == 0;
    result.action = kSocksReply;
    result.reply = bytes({5, no_auth ? 0x00 : 0xFF});
    s.state = kSocks5Request;
    s.length = 0;
    return true;
  }
  if (s.length < 5) return false;
  int address_length = r[3] == 1 ? 4 : r[3] == 4 ? 16 : r[3] == 3 ? 1 + r[4] : 0;
  if (s.length < 6 + address_length) return false;
  const std::string refused = bytes({5, 1, 0, 1, 0, 0, 0, 0, 0, 0});
  if (r[1] != 1 || r[2] != 0 || (r[3] != 1 && r[3] != 3 && r[3] != 4)) {
    result.action = kSocksReplyThenClose;
    result.reply = refused;
    return true;
  }
  if (r[3] == 4) {
    result.action = kSocksReplyThenClose;
    result.reply = bytes({5, 8, 0, 1, 0, 0, 0, 0, 0, 0});
    return true;
  }
  result.host = r[3] == 1 ? dotted(r + 4) : std::string(reinterpret_cast<const char*>(r + 5), r[4]);
  result.port = port_at(r + 4 + address_length);
  result.action = kSocksConnect;
  result.reply = bytes({5, 0, 0, 1, 0, 0, 0, 0, 0, 0});
  return true;
}

}  // namespace

SocksResult socks_take(SocksRequest& s, const char* data, int length) {
  SocksResult result;
  while (result.used < length) {
    auto byte = static_cast<unsigned char>(data[result.used++]);
    if (s.state == kSocksVersion) {
      if (byte != 4 && byte != 5) {
        result.action = kSocksReplyThenClose;
        return result;
      }
      s.state = byte == 4 ? kSocks4Request : kSocks5Methods;
    }
    // Checked before the byte is stored: a longer request is refused, never written past.
    if (s.length >= kSocksRequestLimit) {
      result.action = kSocksReplyThenClose;
      if (s.state == kSocks4Request || s.state == kSocks4HostName) result.reply = bytes({0, 0x5B, 0, 0, 0, 0, 0, 0});
      return result;
    }
    s.request[s.length++] = byte;
    bool done =
        s.state == kSocks4Request || s.state == kSocks4HostName ? take_socks4(s, result) : take_socks5(s, result);
    if (done) {
      if (result.action == kSocksConnect) s.state = kSocksNone;
      return result;
    }
  }
  return result;
}

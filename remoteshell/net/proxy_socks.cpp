// SOCKS 4 and 4A, and SOCKS 5 (RFC 1928) with user name and password (RFC 1929) or CHAP with
// HMAC-MD5.
#include <cstring>

#include "crypto/hmac.h"
#include "remoteshell/net/proxy_socket.h"

namespace {

enum Socks5Step { kMethodReply = 1, kConnectReply = 2, kPasswordReply = 5, kChapMessage = 7, kChapAttribute = 8 };

std::string port_bytes(int port) { return {static_cast<char>((port >> 8) & 0xff), static_cast<char>(port & 0xff)}; }

std::string address_bytes(const ProxySocket* proxy, int length) {
  unsigned char bytes[16] = {};
  net_address_bytes(proxy->remote, bytes);
  return std::string(reinterpret_cast<char*>(bytes), static_cast<size_t>(length));
}

unsigned char at(const ProxySocket* proxy, size_t i) { return static_cast<unsigned char>(proxy->received[i]); }

// Texts of the proxy's settings that SOCKS carries with a one-byte length.
std::string limited(const char* text) { return std::string(text).substr(0, 255); }

int socks5_send_request(ProxySocket* proxy) {
  std::string request = {5, 1, 0};
  switch (net_address_type(proxy->remote)) {
    case kNetAddressIpv4: request += '\x01' + address_bytes(proxy, 4); break;
    case kNetAddressIpv6: request += '\x04' + address_bytes(proxy, 16); break;
    default: {
      std::string name = limited(proxy->remote->host_name);
      request += '\x03';
      request += static_cast<char>(name.size());
      request += name;
    }
  }
  proxy_send(proxy, request + port_bytes(proxy->remote_port));
  proxy->state = kConnectReply;
  return 1;
}

bool has_credentials(const ProxySocket* proxy) {
  return proxy->config.proxy_username[0] != '\0' || proxy->config.proxy_password[0] != '\0';
}

int method_reply(ProxySocket* proxy) {
  if (proxy->received.size() < 2) return 1;
  unsigned char version = at(proxy, 0), method = at(proxy, 1);
  proxy->received.erase(0, 2);
  if (version != 5) return proxy_fail(proxy, "Proxy error: SOCKS proxy returned unexpected version");
  if (method == 0) return socks5_send_request(proxy);
  if (method == 1) return proxy_fail(proxy, "Proxy error: We don't support GSSAPI authentication");
  if (method == 2) {
    if (!has_credentials(proxy))
      return proxy_fail(proxy, "Proxy error: Server chose username/password authentication but we didn't offer it!");
    std::string user = limited(proxy->config.proxy_username), password = limited(proxy->config.proxy_password);
    proxy_send(proxy,
               std::string{1, static_cast<char>(user.size())} + user + static_cast<char>(password.size()) + password);
    proxy->state = kPasswordReply;
    return 1;
  }
  if (method == 3) {
    if (!has_credentials(proxy))
      return proxy_fail(proxy, "Proxy error: Server chose CHAP authentication but we didn't offer it!");
    std::string user = limited(proxy->config.proxy_username);
    proxy_send(proxy, std::string{1, 2, 0x11, 1, static_cast<char>(0x85), 0x02, static_cast<char>(user.size())} + user);
    proxy->state = kChapMessage;
    return 1;
  }
  return proxy_fail(proxy, "Proxy error: SOCKS proxy did not accept our authentication");
}

int password_reply(ProxySocket* proxy) {
  if (proxy->received.size() < 2) return 1;
  unsigned char version = at(proxy, 0), status = at(proxy, 1);
  proxy->received.erase(0, 2);
  if (version != 1)
    return proxy_fail(proxy, "Proxy error: SOCKS password subnegotiation contained wrong version number");
  if (status != 0) return proxy_fail(proxy, "Proxy error: SOCKS proxy refused password authentication");
  return socks5_send_request(proxy);
}

int chap_challenge(ProxySocket* proxy, const std::string& challenge) {
  const char* password = proxy->config.proxy_password;
  HmacMd5Context* hmac = hmac_md5_new();
  hmac_md5_set_key(hmac, reinterpret_cast<const unsigned char*>(password), std::strlen(password));
  unsigned char response[MD5_DIGEST_LENGTH];
  hmac_md5_compute(hmac, challenge.data(), challenge.size(), response);
  hmac_md5_free(hmac);
  proxy_send(proxy, std::string{1, 1, 0x04, 16} + std::string(reinterpret_cast<char*>(response), sizeof response));
  return 1;
}

// One CHAP message header, or one attribute of it.
int chap_step(ProxySocket* proxy) {
  while (proxy->state == kChapMessage || proxy->state == kChapAttribute) {
    if (proxy->state == kChapMessage) {
      if (proxy->received.size() < 2) return 1;
      unsigned char version = at(proxy, 0), count = at(proxy, 1);
      proxy->received.erase(0, 2);
      if (version != 1) return proxy_fail(proxy, "Proxy error: SOCKS proxy wants a different CHAP version");
      if (count == 0) return proxy_fail(proxy, "Proxy error: SOCKS proxy won't negotiate CHAP with us");
      proxy->chap_attributes = count;
      proxy->chap_read = 0;
      proxy->state = kChapAttribute;
      continue;
    }
    if (proxy->received.size() < 2 || proxy->received.size() < 2u + at(proxy, 1)) return 1;
    unsigned char type = at(proxy, 0);
    std::string value = proxy->received.substr(2, at(proxy, 1));
    proxy->received.erase(0, 2 + value.size());
    if (++proxy->chap_read == proxy->chap_attributes) proxy->state = kChapMessage;
    if (type == 0x00) {
      if (value.empty() || value[0] != 0)
        return proxy_fail(proxy, "Proxy error: SOCKS proxy refused CHAP authentication");
      return socks5_send_request(proxy);
    }
    if (type == 0x03) chap_challenge(proxy, value);
    if (type == 0x11 && (value.empty() || static_cast<unsigned char>(value[0]) != 0x85))
      return proxy_fail(proxy, "Proxy error: Server chose CHAP of other than HMAC-MD5 but we didn't offer it!");
  }
  return 1;
}

const char* socks5_error(int code) {
  static const char* const kTexts[] = {"General SOCKS server failure", "Connection not allowed by ruleset",
                                       "Network unreachable",          "Host unreachable",
                                       "Connection refused",           "TTL expired",
                                       "Command not supported",        "Address type not supported"};
  return code >= 1 && code <= 8 ? kTexts[code - 1] : nullptr;
}

int connect_reply(ProxySocket* proxy) {
  if (proxy->received.size() < 5) return 1;
  if (at(proxy, 0) != 5) return proxy_fail(proxy, "Proxy error: SOCKS proxy returned wrong version number");
  if (int code = at(proxy, 1); code != 0) {
    const char* text = socks5_error(code);
    return proxy_fail(proxy, std::string("Proxy error: ") +
                                 (text != nullptr ? text : "Unrecognised SOCKS error code " + std::to_string(code)));
  }
  size_t length = 0;
  switch (at(proxy, 3)) {
    case 1: length = 10; break;
    case 4: length = 22; break;
    case 3: length = 7 + at(proxy, 4); break;
    default: return proxy_fail(proxy, "Proxy error: SOCKS proxy returned unrecognised address format");
  }
  if (proxy->received.size() < length) return 1;
  proxy->received.erase(0, length);
  return proxy_finish(proxy);
}

// One step of the negotiation over the bytes received so far.
int socks5_receive(ProxySocket* proxy) {
  switch (proxy->state) {
    case kMethodReply: return method_reply(proxy);
    case kPasswordReply: return password_reply(proxy);
    case kChapMessage:
    case kChapAttribute: return chap_step(proxy);
    case kConnectReply: return connect_reply(proxy);
    default: return proxy_fail(proxy, "Proxy error: Unexpected proxy error", kProxyUnexpectedErrorCode);
  }
}

}  // namespace

int proxy_socks4_step(ProxySocket* proxy, int change) {
  if (change == kProxyStart) {
    int type = net_address_type(proxy->remote);
    if (type == kNetAddressIpv6) return proxy_fail(proxy, "Proxy error: SOCKS version 4 does not support IPv6");
    std::string request = std::string{4, 1} + port_bytes(proxy->remote_port) +
                          (type == kNetAddressIpv4 ? address_bytes(proxy, 4) : std::string{0, 0, 0, 1}) +
                          proxy->config.proxy_username + '\0';
    if (type == kNetAddressName) request += std::string(proxy->remote->host_name) + '\0';
    proxy_send(proxy, request);
    proxy->state = 1;
    return 1;
  }
  if (change != kProxyReceived || proxy->received.size() < 8) return 1;
  if (at(proxy, 0) != 0)
    return proxy_fail(proxy, "Proxy error: SOCKS proxy responded with unexpected reply code version");
  switch (at(proxy, 1)) {
    case 90: proxy->received.erase(0, 8); return proxy_finish(proxy);
    case 92: return proxy_fail(proxy, "Proxy error: SOCKS server wanted IDENTD on client");
    case 93: return proxy_fail(proxy, "Proxy error: Username and IDENTD on client don't agree");
    default: return proxy_fail(proxy, "Proxy error: Error while communicating with proxy");
  }
}

int proxy_socks5_step(ProxySocket* proxy, int change) {
  if (change == kProxyStart) {
    proxy_send(proxy, has_credentials(proxy) ? std::string{5, 3, 0, 3, 2} : std::string{5, 1, 0});
    proxy->state = kMethodReply;
    return 1;
  }
  if (change != kProxyReceived) return 1;
  // A reply may arrive a byte at a time: go on only while a step takes bytes or moves on.
  for (;;) {
    int state = proxy->state;
    size_t unread = proxy->received.size();
    int result = socks5_receive(proxy);
    if (result == 0 || proxy->has_error || proxy->state <= 0 || proxy->received.empty()) return result;
    if (proxy->state == state && proxy->received.size() == unread) return 1;
  }
}

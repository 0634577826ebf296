// HTTP CONNECT (RFC 7231 4.3.6) with optional Basic authentication.
#include <algorithm>
#include <cstdio>

#include "remoteshell/core/settings_text.h"
#include "remoteshell/net/proxy_socket.h"

namespace {

// A proxy that never ends its status line or headers is not waited for forever.
constexpr size_t kHttpLineLimit = 8192;

std::string base64(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i += 3) {
    char group[4];
    int count = static_cast<int>(std::min<size_t>(3, text.size() - i));
    base64_encode_group(reinterpret_cast<const unsigned char*>(text.data() + i), count, group);
    out.append(group, 4);
  }
  return out;
}

int send_request(ProxySocket* proxy) {
  std::string destination = proxy_destination_text(proxy, true) + ":" + std::to_string(proxy->remote_port);
  std::string request = "CONNECT " + destination + " HTTP/1.1\r\nHost: " + destination + "\r\n";
  const SessionConfig& config = proxy->config;
  if (config.proxy_username[0] != '\0' || config.proxy_password[0] != '\0')
    request += "Proxy-Authorization: Basic " +
               base64(std::string(config.proxy_username) + ":" + config.proxy_password) + "\r\n";
  request += "\r\n";
  proxy_send(proxy, request);
  proxy->state = 1;
  return 1;
}

// The next whole line (with its line feed) taken from the received bytes; false when none yet.
bool take_line(ProxySocket* proxy, std::string* line) {
  size_t end = proxy->received.find('\n');
  if (end == std::string::npos) return false;
  *line = proxy->received.substr(0, end + 1);
  proxy->received.erase(0, end + 1);
  return true;
}

int read_status(ProxySocket* proxy, const std::string& line) {
  int major = 0, minor = 0, consumed = -1;
  std::sscanf(line.c_str(), "HTTP/%d.%d %n", &major, &minor, &consumed);
  if (consumed < 0) return proxy_fail(proxy, "Proxy error: HTTP response was absent");
  std::string status = line.substr(static_cast<size_t>(consumed));
  if (status.empty() || status[0] != '2') {
    while (!status.empty() && (status.back() == '\r' || status.back() == '\n')) status.pop_back();
    return proxy_fail(proxy, "Proxy error: " + status);
  }
  proxy->state = 2;
  return 1;
}

}  // namespace

int proxy_http_step(ProxySocket* proxy, int change) {
  if (change == kProxyStart) return send_request(proxy);
  if (change != kProxyReceived) return 1;
  std::string line;
  while (proxy->state > 0 && take_line(proxy, &line)) {
    if (proxy->state == 1) {
      if (read_status(proxy, line) == 0 || proxy->has_error) return 0;
    } else if (line == "\r\n" || line == "\n") {
      return proxy_finish(proxy);
    }
  }
  if (proxy->state > 0 && proxy->received.size() > kHttpLineLimit)
    return proxy_fail(proxy, "Proxy error: HTTP response was absent");
  return 1;
}

// The telnet-command proxy: one command line, then the proxy's first bytes already belong to
// the destination.
#include <cctype>
#include <cstring>

#include <strings.h>

#include "remoteshell/net/proxy_socket.h"

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

std::string proxy_expand_telnet_command(const ProxySocket* proxy) {
  const SessionConfig& config = proxy->config;
  const std::pair<const char*, std::string> keywords[] = {
      {"host", proxy_destination_text(proxy, false)},
      {"port", std::to_string(proxy->remote_port)},
      {"user", config.proxy_username},
      {"pass", config.proxy_password},
      {"proxyhost", config.proxy_host},
      {"proxyport", std::to_string(config.proxy_port)},
  };
  std::string text = config.proxy_telnet_command;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 1 < text.size() && text[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      bool matched = false;
      for (const auto& [name, value] : keywords) {
        size_t length = std::strlen(name);
        if (strncasecmp(text.c_str() + i + 1, name, length) == 0) {
          out += value;
          i += length;
          matched = true;
          break;
        }
      }
      if (!matched) out += '%';
      continue;
    }
    if (c != '\\' || i + 1 >= text.size()) {
      out += c;
      continue;
    }
    char next = text[i + 1];
    switch (next) {
      case '\\': out += '\\'; break;
      case '%': out += '%'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        int high = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
        int low = i + 3 < text.size() ? hex_value(text[i + 3]) : -1;
        if (high < 0 || low < 0) {
          out += '\\';  // the text after the backslash is read as it stands
          continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        out += c;
        out += next;
        break;
    }
    ++i;
  }
  return out;
}

int proxy_telnet_step(ProxySocket* proxy, int change) {
  if (change == kProxyStart) {
    proxy_send(proxy, proxy_expand_telnet_command(proxy));
    proxy->state = 1;
    return 1;
  }
  if (change == kProxyReceived && !proxy->received.empty()) return proxy_finish(proxy);
  return 1;
}

// Which destinations go through the proxy, and who resolves their names.
#include <cctype>
#include <cstring>
#include <string>

#include <arpa/inet.h>
#include <strings.h>

#include "base/memory.h"
#include "remoteshell/net/proxy.h"

namespace {

bool entry_character(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '*' || c == '-' || c == '.'; }

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && strcasecmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

bool begins_with(const std::string& text, const std::string& head) {
  return text.size() >= head.size() && strncasecmp(text.c_str(), head.c_str(), head.size()) == 0;
}

bool entry_matches(const std::string& entry, const std::string& name) {
  if (name.empty()) return false;
  if (entry[0] == '*') return ends_with(name, entry.substr(1));
  if (entry.back() == '*') return begins_with(name, entry.substr(0, entry.size() - 1));
  return begins_with(name, entry);
}

// A literal loopback address given as the host name.
bool is_loopback_literal(const char* host) {
  in_addr v4;
  in6_addr v6;
  if (inet_pton(AF_INET, host, &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  return inet_pton(AF_INET6, host, &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

}  // namespace

bool proxy_applies(const SessionConfig& config, const char* host, const NetAddress* address) {
  bool resolved = address != nullptr && address->current != nullptr;
  if (!config.proxy_localhost &&
      (net_is_localhost_name(host) || is_loopback_literal(host) || (resolved && net_address_is_local(address))))
    return false;
  std::string address_text;
  if (resolved) {
    char text[128];
    net_address_text(address, text, sizeof text);
    address_text = text;
  }
  const char* list = config.proxy_exclude_list;
  while (*list != '\0') {
    while (*list != '\0' && !entry_character(*list)) ++list;
    const char* start = list;
    while (entry_character(*list)) ++list;
    if (list == start) continue;
    std::string entry(start, list);
    if (entry_matches(entry, host) || entry_matches(entry, address_text)) return false;
  }
  return true;
}

NetAddress* proxy_lookup_host(const char* host, char** canonical_name, const SessionConfig& config) {
  int method = config.proxy_method;
  bool proxy_resolves = config.proxy_dns == 1 || (config.proxy_dns == 2 && method != 1);
  if (method != 0 && proxy_resolves && proxy_applies(config, host, nullptr)) {
    *canonical_name = text_clone(host);
    return net_unresolved_address(host);
  }
  return net_lookup_host(host, canonical_name, config.address_family);
}

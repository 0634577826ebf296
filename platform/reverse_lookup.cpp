#include "platform/reverse_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <memory>

namespace platform {

std::optional<std::string> ResolveIpv4(const std::string& addressOrName) {
  if (addressOrName.empty()) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(addressOrName.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, freeaddrinfo);
  char text[INET_ADDRSTRLEN] = {};
  auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  if (!inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text))) return std::nullopt;
  return std::string(text);
}

std::optional<std::string> ReverseLookup(const std::string& dottedAddress) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (inet_pton(AF_INET, dottedAddress.c_str(), &address.sin_addr) != 1) return std::nullopt;
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof(address), host, sizeof(host), nullptr, 0,
                  NI_NAMEREQD) != 0)
    return std::nullopt;
  return std::string(host);
}

}  // namespace platform

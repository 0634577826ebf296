#include "remoteshell/net/net_address.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include "base/memory.h"
#include "remoteshell/core/frontend.h"

namespace {

constexpr size_t kCanonicalNameLimit = 8191;

NetAddress* address_new() {
  auto* address = checked_new_array<NetAddress>(1);
  std::memset(address, 0, sizeof *address);
  address->family = AF_UNSPEC;
  return address;
}

const char* resolver_error_text(int status) {
  switch (status) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
      return "Host does not exist";
    case EAI_AGAIN: return "Host not found";
    case EAI_SYSTEM: return errno == ENETDOWN ? "Network is down" : "getaddrinfo: unknown error";
    default: return "getaddrinfo: unknown error";
  }
}

char* cut_canonical(const char* name) {
  size_t length = std::min(std::strlen(name), kCanonicalNameLimit);
  char* copy = checked_new_array<char>(length + 1);
  std::memcpy(copy, name, length);
  copy[length] = '\0';
  return copy;
}

// This machine's IPv4 addresses (network order), fetched once.
struct LocalAddresses {
  bool fetched = false;
  bool available = false;
  std::vector<in_addr_t> addresses;
};

}  // namespace

int net_ipv4_is_local(uint32_t address) {
  if ((ntohl(address) >> 24) == 127) return 1;
  static std::mutex mutex;
  static LocalAddresses local;
  std::lock_guard lock(mutex);
  if (!local.fetched) {
    local.fetched = true;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
      local.available = true;
      for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET)
          local.addresses.push_back(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
      }
      freeifaddrs(list);
    } else {
      log_event(nullptr, "Unable to get list of local IP addresses");
    }
  }
  for (in_addr_t mine : local.addresses)
    if (mine == address) return 1;
  return 0;
}

NetAddress* net_lookup_host(const char* host, char** canonical_name, int family) {
  NetAddress* address = address_new();
  addrinfo hints{};
  hints.ai_family = family == 1 ? AF_INET : family == 2 ? AF_INET6 : AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  in_addr dotted{};
  bool is_dotted = inet_pton(AF_INET, host, &dotted) == 1;
  hints.ai_flags = is_dotted ? AI_NUMERICHOST : AI_CANONNAME;
  if (is_dotted) hints.ai_family = AF_INET;
  int status = getaddrinfo(host, nullptr, &hints, &address->chain);
  if (status != 0) {
    address->chain = nullptr;
    address->error = resolver_error_text(status);
    *canonical_name = cut_canonical(host);
    return address;
  }
  address->current = address->chain;
  address->family = address->chain->ai_family;
  const char* canonical = !is_dotted && address->chain->ai_canonname ? address->chain->ai_canonname : host;
  *canonical_name = cut_canonical(canonical);
  return address;
}

NetAddress* net_unresolved_address(const char* host) {
  NetAddress* address = address_new();
  std::strncpy(address->host_name, host, sizeof address->host_name - 1);
  return address;
}

int net_next_address(NetAddress* address) {
  if (address->current == nullptr || address->current->ai_next == nullptr) return 0;
  address->current = address->current->ai_next;
  address->family = address->current->ai_family;
  return 1;
}

void net_address_text(const NetAddress* address, char* buffer, int size) {
  if (size <= 0) return;
  buffer[0] = '\0';
  if (address->current == nullptr) {
    std::strncpy(buffer, address->host_name, static_cast<size_t>(size) - 1);
    buffer[size - 1] = '\0';
    return;
  }
  if (address->current->ai_family == AF_UNIX) {
    std::snprintf(buffer, static_cast<size_t>(size), "%s", address->unix_path.sun_path);
    return;
  }
  const void* bytes =
      address->current->ai_family == AF_INET
          ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(address->current->ai_addr)->sin_addr)
          : &reinterpret_cast<sockaddr_in6*>(address->current->ai_addr)->sin6_addr;
  if (inet_ntop(address->current->ai_family, bytes, buffer, static_cast<socklen_t>(size)) == nullptr) buffer[0] = '\0';
}

int net_is_localhost_name(const char* host) { return std::strcmp(host, "localhost") == 0; }

int net_address_is_local(const NetAddress* address) {
  if (address->current == nullptr) return 0;
  if (address->current->ai_family == AF_UNIX) return 1;
  if (address->current->ai_family == AF_INET6)
    return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<sockaddr_in6*>(address->current->ai_addr)->sin6_addr);
  if (address->current->ai_family == AF_INET)
    return net_ipv4_is_local(reinterpret_cast<sockaddr_in*>(address->current->ai_addr)->sin_addr.s_addr);
  return 0;
}

int net_address_type(const NetAddress* address) {
  if (address->current == nullptr) return kNetAddressName;
  return address->current->ai_family == AF_INET6 ? kNetAddressIpv6 : kNetAddressIpv4;
}

void net_address_bytes(const NetAddress* address, unsigned char* bytes) {
  if (address->current == nullptr) return;
  if (address->current->ai_family == AF_INET)
    std::memcpy(bytes, &reinterpret_cast<sockaddr_in*>(address->current->ai_addr)->sin_addr, 4);
  else
    std::memcpy(bytes, &reinterpret_cast<sockaddr_in6*>(address->current->ai_addr)->sin6_addr, 16);
}

void net_address_free(NetAddress* address) {
  if (address == nullptr) return;
  if (address->chain != nullptr) freeaddrinfo(address->chain);
  checked_free(address);
}

int net_service_port(const char* name) {
  servent* entry = getservbyname(name, nullptr);
  return entry != nullptr ? ntohs(static_cast<uint16_t>(entry->s_port)) : 0;
}

NetAddress* net_unix_address(const char* path) {
  NetAddress* address = address_new();
  if (path == nullptr || std::strlen(path) >= sizeof address->unix_path.sun_path) {
    address->error = "Unix socket path too long";
    return address;
  }
  address->unix_path.sun_family = AF_UNIX;
  std::strcpy(address->unix_path.sun_path, path);
  addrinfo& entry = address->unix_entry;
  entry.ai_family = AF_UNIX;
  entry.ai_socktype = SOCK_STREAM;
  entry.ai_addr = reinterpret_cast<sockaddr*>(&address->unix_path);
  entry.ai_addrlen = sizeof address->unix_path;
  address->current = &entry;
  address->family = AF_UNIX;
  return address;
}

bool net_address_sockaddr(const NetAddress* address, int port, sockaddr_storage* out, socklen_t* length) {
  if (address->current == nullptr) return false;
  std::memset(out, 0, sizeof *out);
  std::memcpy(out, address->current->ai_addr, address->current->ai_addrlen);
  *length = address->current->ai_addrlen;
  if (out->ss_family == AF_INET)
    reinterpret_cast<sockaddr_in*>(out)->sin_port = htons(static_cast<uint16_t>(port));
  else if (out->ss_family == AF_INET6)
    reinterpret_cast<sockaddr_in6*>(out)->sin6_port = htons(static_cast<uint16_t>(port));
  return true;
}

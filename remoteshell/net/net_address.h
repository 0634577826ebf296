#pragma once
// Resolved (or, for a proxy to resolve, unresolved) destination addresses.
#include <cstdint>

#include <netdb.h>
#include <sys/un.h>

struct NetAddress {
  const char* error;  // none on success
  int family;         // AF_INET, AF_INET6, AF_UNIX or AF_UNSPEC
  addrinfo* chain;    // the resolver's answer, owned
  addrinfo* current;
  char host_name[512];  // for an address the proxy resolves
  // A Unix-domain socket: current points at unix_entry, which points at unix_path.
  addrinfo unix_entry;
  sockaddr_un unix_path;
};

enum NetAddressType { kNetAddressIpv4 = 1, kNetAddressIpv6 = 2, kNetAddressName = 3 };

// family: 1 IPv4, 2 IPv6, anything else either. The canonical name is a new text
// (checked_free).
NetAddress* net_lookup_host(const char* host, char** canonical_name, int family);
NetAddress* net_unresolved_address(const char* host);
// Moves to the next address; 0 when none is left.
int net_next_address(NetAddress* address);
void net_address_text(const NetAddress* address, char* buffer, int size);
int net_is_localhost_name(const char* host);
int net_address_is_local(const NetAddress* address);
// A loopback address or one of this machine's IPv4 addresses (network byte order).
int net_ipv4_is_local(uint32_t address);
int net_address_type(const NetAddress* address);
// Copies the current address's 4 or 16 bytes.
void net_address_bytes(const NetAddress* address, unsigned char* bytes);
void net_address_free(NetAddress* address);
// Port of a service name; 0 when unknown.
int net_service_port(const char* name);
// A Unix-domain socket's path as an address to connect to (the port is unused); an error
// when the path does not fit.
NetAddress* net_unix_address(const char* path);

// The current address with its family and size, for connect and bind; false when none.
bool net_address_sockaddr(const NetAddress* address, int port, sockaddr_storage* out, socklen_t* length);

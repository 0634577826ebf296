#pragma once
// The proxy layer: every outgoing connection of the client may go through an HTTP CONNECT,
// SOCKS 4/4A, SOCKS 5 (user name and password or CHAP) or telnet-command proxy, chosen by the
// settings ("ProxyMethod" 0 none, 1 SOCKS 4, 2 SOCKS 5, 3 HTTP, 4 telnet). The owner uses the
// returned socket like a direct one; it is told "connected" once the proxy has connected it
// to the destination.
#include "remoteshell/core/session_config.h"
#include "remoteshell/net/network.h"

// Whether a connection to the host (and, when known, its address) goes through the proxy:
// unless "ProxyLocalhost" is set, localhost and loopback go direct; so does anything matching
// an entry of "ProxyExcludeList".
bool proxy_applies(const SessionConfig& config, const char* host, const NetAddress* address);

// The lookup of a destination: an unresolved address holding the name when the proxy is to
// resolve it ("ProxyDNS" 1 yes, or 2 automatic with a method other than SOCKS 4; 0 no), else
// an ordinary lookup. The canonical name is new text (checked_free).
NetAddress* proxy_lookup_host(const char* host, char** canonical_name, const SessionConfig& config);

// Connects to the destination, through the proxy when one applies. Takes the address. The
// socket's last_error carries a proxy error text or the underlying socket's error.
Socket* net_connect_via_proxy(NetAddress* address, const char* host, int port, int privileged_port, int oob_inline,
                              int no_delay, int keep_alive, const SocketOwner* owner, const SessionConfig& config);

#pragma once
// One ICMP echo ("ping") to an IPv4 host. Unprivileged processes use the kernel's ICMP datagram
// sockets (allowed by net.ipv4.ping_group_range); root falls back to a raw socket when those
// are not allowed.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class IcmpSocketKind { Automatic, Datagram, Raw };

// Sends one echo request carrying data to a dotted address or host name and waits up to the
// time-out for its reply. Returns the reply's data, or nullopt when no reply came, no socket
// could be had, or the name does not resolve (then nothing is sent).
std::optional<std::string> IcmpEcho(const std::string& address, std::string_view data,
                                    std::chrono::milliseconds timeout,
                                    IcmpSocketKind kind = IcmpSocketKind::Automatic);

}  // namespace platform

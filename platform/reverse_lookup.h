#pragma once
// Name look-ups both ways for IPv4 devices.
#include <optional>
#include <string>

namespace platform {

// The dotted IPv4 address of a dotted address or host name; nullopt when it does not resolve.
std::optional<std::string> ResolveIpv4(const std::string& addressOrName);

// The host name registered for a dotted IPv4 address; nullopt when the text is no dotted
// address or no name is found.
std::optional<std::string> ReverseLookup(const std::string& dottedAddress);

}  // namespace platform

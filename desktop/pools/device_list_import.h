#pragma once
// Reads a device list: one address or host name a line (anything after a TAB, CR, LF, ";", ","
// or space is a comment), each resolved by the system's resolver into its IPv4 addresses.
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mirvale {

// The IPv4 addresses of one line, in the resolver's order; none when it does not resolve.
std::vector<std::string> ResolveDeviceLine(const std::string& line);

// The new addresses of the file, each once and none of those present; nothing when the file
// cannot be opened.
std::optional<std::vector<std::string>> ReadDeviceList(const std::string& path, std::set<std::string> present);

// "1 device was added.", "3 devices were added." or "No new devices were added.".
std::string DevicesAddedMessage(long count);

}  // namespace mirvale

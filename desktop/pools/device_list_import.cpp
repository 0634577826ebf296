#include "desktop/pools/device_list_import.h"

#include <fstream>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace mirvale {

std::vector<std::string> ResolveDeviceLine(const std::string& line) {
  const std::string host = line.substr(0, line.find_first_of("\t\r\n;, "));
  std::vector<std::string> addresses;
  if (host.empty()) return addresses;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one answer per address, not one per socket type
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return addresses;
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) addresses.emplace_back(text);
  }
  freeaddrinfo(found);
  return addresses;
}

std::optional<std::vector<std::string>> ReadDeviceList(const std::string& path, std::set<std::string> present) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::vector<std::string> added;
  for (std::string line; std::getline(in, line);) {
    for (std::string& address : ResolveDeviceLine(line))
      if (!address.empty() && present.insert(address).second) added.push_back(std::move(address));
  }
  return added;
}

std::string DevicesAddedMessage(long count) {
  if (count <= 0) return "No new devices were added.";
  return std::to_string(count) + (count == 1 ? " device was added." : " devices were added.");
}

}  // namespace mirvale

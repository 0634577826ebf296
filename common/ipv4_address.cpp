#include "common/ipv4_address.h"

#include <arpa/inet.h>

namespace mirvale {

std::optional<uint32_t> ParseIpv4(std::string_view text) {
  std::string copy(text);
  in_addr parsed{};
  if (inet_pton(AF_INET, copy.c_str(), &parsed) != 1) return std::nullopt;
  return ntohl(parsed.s_addr);
}

uint32_t AddressToHostOrder(std::string_view text) { return ParseIpv4(text).value_or(0xFFFFFFFFu); }

std::string HostOrderToAddress(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

uint32_t MaskFromPrefixLength(long bits) {
  if (bits <= 0) return 0;
  if (bits >= 32) return 0xFFFFFFFFu;
  return ~((1u << (32 - bits)) - 1u);
}

}  // namespace mirvale

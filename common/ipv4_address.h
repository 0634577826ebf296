#pragma once
// IPv4 addresses as host-order numbers, the way pools, the prune and the action rules read them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirvale {

// The dotted address as a host-order number; nothing for any other text.
std::optional<uint32_t> ParseIpv4(std::string_view text);

// The dotted address as a host-order number; anything else (a host name, an empty text)
// gives 0xFFFFFFFF, the value of 255.255.255.255.
uint32_t AddressToHostOrder(std::string_view text);

std::string HostOrderToAddress(uint32_t address);

// The mask with the n highest bits set: none for n <= 0, all for n >= 32.
uint32_t MaskFromPrefixLength(long bits);

}  // namespace mirvale

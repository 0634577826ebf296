#pragma once
// IPv4 addresses as host-order numbers, and the ranges that actions and pools cover.
#include <cstdint>
#include <string>
#include <string_view>

namespace mirvale {

// The dotted address as a host-order number; anything else (a host name, an empty text)
// gives 0xFFFFFFFF, the value of 255.255.255.255.
uint32_t AddressToHostOrder(std::string_view text);

std::string HostOrderToAddress(uint32_t address);

// The mask with the n highest bits set: none for n <= 0, all for n >= 32.
uint32_t MaskFromPrefixLength(long bits);

// The prefix length of a decimal text as the action rules read it ("" and junk give 0).
long ParsePrefixLength(std::string_view text);

struct AddressRange {
  uint32_t first = 0;
  uint32_t last = 0;
  bool Contains(uint32_t address) const { return first <= address && address <= last; }
};

// From start to start with every bit outside the mask set; the start is not masked first.
AddressRange RangeFromStartAndMask(uint32_t start, uint32_t mask);

}  // namespace mirvale

#include "service/address_range.h"

#include <arpa/inet.h>
#include <charconv>
#include <climits>

namespace mirvale {

uint32_t AddressToHostOrder(std::string_view text) {
  std::string copy(text);
  in_addr parsed{};
  if (inet_pton(AF_INET, copy.c_str(), &parsed) != 1) return 0xFFFFFFFFu;
  return ntohl(parsed.s_addr);
}

std::string HostOrderToAddress(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

uint32_t MaskFromPrefixLength(long bits) {
  if (bits <= 0) return 0;
  if (bits >= 32) return 0xFFFFFFFFu;
  return ~((1u << (32 - bits)) - 1u);
}

long ParsePrefixLength(std::string_view text) {
  // Leading blanks and a sign are accepted, and reading stops at the first non-digit.
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 1000) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

AddressRange RangeFromStartAndMask(uint32_t start, uint32_t mask) { return {start, start | ~mask}; }

}  // namespace mirvale

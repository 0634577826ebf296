#include "service/pool_address_list.h"

#include <arpa/inet.h>
#include <optional>

#include "service/address_range.h"

namespace mirvale {

namespace {

constexpr const char* kSingleDeviceMask = "255.255.255.255";

std::optional<uint32_t> ParseDotted(const std::string& text) {
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return std::nullopt;
  return ntohl(parsed.s_addr);
}

// Number of host addresses of a network entry (0 for an unusable mask).
uint64_t HostCount(const CDeviceItem& item, uint32_t& network) {
  auto mask = ParseDotted(item.m_strMask);
  auto address = ParseDotted(item.m_strAddress);
  if (!mask || !address) return 0;
  // A network given with host bits set ("10.0.0.5/255.255.255.0") means the whole network.
  network = *address & *mask;
  int hostBits = 0;
  while (hostBits < 32 && ((*mask >> hostBits) & 1u) == 0) ++hostBits;
  uint64_t span = uint64_t{1} << hostBits;
  return span >= 2 ? span - 2 : 0;
}

}  // namespace

uint64_t CountPoolAddresses(const CPoolItem& pool) {
  uint64_t count = 0;
  for (const auto& [key, item] : pool.m_pDevices) {
    uint32_t network = 0;
    count += item->m_strMask == kSingleDeviceMask ? 1 : HostCount(*item, network);
  }
  return count;
}

void ForEachPoolAddress(const CPoolItem& pool, const std::function<bool(const std::string&)>& visit) {
  for (const auto& [key, item] : pool.m_pDevices) {
    if (item->m_strMask == kSingleDeviceMask) {
      if (!visit(item->m_strAddress)) return;
      continue;
    }
    uint32_t network = 0;
    uint64_t hosts = HostCount(*item, network);
    for (uint64_t i = 1; i <= hosts; ++i) {
      if (!visit(HostOrderToAddress(network | static_cast<uint32_t>(i)))) return;
    }
  }
}

}  // namespace mirvale

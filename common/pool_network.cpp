#include "common/pool_network.h"

#include <bit>

#include "common/ipv4_address.h"

namespace mirvale {

namespace {

constexpr std::string_view kSingleDeviceMask = "255.255.255.255";

bool OneRunFromTheTop(uint32_t mask) { return (~mask & (~mask + 1)) == 0; }

}  // namespace

bool IsContiguousMask(std::string_view mask) {
  auto number = ParseIpv4(mask);
  return number && OneRunFromTheTop(*number);
}

PoolNetwork PoolNetwork::FromEntry(std::string_view address, std::string_view mask) {
  PoolNetwork entry;
  if (mask == kSingleDeviceMask) {
    entry.single_ = true;
    entry.usable_ = true;
    entry.device_ = std::string(address);
    entry.network_ = AddressToHostOrder(address);
    entry.mask_ = 0xFFFFFFFFu;
    return entry;
  }
  auto maskNumber = ParseIpv4(mask);
  auto addressNumber = ParseIpv4(address);
  if (!maskNumber || !addressNumber) return entry;
  if (!OneRunFromTheTop(*maskNumber)) {
    entry.scattered_ = true;
    entry.mask_ = *maskNumber;
    entry.network_ = *addressNumber & *maskNumber;
    return entry;
  }
  entry.usable_ = true;
  entry.mask_ = *maskNumber;
  entry.hostBits_ = static_cast<uint32_t>(std::countr_zero(uint64_t{*maskNumber} | (uint64_t{1} << 32)));
  entry.network_ = *addressNumber & *maskNumber;
  return entry;
}

uint64_t PoolNetwork::HostCount() const {
  if (!usable_) return 0;
  if (single_) return 1;
  uint64_t span = uint64_t{1} << hostBits_;
  return span >= 2 ? span - 2 : 0;
}

std::string PoolNetwork::HostAddress(uint64_t index) const {
  if (single_) return device_;
  return HostOrderToAddress(network_ | static_cast<uint32_t>(index + 1));
}

bool PoolNetwork::Contains(std::string_view address) const { return Contains(AddressToHostOrder(address)); }

bool PoolNetwork::Contains(uint32_t address) const {
  if (!usable_) return false;
  if (single_) return address == network_;
  uint64_t hostMask = (uint64_t{1} << hostBits_) - 1;
  return (address & ~static_cast<uint32_t>(hostMask)) == network_;
}

}  // namespace mirvale

namespace mirvale {

bool PoolNetwork::MayCover(std::string_view address) const {
  if (!scattered_) return Contains(address);
  return (AddressToHostOrder(address) & mask_) == network_;
}

}  // namespace mirvale

#include "service/scanning/pool_address_list.h"

#include <vector>

#include "common/ipv4_address.h"
#include "common/pool_network.h"
#include "service/host/service_log.h"

namespace mirvale {

namespace {

std::vector<PoolNetwork> PoolEntries(const CPoolItem& pool) {
  std::vector<PoolNetwork> entries;
  for (const auto& [key, item] : pool.m_pDevices)
    entries.push_back(PoolNetwork::FromEntry(item->m_strAddress, item->m_strMask));
  return entries;
}

// Whether entry lists the address (as ForEachPoolAddress would give it).
bool Lists(const PoolNetwork& entry, const std::string& address) {
  if (entry.HostCount() == 0) return false;
  if (entry.IsSingleDevice()) return entry.HostAddress(0) == address;
  auto number = ParseIpv4(address);
  if (!number || !entry.Contains(*number)) return false;
  const uint32_t host = *number & ~entry.Mask();
  return host != 0 && host != ~entry.Mask();
}

// Whether the two entries' address ranges can share an address (device host names all compare
// as one number, so two of them are looked at address by address).
bool MayOverlap(const PoolNetwork& a, const PoolNetwork& b) {
  return (a.NetworkNumber() & b.Mask()) == b.NetworkNumber() || (b.NetworkNumber() & a.Mask()) == a.NetworkNumber();
}

// Visits entry `index`'s addresses that no earlier entry lists, until visit returns false.
template <typename Visit>
bool VisitNewAddresses(const std::vector<PoolNetwork>& entries, size_t index, Visit&& visit) {
  const PoolNetwork& entry = entries[index];
  std::vector<const PoolNetwork*> earlier;
  for (size_t j = 0; j < index; ++j)
    if (MayOverlap(entry, entries[j])) earlier.push_back(&entries[j]);
  for (uint64_t i = 0, hosts = entry.HostCount(); i < hosts; ++i) {
    const std::string address = entry.HostAddress(i);
    bool listed = false;
    for (const PoolNetwork* other : earlier) listed = listed || Lists(*other, address);
    if (!listed && !visit(address)) return false;
  }
  return true;
}

}  // namespace

uint64_t CountPoolAddresses(const CPoolItem& pool) {
  const std::vector<PoolNetwork> entries = PoolEntries(pool);
  uint64_t count = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    bool overlaps = false;
    for (size_t j = 0; j < i && !overlaps; ++j) overlaps = MayOverlap(entries[i], entries[j]);
    if (!overlaps) {
      count += entries[i].HostCount();
      continue;
    }
    VisitNewAddresses(entries, i, [&count](const std::string&) {
      ++count;
      return true;
    });
  }
  return count;
}

void ForEachPoolAddress(const CPoolItem& pool, const std::function<bool(const std::string&)>& visit) {
  const std::vector<PoolNetwork> entries = PoolEntries(pool);
  for (size_t i = 0; i < entries.size(); ++i)
    if (!VisitNewAddresses(entries, i, visit)) return;
}

void LogScatteredMasks(const std::string& poolName, const CPoolItem& pool, const std::string& doing) {
  for (const auto& [key, item] : pool.m_pDevices) {
    if (!PoolNetwork::FromEntry(item->m_strAddress, item->m_strMask).HasScatteredMask()) continue;
    LogServiceWarning("Pool " + poolName + ": the mask " + item->m_strMask + " of " + item->m_strAddress +
                      " is not one run of bits; the " + doing + " skips it");
  }
}

}  // namespace mirvale

#include "service/pool_address_list.h"

#include "common/pool_network.h"

namespace mirvale {

uint64_t CountPoolAddresses(const CPoolItem& pool) {
  uint64_t count = 0;
  for (const auto& [key, item] : pool.m_pDevices)
    count += PoolNetwork::FromEntry(item->m_strAddress, item->m_strMask).HostCount();
  return count;
}

void ForEachPoolAddress(const CPoolItem& pool, const std::function<bool(const std::string&)>& visit) {
  for (const auto& [key, item] : pool.m_pDevices) {
    PoolNetwork network = PoolNetwork::FromEntry(item->m_strAddress, item->m_strMask);
    for (uint64_t i = 0, hosts = network.HostCount(); i < hosts; ++i) {
      if (!visit(network.HostAddress(i))) return;
    }
  }
}

}  // namespace mirvale

#include "service/store/prune_database.h"

#include <vector>

#include "common/pool_network.h"

namespace mirvale {

namespace {

// Earlier versions stored the values of a pool that collects everything under the identifier
// of the walk's root, "1"; such a pool keeps them until its next scan stores them anew.
constexpr std::string_view kOldCollectAllOid = "1";

bool QueryStillWanted(const CPoolItem& pool, const std::string& queryOid) {
  if (queryOid.empty() || pool.m_pQueries.Contains(queryOid)) return true;
  return pool.m_bAllQueries && queryOid == kOldCollectAllOid;
}

}  // namespace

bool PoolCoversAddress(const CPoolItem& pool, const std::string& address) {
  for (const auto& [key, device] : pool.m_pDevices) {
    if (PoolNetwork::FromEntry(device->m_strAddress, device->m_strMask).MayCover(address)) return true;
  }
  return false;
}

void PruneRecords(DeviceDatabaseMap& devices, ScanDatabaseMap& scans, const CMirvaleDoc& settings) {
  std::vector<std::string> doomed;
  for (auto& [key, device] : devices) {
    const CPoolItem* pool = settings.m_mapPools.Find(device->m_strPool);
    if (!pool) {
      doomed.push_back(key);
      continue;
    }
    std::vector<std::string> removedValues;
    for (const auto& [valueKey, value] : device->m_pQueries) {
      if (!QueryStillWanted(*pool, value->m_strQueryOid)) removedValues.push_back(valueKey);
    }
    for (const auto& valueKey : removedValues) device->m_pQueries.Remove(valueKey);
    if (!PoolCoversAddress(*pool, device->m_strAddress)) doomed.push_back(key);
  }
  for (const auto& key : doomed) devices.Remove(key);

  doomed.clear();
  for (const auto& [key, line] : scans) {
    const CPoolItem* pool = settings.m_mapPools.Find(line->m_strPool);
    if (!pool || !PoolCoversAddress(*pool, line->m_strAddress)) doomed.push_back(key);
  }
  for (const auto& key : doomed) scans.Remove(key);
}

}  // namespace mirvale

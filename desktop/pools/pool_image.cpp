#include "desktop/pools/pool_image.h"

#include <set>

#include "common/desktop_database_store.h"
#include "common/pool_network.h"
#include "desktop/pools/small_dialog_rules.h"

namespace mirvale {

PoolImage PoolImage::FromPool(const CPoolItem& pool) {
  PoolImage image;
  image.settings = pool;
  image.devices = std::move(image.settings.m_pDevices);
  image.queries = std::move(image.settings.m_pQueries);
  image.settings.m_pDevices.clear();
  image.settings.m_pQueries.clear();
  return image;
}

bool PoolImage::HasProtocol() const { return settings.IsShellPool() || settings.IsSnmpPool(); }

ProtocolChoice ChoiceOfPool(const CPoolItem& pool) {
  ProtocolChoice choice = ProtocolChoice::Shell;
  if (pool.m_bSnmpV1) choice = ProtocolChoice::SnmpV1;
  if (pool.m_bSnmpV3) choice = ProtocolChoice::SnmpV3;
  return choice;
}

std::optional<std::string> NameEditRule(const std::string& text) {
  if (text.size() == 9 && text.compare(1, std::string::npos, kNewPoolName) == 0) return text.substr(0, 1);
  return std::nullopt;
}

std::optional<std::string> RefusePool(const std::string& name, bool isNew, bool nameExists, const PoolImage& image,
                                      ProtocolChoice choice) {
  if (name.empty() || name == kNewPoolName) return "Invalid pool name, please try again.";
  if (isNew && nameExists) return "Pool name already exists, please try again.";
  if (!image.HasProtocol()) return "Invalid protocol parameters, please try again.";
  if (image.devices.empty()) return "Invalid devices list, please try again.";
  for (const auto& [key, device] : image.devices) {
    if (PoolNetwork::FromEntry(device->m_strAddress, device->m_strMask).HasScatteredMask()) return kMaskNotOneRun;
  }
  if (choice != ProtocolChoice::Shell && !image.settings.m_bAllQueries && image.queries.empty())
    return "Invalid queries list, please try again.";
  return std::nullopt;
}

void StorePoolImage(const PoolImage& image, CPoolItem& pool) {
  RecordMap<CQueryItem> queries = image.queries;
  RecordMap<CDeviceItem> devices = image.devices;
  pool = image.settings;
  pool.m_pQueries = std::move(queries);
  pool.m_pDevices = std::move(devices);
}

bool PrunePool(DesktopDatabaseStore& store, const std::string& poolName, const CPoolItem& pool) {
  std::vector<PoolNetwork> networks;
  for (const auto& [key, device] : pool.m_pDevices)
    networks.push_back(PoolNetwork::FromEntry(device->m_strAddress, device->m_strMask));
  DeviceDatabaseMap copy;
  store.CopyDatabaseMap(copy);
  bool changed = false;
  for (const auto& [key, device] : copy) {
    if (device->m_strPool != poolName) continue;
    for (const auto& [queryKey, value] : device->m_pQueries) {
      if (!value->m_strQueryOid.empty() && !pool.m_pQueries.Contains(value->m_strQueryOid))
        changed = store.RemoveDbQuery(key, queryKey) || changed;
    }
    bool covered = false;
    for (const PoolNetwork& network : networks) covered = covered || network.MayCover(device->m_strAddress);
    if (!covered) changed = store.RemoveDbItem(key) || changed;
  }
  return changed;
}

std::vector<CQueryItem> CollectedQueries(const DeviceDatabaseMap& devices, const std::string& poolName,
                                         const RecordMap<CQueryItem>& present) {
  std::vector<CQueryItem> found;
  std::set<std::string> seen;
  for (const auto& [key, device] : devices) {
    if (device->m_strPool != poolName) continue;
    for (const auto& [queryKey, value] : device->m_pQueries) {
      const std::string& oid = value->m_strQueryOid;
      if (oid.empty() || present.Contains(oid) || !seen.insert(oid).second) continue;
      found.push_back(CQueryItem{oid, value->m_strName.substr(0, value->m_strName.find('.')), ""});
    }
  }
  return found;
}

}  // namespace mirvale

#pragma once
// What the Pool Properties dialog edits: a private image of one pool (its numbers and strings,
// its networks and queries) that reaches the settings document only when OK passes the checks,
// and what OK then does to the settings and the desktop program's device database.
#include <optional>
#include <string>
#include <vector>

#include "common/database_files.h"
#include "common/pool_records.h"

namespace mirvale {

class DesktopDatabaseStore;

inline constexpr char kNewPoolName[] = "New Pool";

enum class ProtocolChoice { Shell, SnmpV1, SnmpV3 };

struct PoolImage {
  CPoolItem settings;  // numbers and strings; its two maps stay empty
  RecordMap<CDeviceItem> devices;
  RecordMap<CQueryItem> queries;

  // A copy of the pool's numbers, strings and both maps.
  static PoolImage FromPool(const CPoolItem& pool);
  bool HasProtocol() const;
};

// The protocol radio that matches a pool's flags (later flags win, as the dialog checks them).
ProtocolChoice ChoiceOfPool(const CPoolItem& pool);

// A character typed in front of "New Pool" replaces it: the new text, or nothing to change.
std::optional<std::string> NameEditRule(const std::string& text);

// The checks of OK, in order; the refusal text, or nothing when the pool may be stored.
// existingPoolNames: the keys of the settings' pool map; isNew: opened without a preset name.
std::optional<std::string> RefusePool(const std::string& name, bool isNew, bool nameExists, const PoolImage& image,
                                      ProtocolChoice choice);

// Writes the image into the pool (numbers, strings, collect-all flag, both maps replaced).
void StorePoolImage(const PoolImage& image, CPoolItem& pool);

// Removes from the store what the stored pool no longer covers: query values whose identifier
// left the pool's query map, and devices outside every network of the pool. True when
// anything was removed (the service must then prune too).
bool PrunePool(DesktopDatabaseStore& store, const std::string& poolName, const CPoolItem& pool);

// The queries already collected for the pool's devices (collect-specific switch): one per
// identifier not yet in the image, named by the value's name cut before its first ".".
std::vector<CQueryItem> CollectedQueries(const DeviceDatabaseMap& devices, const std::string& poolName,
                                         const RecordMap<CQueryItem>& present);

}  // namespace mirvale

#pragma once
// Which stored records the settings still account for: a device or scan line stays while its
// pool exists and its address lies in one of the pool's networks or devices (PoolNetwork, the
// same reading the scan lists its addresses by); a
// stored value with a query object identifier stays while the pool still has that query, and
// values with no identifier (shell lines, values of a pool that collects everything) stay.
#include <string>

#include "common/database_files.h"
#include "common/mirvale_doc.h"

namespace mirvale {

// Whether the address (dotted, or a host name) lies in one of the pool's networks or devices. Host names
// compare as 255.255.255.255, so a pool that lists any device by name keeps every named record.
bool PoolCoversAddress(const CPoolItem& pool, const std::string& address);

void PruneRecords(DeviceDatabaseMap& devices, ScanDatabaseMap& scans, const CMirvaleDoc& settings);

}  // namespace mirvale

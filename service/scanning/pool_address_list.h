#pragma once
// A pool's addresses in scan order, produced one at a time: for each network or device of the
// pool, in the map's order, a device (mask "255.255.255.255") gives its address text as it
// stands (it may be a host name), a network gives every address between its network number and
// its broadcast address, both excluded (see PoolNetwork). An address that an earlier entry
// already gave is given once only (a device inside a network of the same pool is scanned once).
// Big networks are never held in memory as a list.
#include <cstdint>
#include <functional>
#include <string>

#include "common/pool_records.h"

namespace mirvale {

// How many distinct addresses the pool expands to.
uint64_t CountPoolAddresses(const CPoolItem& pool);

// Calls visit for each address in order until it returns false.
void ForEachPoolAddress(const CPoolItem& pool, const std::function<bool(const std::string&)>& visit);

// Logs each network of the pool whose mask's one-bits are not one run: scans list none of its
// addresses and prunes keep every address it might cover. doing: "scan" or "prune".
void LogScatteredMasks(const std::string& poolName, const CPoolItem& pool, const std::string& doing);

}  // namespace mirvale

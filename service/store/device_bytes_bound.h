#pragma once
// The bytes one device may keep in Mirvale.db, over all its scans: a device whose identifiers
// keep changing (an agent that grows, or one that answers for ever) would otherwise add its
// walk's worth of values at every scan, as values it no longer returns are kept.
#include <cstddef>
#include <string>

#include "common/device_records.h"

namespace mirvale {

// Twice a scan's walk bound: room for every value of the last scan beside its previous value.
inline constexpr size_t kMaxStoredBytesPerDevice = 32u << 20;

// The texts the device's record keeps.
size_t StoredBytes(const CDbItem& device);

struct DeviceTrim {
  size_t staleValues = 0;     // values the last scan did not return, dropped
  size_t previousValues = 0;  // previous values of the last scan's values, dropped
  bool Any() const { return staleValues != 0 || previousValues != 0; }
};

// Brings a device over the bound under it: first the values that the scan at scanTime did not
// return, oldest first, then the previous values of the others, in key order.
DeviceTrim KeepWithinBound(CDbItem& device, const std::string& scanTime, size_t bound = kMaxStoredBytesPerDevice);

}  // namespace mirvale

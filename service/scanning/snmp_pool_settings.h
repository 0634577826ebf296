#pragma once
// A pool's SNMP settings as the client takes them.
#include "common/pool_records.h"
#include "service/scanning/snmp_settings.h"

namespace mirvale {

SnmpSettings SnmpSettingsFromPool(const CPoolItem& pool);

}  // namespace mirvale

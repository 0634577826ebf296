#pragma once
// All nine record classes and the archive that stores them.
#include "common/archive_reader.h"
#include "common/archive_writer.h"
#include "common/device_records.h"
#include "common/pool_records.h"
#include "common/record_map.h"
#include "common/settings_records.h"

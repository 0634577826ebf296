#pragma once
// A shell device's configuration lives in its device record as values keyed "1", "2", … in the
// order the device printed them; the first missing number ends it. Both programs read and write
// the lines through these functions only.
#include <cstddef>
#include <string>
#include <vector>

#include "common/device_records.h"

namespace mirvale {

// The key of the line at position (0 for the first line).
std::string ConfigurationLineKey(size_t position);

// The device's lines, in order, up to the first gap in the numbering.
std::vector<const CDbQuery*> ConfigurationLines(const CDbItem& device);

// A line belongs to the device's last scan when it holds a value stored at that scan's time.
bool IsCurrentLine(const CDbQuery& line, const CDbItem& device);

}  // namespace mirvale

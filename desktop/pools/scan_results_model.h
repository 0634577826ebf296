#pragma once
// What the Scan Results dialog shows of one device's stored record: for an SNMP pool one row
// per stored value (current and previous), for a shell pool the configuration of the last scan
// beside the one before it.
#include <string>
#include <vector>

#include "common/device_records.h"

namespace mirvale {

struct QueryResultRow {
  std::string label;  // the value's name, or its key when it has none
  std::string key;    // the value's key in the device record
  std::string value, time, prevValue, prevTime;
};

QueryResultRow QueryResultRowOf(const std::string& key, const CDbQuery& value);
std::vector<QueryResultRow> QueryResultRows(const CDbItem& device);

struct ConfigurationPanes {
  std::vector<std::string> current;   // the lines of the last scan
  std::vector<std::string> previous;  // line by line the earlier value where one exists
  std::string currentTime;            // the scan time (seconds), empty when current is empty
  std::string previousTime;           // the earlier scan's time, empty when there is none
};

// The lines are the values keyed "1", "2", ... up to the first missing number.
ConfigurationPanes ConfigurationOf(const CDbItem& device);

// Whether a status text means the scan reached the device ("Finished ...").
bool ScanReachedDevice(const std::string& status);

}  // namespace mirvale

#pragma once
// One exported value: the device database flattened into the rows that the text and database
// exports write. Rows are copied while the caller holds the data-store lock and written after
// it is released, so a slow disk or database never holds up the scans.
#include <string>
#include <vector>

#include "common/database_files.h"

namespace mirvale {

struct ExportValueRow {
  std::string address;      // device's m_strAddress
  std::string deviceName;   // device's m_strName
  std::string pool;         // device's m_strPool
  std::string queryName;    // value's m_strName; empty for a shell line
  std::string key;          // value's m_strKey: returned object identifier or line number
  std::string value;
  std::string time;         // decimal seconds
  std::string prevValue;
  std::string prevTime;     // decimal seconds; empty when the value never changed
};

// Every value of every device, in the maps' order. Call it under the data-store lock.
std::vector<ExportValueRow> CollectExportRows(const DeviceDatabaseMap& database);

// A stored time (decimal seconds) as the exports show it; empty stays empty.
std::string ExportDateText(const std::string& decimalSeconds);

}  // namespace mirvale

#include "desktop/results/result_rows.h"

#include "common/device_records.h"
#include "desktop/results/result_logic.h"

namespace mirvale {

ValueRow ValueRowOf(const CDbQuery& result) {
  ValueRow row{.query = result.m_strName.empty() ? result.m_strKey : result.m_strName, .key = result.m_strKey};
  RefreshValues(row, result);
  return row;
}

void RefreshValues(ValueRow& row, const CDbQuery& result) {
  row.value = result.m_strValue;
  row.time = result.m_strTime;
  row.prevValue = result.m_strPrevValue;
  row.prevTime = result.m_strPrevTime;
}

std::vector<std::string> ValueCells(const ValueRow& row) {
  return {row.query, row.value, FormatStoredTime(row.time), row.prevValue, FormatStoredTime(row.prevTime)};
}

StoredValueRows::Row ShownValue(const ValueRow& row) {
  return {row.query, row.value, FormatStoredTime(row.time), row.key};
}

int CompareValueRows(const ValueRow& a, const ValueRow& b, int column) {
  switch (column) {
    case 0: return CompareNatural(a.query, b.query);
    case 1: return CompareNatural(a.value, b.value);
    case 2: return CompareStoredTimes(a.time, b.time);
    case 3: return CompareNatural(a.prevValue, b.prevValue);
    case 4: return CompareStoredTimes(a.prevTime, b.prevTime);
    default: return 0;
  }
}

std::vector<std::string> SetRowCells(const SetRow& row, bool shell) {
  std::vector<std::string> cells{row.address, row.name};
  if (shell) {
    cells.insert(cells.end(), {row.command, FormatStoredTime(row.commandTime)});
  } else {
    const std::vector<std::string> result = ValueCells(row.result);
    cells.insert(cells.end(), result.begin(), result.end());
  }
  return cells;
}

int CompareSetRows(const SetRow& a, const SetRow& b, int column, bool shell) {
  switch (column) {
    case 0: return CompareAddresses(a.address, b.address);
    case 1: return CompareNatural(a.name, b.name);
    default: break;
  }
  if (!shell) return CompareValueRows(a.result, b.result, column - 2);
  return column == 3 ? CompareStoredTimes(a.commandTime, b.commandTime) : CompareNatural(a.command, b.command);
}

}  // namespace mirvale

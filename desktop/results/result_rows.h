#pragma once
// The rows the results dialogs keep, one value per row in the order their lists show them: the
// lists are filled from these and never read back.
#include <string>
#include <vector>

#include "desktop/shell/detail_page_openers.h"

namespace mirvale {

struct CDbQuery;

// One stored SNMP result, shown as Query, Value, Date, Prev Value, Prev Date (a list with fewer
// columns shows the first of them). Every field starts empty, so a row names only what it has.
struct ValueRow {
  std::string query{};  // the result's name, else its key
  std::string value{};
  std::string time{};  // stored seconds behind Date
  std::string prevValue{};
  std::string prevTime{};  // stored seconds behind Prev Date
  std::string key{};       // the result's key in the device record
};
ValueRow ValueRowOf(const CDbQuery& result);
// After a set: the stored values and times; the row keeps its label.
void RefreshValues(ValueRow& row, const CDbQuery& result);
std::vector<std::string> ValueCells(const ValueRow& row);
// The row as the Query page reads it.
StoredValueRows::Row ShownValue(const ValueRow& row);
// Date and Prev Date (columns 2 and 4) by stored time, the other columns by their texts.
int CompareValueRows(const ValueRow& a, const ValueRow& b, int column);

// A Set Devices row: one device of the pool and what it holds of the pick (nothing, until a pick
// finds it on the device).
struct SetRow {
  std::string address{}, name{};
  std::string command{};      // shell pool: the picked line's path as the device holds it
  std::string commandTime{};  // shell pool: its stored seconds
  ValueRow result{};          // SNMP pool: the picked result
};
// Device and Name, then Command and Date (shell pool) or the result's columns (SNMP pool).
std::vector<std::string> SetRowCells(const SetRow& row, bool shell);
// Devices by address, dates by stored time, the other columns by their texts.
int CompareSetRows(const SetRow& a, const SetRow& b, int column, bool shell);

}  // namespace mirvale

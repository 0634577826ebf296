// The rows the results dialogs keep: what a stored result fills in, and the column orders.
#include "desktop/results/result_rows.h"

#include <gtest/gtest.h>

#include "common/device_records.h"

namespace mirvale {
namespace {

TEST(ResultRows, ValueRowsLabelByNameElseKeyAndKeepTheLabelWhenRefreshed) {
  ValueRow row = ValueRowOf(CDbQuery{"", "1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5.0", "r1", "100", "", ""});
  EXPECT_EQ(row.query, "1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(row.key, "1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(ValueCells(row)[4], "") << "a value never changed has no previous date";
  row.query = "sysName";
  RefreshValues(row, CDbQuery{"other", "1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5.0", "r2", "200", "r1", "100"});
  EXPECT_EQ(row.query, "sysName");
  EXPECT_EQ(row.value, "r2");
  EXPECT_EQ(row.prevValue, "r1");
  EXPECT_EQ(row.prevTime, "100");
}

TEST(ResultRows, DatesSortByStoredTimeDevicesByAddressAndSetColumnsFollowThePoolKind) {
  // 2 January 1970 before 1 February 1970, whatever their texts.
  const ValueRow january{.query = "b", .value = "9", .time = "86400", .prevTime = "2678400"};
  const ValueRow february{.query = "a", .value = "10", .time = "2678400", .prevTime = ""};
  EXPECT_LT(CompareValueRows(january, february, 2), 0);
  EXPECT_GT(CompareValueRows(january, february, 4), 0) << "no previous time is the earliest";
  EXPECT_GT(CompareValueRows(january, february, 0), 0);
  EXPECT_LT(CompareValueRows(january, february, 1), 0) << "values as numbers";

  const SetRow near{.address = "10.0.0.9", .name = "z", .command = "b", .commandTime = "2678400", .result = january};
  const SetRow far{.address = "10.0.0.10", .name = "a", .command = "a", .commandTime = "86400", .result = february};
  EXPECT_LT(CompareSetRows(near, far, 0, true), 0);
  EXPECT_GT(CompareSetRows(near, far, 1, false), 0);
  EXPECT_GT(CompareSetRows(near, far, 3, true), 0) << "shell Date: the line's time";
  EXPECT_GT(CompareSetRows(near, far, 2, true), 0);
  EXPECT_LT(CompareSetRows(near, far, 4, false), 0) << "SNMP Date: the result's time";
  EXPECT_GT(CompareSetRows(near, far, 6, false), 0);
  EXPECT_EQ(SetRowCells(near, true).size(), 4u);
  const std::vector<std::string> snmp = SetRowCells(near, false);
  ASSERT_EQ(snmp.size(), 7u);
  EXPECT_EQ(snmp[2], "b");
  EXPECT_EQ(snmp[3], "9");
}

}  // namespace
}  // namespace mirvale

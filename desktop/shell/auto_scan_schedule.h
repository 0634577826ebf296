#pragma once
// The automatic-scan list's texts and the records behind them: "Daily" or a long day name of
// the system locale (Monday = 1 to Sunday = 7, the numbering the service uses too) and the hour
// as "07:00".
#include <QString>
#include <QStringList>
#include <optional>

#include "common/settings_records.h"

namespace mirvale {

struct AutoScanRow {
  QString pool;
  QString frequency;  // "Daily" or a day name
  QString time;       // "HH:00"
  bool enabled = false;
  bool operator==(const AutoScanRow&) const = default;
};

// "Daily" followed by the seven long day names, Monday first.
QStringList FrequencyTexts();
// "00:00" to "23:00".
QStringList TimeTexts();

QString FrequencyText(uint32_t day);
// 0 for "Daily", 1 to 7 for a day name; none for any other text.
std::optional<uint32_t> DayOfFrequency(const QString& text);
QString TimeText(uint32_t hour);
// The number before the ":".
uint32_t HourOfTime(const QString& text);

AutoScanRow RowOfAutoScan(const CAutoScanItem& item);
CAutoScanItem AutoScanOfRow(const AutoScanRow& row);

}  // namespace mirvale

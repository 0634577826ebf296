#include "desktop/shell/auto_scan_schedule.h"

#include <QLocale>

namespace mirvale {

QStringList FrequencyTexts() {
  QStringList texts{QStringLiteral("Daily")};
  for (int day = 1; day <= 7; ++day) texts << QLocale::system().dayName(day, QLocale::LongFormat);
  return texts;
}

QStringList TimeTexts() {
  QStringList texts;
  for (uint32_t hour = 0; hour < 24; ++hour) texts << TimeText(hour);
  return texts;
}

QString FrequencyText(uint32_t day) {
  if (day >= 1 && day <= 7) return QLocale::system().dayName(static_cast<int>(day), QLocale::LongFormat);
  return QStringLiteral("Daily");
}

std::optional<uint32_t> DayOfFrequency(const QString& text) {
  const QStringList texts = FrequencyTexts();
  qsizetype index = texts.indexOf(text);
  if (index < 0) return std::nullopt;
  return static_cast<uint32_t>(index);
}

QString TimeText(uint32_t hour) { return QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')); }

uint32_t HourOfTime(const QString& text) { return text.section(QLatin1Char(':'), 0, 0).toUInt(); }

AutoScanRow RowOfAutoScan(const CAutoScanItem& item) {
  return AutoScanRow{QString::fromStdString(item.m_strPool), FrequencyText(item.m_nDay), TimeText(item.m_nHour),
                     item.m_bEnabled != 0};
}

CAutoScanItem AutoScanOfRow(const AutoScanRow& row) {
  CAutoScanItem item;
  item.m_strPool = row.pool.toStdString();
  item.m_nDay = DayOfFrequency(row.frequency).value_or(0);
  item.m_nHour = HourOfTime(row.time);
  item.m_bEnabled = row.enabled ? 1 : 0;
  return item;
}

}  // namespace mirvale

#pragma once
// A row of the Scan pane's result list: Device IP, Device Name, Last Scan, Last Status. It
// sorts by the list's sort column: addresses as numbers, the scan time as a point in time (its
// seconds are kept beside the shown text), names and statuses without regard to case.
#include <QTreeWidgetItem>

namespace mirvale {

class ScanListItem : public QTreeWidgetItem {
 public:
  enum Column { kAddress = 0, kName = 1, kLastScan = 2, kStatus = 3 };
  static constexpr int kSecondsRole = Qt::UserRole + 1;
  static constexpr int kNumberRole = Qt::UserRole + 2;  // the address as a host-order number

  using QTreeWidgetItem::QTreeWidgetItem;
  void SetAddress(const QString& address);
  // Writes a cell only when its text differs.
  void SetCell(int column, const QString& text);
  void SetScanTime(const std::string& seconds);

  bool operator<(const QTreeWidgetItem& other) const override;
};

}  // namespace mirvale

#include "desktop/pools/scan_list_item.h"

#include "common/ipv4_address.h"
#include "desktop/pools/pool_sorting.h"
#include "desktop/pools/scan_pane_rules.h"

namespace mirvale {

void ScanListItem::SetAddress(const QString& address) {
  setText(kAddress, address);
  setData(kAddress, kNumberRole, AddressToHostOrder(address.toStdString()));
}

void ScanListItem::SetCell(int column, const QString& text) {
  if (this->text(column) != text) setText(column, text);
}

void ScanListItem::SetScanTime(const std::string& seconds) {
  const qlonglong value = QString::fromStdString(seconds).toLongLong();
  if (data(kLastScan, kSecondsRole).toLongLong() != value || text(kLastScan).isEmpty()) {
    setData(kLastScan, kSecondsRole, value);
    SetCell(kLastScan, FormatScanTime(seconds));
  }
}

bool ScanListItem::operator<(const QTreeWidgetItem& other) const {
  const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
  switch (column) {
    case kAddress: return data(kAddress, kNumberRole).toUInt() < other.data(kAddress, kNumberRole).toUInt();
    case kLastScan:
      return data(kLastScan, kSecondsRole).toLongLong() < other.data(kLastScan, kSecondsRole).toLongLong();
    default: return CompareCaseInsensitive(text(column).toStdString(), other.text(column).toStdString()) < 0;
  }
}

}  // namespace mirvale

#pragma once
// CConfigurationCompareDevices: the Compare Devices dialog. The stored results of two devices of
// one pool side by side (configuration lines of a shell pool, query results of an SNMP pool);
// each side's "Mark Changes" marks what the other side lacks or holds differently, and a row
// opens its Compare page, from which a line or value can be set on that device.
#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "desktop/results/result_rows.h"

class QComboBox;
class QLabel;

namespace mirvale {

class CColorListCtrl;
class CMirvaleApp;
class LinkLabel;
struct CPoolItem;

class CConfigurationCompareDevices : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationCompareDevices(CMirvaleApp& app, QWidget* parent = nullptr);

  // side 0 is the first (left) device, side 1 the second.
  void OnSelendokPool();
  void OnSelendokDevice(int side);
  void OnMarkChanges(int side);
  void OnClickResults(int side, int row);
  void SortBy(int side, int column);

  QComboBox& PoolCombo() { return *pool_; }
  QComboBox& DeviceCombo(int side);
  CColorListCtrl& List(int side);
  LinkLabel& MarkLink(int side);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class CompareCommandSource;
  struct Side {
    QComboBox* device = nullptr;
    CColorListCtrl* list = nullptr;
    LinkLabel* mark = nullptr;
    QLabel* count = nullptr;
    std::vector<std::string> lines;  // shell pool: the list's rows, the current configuration
    std::string date;                // shell pool: the date in the list's heading
    std::vector<ValueRow> values;    // SNMP pool: the list's rows
    void ClearRows();                // empties the list and the rows behind it
  };
  const CPoolItem* Pool() const;
  void FillSide(Side& side);
  void ClearMarks();

  CMirvaleApp& app_;
  QComboBox* pool_;
  std::array<Side, 2> sides_;
  bool shell_ = true;
  int sortColumn_ = 0;
  bool ascending_ = true;
};

}  // namespace mirvale

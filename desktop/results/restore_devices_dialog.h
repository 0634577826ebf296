#pragma once
// CConfigurationRestoreDevices: the Restore Devices dialog. For a shell pool the chosen device's
// current and previous configurations side by side, the changed lines ticked by Select Changes;
// for an SNMP pool its results with their previous values. Restore Changes sends the ticked
// lines or previous values back through the set and restore job.
#include <QDialog>
#include <string>
#include <vector>

#include "desktop/results/result_logic.h"
#include "desktop/results/result_rows.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace mirvale {

class CColorListCtrl;
class CFlatSplitterWnd;
class CMirvaleApp;
class CConfigurationRestoreView;
class LinkLabel;

class CConfigurationRestoreDevices : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationRestoreDevices(CMirvaleApp& app, QWidget* parent = nullptr);

  void OnSelchangePool();
  void OnSelchangeDevice();
  void OnSelectChanges();
  void OnRestoreChanges();
  void OnClickResults(int row);
  void OnClickConfiguration(CConfigurationRestoreView& view, int row);
  void SortBy(int column);

  QComboBox& PoolCombo() { return *pool_; }
  QComboBox& DeviceCombo() { return *device_; }
  CColorListCtrl& List() { return *list_; }
  CConfigurationRestoreView& CurrentView() { return *current_; }
  CConfigurationRestoreView& PreviousView() { return *previous_; }
  QPushButton& RestoreButton() { return *restore_; }
  LinkLabel& SelectLink() { return *link_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class RestoreViewRows;
  const CPoolItem* Pool() const;
  void FillSnmpList();
  void FillViews();
  void UpdateRestoreButton();

  CMirvaleApp& app_;
  QComboBox *pool_, *device_;
  LinkLabel* link_;
  QLabel* count_;
  CColorListCtrl* list_;
  CFlatSplitterWnd* splitter_;
  CConfigurationRestoreView *current_, *previous_;
  QPushButton* restore_;
  std::vector<ValueRow> rows_;  // the SNMP list's rows
  int sortColumn_ = 0;
  bool ascending_ = true;
};

}  // namespace mirvale

#pragma once
// CConfigurationSetDevices: the Set Devices dialog. One configuration line (shell pool) or one SNMP
// value (SNMP pool), picked from the merged results of the pool's devices in a pop-up tree, is set
// on every ticked device through the set and restore job.
#include <QDialog>
#include <map>
#include <string>
#include <vector>

#include "desktop/results/result_rows.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace mirvale {

class CColorListCtrl;
class CMirvaleApp;
class DropDownCombo;
class LinkLabel;
struct CPoolItem;

class CConfigurationSetDevices : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationSetDevices(CMirvaleApp& app, QWidget* parent = nullptr);

  void OnSelendokPool();
  void OnDropdownCommand();  // opens the picker
  void Pick(QTreeWidgetItem* item);
  void OnSelectAll();
  void OnSetChanges();
  void OnClickResults(int row);
  void SortBy(int column);
  void UpdateSetButton();

  QComboBox& PoolCombo() { return *pool_; }
  QComboBox& CommandCombo();
  QLineEdit& ValueEdit() { return *value_; }
  CColorListCtrl& List() { return *list_; }
  QTreeWidget& Picker() { return *picker_; }
  QPushButton& SetButton() { return *set_; }
  const std::string& Picked() const { return m_strPicked; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class ChangeCommandSource;
  friend class ChangeQuerySource;
  const CPoolItem* Pool() const;
  void FillShellPicker();
  void FillSnmpPicker();
  std::string PickedOid() const;
  void ShowRow(int row);  // the list shows rows_[row] in its row

  CMirvaleApp& app_;
  QComboBox* pool_;
  DropDownCombo* command_;
  QLineEdit* value_;
  LinkLabel* selectAll_;
  QLabel* count_;
  CColorListCtrl* list_;
  std::vector<SetRow> rows_;  // the list's rows
  QTreeWidget* picker_;
  QPushButton* set_;
  bool shell_ = true;
  std::string m_strPicked;
  std::map<std::string, std::string> m_mapResultOids;  // picker label -> result key
  std::map<std::string, std::string> m_mapQueryOids;   // picker label -> query identifier
  int sortColumn_ = 0;
  bool ascending_ = true;
};

}  // namespace mirvale

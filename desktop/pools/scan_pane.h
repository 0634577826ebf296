#pragma once
// CConfigurationScanPane: pools and manual scans. The administrator picks a pool, edits, adds
// or deletes pools through the Scan Pool button's menu, starts and stops a scan of the chosen
// pool and watches it run (the ScanFollower posts what the scan database holds), reads the last
// results of the pool's devices, searches and exports the list and opens one device's Scan
// Results. The Home pane sets the one-shot status filter before it shows this pane.
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "desktop/shell/pane_registry.h"
#include "desktop/shell/scan_status_filter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidgetItem;

namespace mirvale {

class CColorListCtrl;
class ScanFollower;
class ScanListItem;
class ScanPoolButton;
struct ScanSnapshot;

// What one row of the result list shows.
struct ShownRow {
  QString address, name;
  std::string scanTime;  // decimal seconds since 1970
  QString status;
};

class CConfigurationScanPane : public QWidget, public ScanStatusFilter {
  Q_OBJECT
 public:
  CConfigurationScanPane(const PaneContext& context, QWidget* parent = nullptr);
  ~CConfigurationScanPane() override;

  int StatusFilter() const { return m_nStatusFilter; }
  void SetStatusFilter(int filter) override { m_nStatusFilter = filter; }
  bool Busy() const { return busy_; }

  // The controls, for the main view's tests and screenshots.
  QComboBox& PoolCombo() const { return *poolCombo_; }
  ScanPoolButton& ScanButton() const { return *scanButton_; }
  QPushButton& StopButton() const { return *stopButton_; }
  QProgressBar& Progress() const { return *progress_; }
  QLabel& CounterLabel() const { return *counter_; }
  QLabel& StopLabel() const { return *stopLabel_; }
  CColorListCtrl& List() const { return *list_; }
  QLineEdit& SearchEdit() const { return *searchEdit_; }

  // The pane's commands (menu, buttons); the pool dialog opens window-modal and returns at once.
  void SelectPool(const QString& name);  // as a choice in the combo
  void StartScan();
  void StopScan();
  void AddPool();
  void ModifyPool();
  void DeletePool();
  void Search();
  // Writes the list to path (given the chosen filter's extension when it has neither ".csv" nor
  // ".txt"): text for ".txt", else CSV.
  // False when it could not be written (already shown).
  bool ExportTo(const QString& path, const QString& selectedFilter = QString());
  void SortByColumn(int column);  // a header click
  void OpenResults(QTreeWidgetItem* row);

 signals:
  void followingEnded();  // the pane is idle again after a followed scan

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PoolSelected();
  std::vector<ShownRow> PoolRows(const QString& pool) const;
  // The scan database's rows whose status is in the filter's group (all for no filter), of the
  // pool when one is given.
  std::vector<ShownRow> ScanRows(int filter, const QString& pool = QString()) const;
  QHash<QString, ScanListItem*> RowsByAddress() const;
  // Shows these rows, keeping the rows' order, the selection and the scroll position; the
  // rows not among them go when dropOthers.
  void ShowRows(const std::vector<ShownRow>& rows, bool dropOthers);
  // A notice of the service: the list shown takes the new databases.
  void DatabaseReloaded();
  void OpenScanMenu();
  void ApplyStatusFilter();
  void ApplySnapshot(const ScanSnapshot& snapshot);
  void ScanEnded();
  void AfterPoolDialog(const QString& poolName, bool added);
  void SetIdle();
  void ExportDialog();

  const PaneContext context_;
  int m_nStatusFilter = 0;
  bool busy_ = false;
  bool requesting_ = false;         // waiting for the service's answer to a request
  bool showsFollowedScan_ = false;  // the list holds a followed scan's rows
  int shownFilter_ = 0;             // the status filter whose rows the list shows, with no pool chosen
  bool ascending_ = true;
  int sortColumn_ = 0;
  QLabel* title_;
  QLabel* poolLabel_;
  QComboBox* poolCombo_;
  ScanPoolButton* scanButton_;
  QPushButton* stopButton_;
  QLabel* progressLabel_;
  QProgressBar* progress_;
  QLabel* counter_;
  QLabel* stopLabel_;
  QLabel* listLabel_;
  CColorListCtrl* list_;
  QLabel* searchLabel_;
  QLineEdit* searchEdit_;
  QPushButton* searchButton_;
  QPushButton* exportButton_;
  QPushButton* setButton_;
  QPushButton* restoreButton_;
  QPushButton* compareButton_;
  std::unique_ptr<ScanFollower> follower_;
};

// Registers the pane in the Scan slot.
void RegisterScanPane(PaneRegistry& registry);

}  // namespace mirvale

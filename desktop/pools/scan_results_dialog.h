#pragma once
// CConfigurationScanResults: what the last scan found on one device. For an SNMP pool, the
// stored values with their previous ones, where clicking a value opens its Query Properties; for
// a shell pool, the configuration beside the one before it in two scan views, where clicking a
// line opens its Command Properties. The pages are the results views', reached through pages.
#include <QDialog>
#include <vector>

#include "common/device_records.h"
#include "desktop/shell/detail_page_openers.h"

class QLabel;
class QLineEdit;
class QTreeWidgetItem;

namespace mirvale {

class CColorListCtrl;
class CFlatSplitterWnd;
class CMirvaleApp;

class CConfigurationScanResults : public QDialog {
  Q_OBJECT
 public:
  CConfigurationScanResults(CMirvaleApp& app, DetailPageOpeners pages, const QString& address, const QString& name,
                            const QString& status, const QString& pool, QWidget* parent = nullptr);

  CColorListCtrl& List() const { return *list_; }
  CFlatSplitterWnd* Splitter() const { return splitter_; }
  // The two configuration lists (current, previous) of a shell pool, else null.
  CColorListCtrl* View(int side) const { return views_[side]; }
  QLabel& CountLabel() const { return *count_; }
  QLineEdit& SearchEdit() const { return *searchEdit_; }
  void Search();
  // Fills both configuration views again from the store (after a set).
  void FillViews();
  QString ShownStatus() const;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // Builds the device's views (the two configurations of a shell pool) and fills them.
  void ShowDevice(const CDbItem& device);
  void FillQueries(const CDbItem& device);
  void OpenQueryPage(QTreeWidgetItem* row);
  void OpenCommandPage(int side, QTreeWidgetItem* row);
  void SortList(int column);
  // A notice of the service: the status and what is shown come from the reloaded device record,
  // keeping the selection and scroll position. Put off while a page opened from here is open.
  void Reload();

  CMirvaleApp& app_;
  const DetailPageOpeners pages_;
  const QString address_;
  const QString pool_;
  bool ascending_ = true;
  bool reloadPending_ = false;
  bool deviceShown_ = false;
  QLineEdit* status_;
  CColorListCtrl* list_;
  CFlatSplitterWnd* splitter_ = nullptr;
  CColorListCtrl* views_[2] = {nullptr, nullptr};
  QLabel* count_;
  QLineEdit* searchEdit_;
};

// Opens the dialog window-modal over parent and returns at once; it deletes itself when closed.
CConfigurationScanResults* OpenScanResults(CMirvaleApp& app, const DetailPageOpeners& pages, const QString& address,
                                           const QString& name, const QString& status, const QString& pool,
                                           QWidget* parent);

}  // namespace mirvale

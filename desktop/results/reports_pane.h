#pragma once
// CConfigurationReportsPane: the Reports pane. One of four reports built from the device
// database for all devices or one address, sorted by any column, searched, exported to CSV or
// text, and opened row by row in the Report Properties pages.
#include <QWidget>
#include <optional>
#include <vector>

#include "desktop/results/result_logic.h"
#include "desktop/shell/list_export.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mirvale {

class CColorListCtrl;
class CMirvaleApp;
class DropDownCombo;
struct PaneContext;

class CConfigurationReportsPane : public QWidget {
  Q_OBJECT
 public:
  CConfigurationReportsPane(const PaneContext& context, QWidget* parent = nullptr);

  void OnDisplayReport();
  void OnDropdownFilter();
  void OnSearch();
  // Writes the list to path; a failure is shown ("Export failed, please check your access
  // permissions."). The Export Results button asks for the path and type first.
  bool ExportResultsTo(const std::string& path, ListExportType type);
  void OnExportResults();
  void OnClickResults(int row);
  void SortBy(int column);

  // The report's rows in list order (tests, pages).
  const std::vector<ReportRow>& Rows() const { return rows_; }
  CColorListCtrl& List() { return *list_; }
  QComboBox& ReportCombo();
  QComboBox& FilterCombo();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class ReportsCommandSource;
  friend class ReportsQuerySource;
  void Reset();
  void FillList();
  void UpdateDisplayButton();

  CMirvaleApp& app_;
  std::function<void(int)> dispatch_;
  QComboBox* report_;
  DropDownCombo* filter_;
  QPushButton* display_;
  QLabel* count_;
  CColorListCtrl* list_;
  class LinkLabel* search_label_;
  QLineEdit* search_;
  QPushButton *searchButton_, *export_, *set_, *restore_, *compare_;
  std::vector<ReportRow> rows_;
  int sortColumn_ = 0;
  bool ascending_ = true;
};

}  // namespace mirvale

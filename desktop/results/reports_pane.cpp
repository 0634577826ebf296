#include "desktop/results/reports_pane.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/results/command_page.h"
#include "desktop/results/drop_down_combo.h"
#include "desktop/results/query_page.h"
#include "desktop/results/result_widgets.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/pane_background.h"
#include "desktop/shell/pane_registry.h"
#include "desktop/shell/prompter.h"

namespace mirvale {
namespace {

constexpr char kAllDevices[] = "All available devices";

}  // namespace

// The Report Properties Command page over the pane's rows.
class ReportsCommandSource : public CommandPageSource {
 public:
  explicit ReportsCommandSource(CConfigurationReportsPane& pane) : pane_(pane) {}
  int RowCount() const override { return static_cast<int>(pane_.rows_.size()); }
  CommandFields Row(int row) const override {
    const ReportRow& r = pane_.rows_[static_cast<size_t>(row)];
    CommandParts parts = SplitCommandCell(r.cells[3]);
    return {r.cells[0], r.cells[1], r.cells[2], r.cells[4], parts.command, parts.parameters};
  }
  void Select(int row, bool selected) override { SelectRow(*pane_.list_, row, selected); }
  int AfterSet(int row, const CommandFields& sent) override {
    CDbItem device;
    if (!pane_.app_.Store().GetDbItem(DeviceKey(sent.pool, sent.address), device)) return row;
    pane_.OnDisplayReport();
    for (int i = 0; i < RowCount(); ++i) {
      const auto& cells = pane_.rows_[static_cast<size_t>(i)].cells;
      if (cells[0] == sent.address && cells[1] == sent.name && cells[2] == sent.pool &&
          (cells[3] == sent.command || cells[3] == sent.parameters)) {
        SelectRow(*pane_.list_, i);
        return i;
      }
    }
    return row;
  }

 private:
  CConfigurationReportsPane& pane_;
};

// The Report Properties Query page: each row carries its own device and result key.
class ReportsQuerySource : public QueryPageSource {
 public:
  explicit ReportsQuerySource(CConfigurationReportsPane& pane) : pane_(pane) {}
  int RowCount() const override { return static_cast<int>(pane_.rows_.size()); }
  QueryFields Row(int row) const override {
    const ReportRow& r = pane_.rows_[static_cast<size_t>(row)];
    QueryFields fields{.address = r.address,
                       .name = r.cells[1],
                       .pool = r.cells[2],
                       .query = r.cells[3],
                       .value = r.cells[4],
                       .date = r.cells[5]};
    CDbItem device;
    if (!pane_.app_.Store().GetDbItem(r.deviceKey, device)) return fields;
    const CDbQuery* result = device.m_pQueries.Find(r.resultKey);
    if (!result) return fields;
    FillResultFields(fields, *result, pane_.app_.Document().m_mapPools.Find(r.cells[2]));
    return fields;
  }
  void Select(int row, bool selected) override { SelectRow(*pane_.list_, row, selected); }
  int AfterSet(int row, const QueryFields& sent) override {
    CDbItem device;
    const CDbQuery* result = StoredAsSent(pane_.app_, sent, device);
    if (!result) return row;
    ReportRow& r = pane_.rows_[static_cast<size_t>(row)];
    r.cells[4] = result->m_strValue;
    r.cells[5] = FormatStoredTime(result->m_strTime);
    r.cells[6] = result->m_strPrevValue;
    if (!result->m_strPrevTime.empty()) r.cells[7] = FormatStoredTime(result->m_strPrevTime);
    r.sortTimes[5] = result->m_strTime;
    r.sortTimes[7] = result->m_strPrevTime;
    ShowCells(*pane_.list_, row, r.cells);
    return row;
  }

 private:
  CConfigurationReportsPane& pane_;
};

CConfigurationReportsPane::CConfigurationReportsPane(const PaneContext& context, QWidget* parent)
    : QWidget(parent), app_(context.app), dispatch_(context.dispatchCommand) {
  setObjectName(QStringLiteral("ReportsPane"));
  auto* title = new QLabel(QStringLiteral("Reports"), this);
  QFont titleFont(QStringLiteral("Arial"));
  titleFont.setPixelSize(24);
  title->setFont(titleFont);
  auto* hint =
      new QLabel(QStringLiteral("Select report name and optional filter and click 'Display Report' button."), this);
  report_ = new QComboBox(this);
  report_->setObjectName(QStringLiteral("ReportCombo"));
  filter_ = new DropDownCombo(true, this);
  filter_->setObjectName(QStringLiteral("FilterCombo"));
  report_->setMinimumWidth(220);
  filter_->setMinimumWidth(180);
  display_ = new QPushButton(QStringLiteral("Display Report"), this);
  display_->setObjectName(QStringLiteral("DisplayReport"));
  auto* caption = new QLabel(QStringLiteral("Report results (click any line for details):"), this);
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("ResultCount"));
  search_label_ = new LinkLabel(QStringLiteral("Search:"), this);
  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("SearchEdit"));
  search_->setFixedWidth(150);
  searchButton_ = new QPushButton(QStringLiteral("Go"), this);
  searchButton_->setObjectName(QStringLiteral("SearchButton"));
  list_ = ResultList(*this, "ReportList");
  list_->setUniformRowHeights(true);
  list_->setSortingEnabled(false);
  list_->header()->setSectionsClickable(true);
  list_->header()->setSectionsMovable(true);
  export_ = new QPushButton(QStringLiteral("Export Results..."), this);
  set_ = new QPushButton(QStringLiteral("Set Devices..."), this);
  restore_ = new QPushButton(QStringLiteral("Restore Devices..."), this);
  compare_ = new QPushButton(QStringLiteral("Compare Devices..."), this);
  export_->setObjectName(QStringLiteral("ExportResults"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 8, 16, 12);
  layout->addWidget(title);
  layout->addWidget(hint);
  auto* choices = new QGridLayout;
  choices->addWidget(new QLabel(QStringLiteral("Report Name:"), this), 0, 0);
  choices->addWidget(report_, 1, 0);
  choices->addWidget(new QLabel(QStringLiteral("Report Filter:"), this), 0, 1);
  choices->addWidget(filter_, 1, 1);
  choices->addWidget(display_, 1, 2);
  choices->setColumnStretch(3, 1);
  layout->addLayout(choices);
  auto* above = new QHBoxLayout;
  above->addWidget(caption);
  above->addWidget(count_);
  above->addStretch(1);
  above->addWidget(search_label_);
  above->addWidget(search_);
  above->addWidget(searchButton_);
  layout->addLayout(above);
  layout->addWidget(list_, 1);
  auto* below = new QHBoxLayout;
  below->setContentsMargins(0, 8, 0, 0);
  below->addStretch(1);
  for (QPushButton* button : {set_, restore_, compare_, export_}) {
    button->setFixedSize(125, 25);
    below->addWidget(button);
  }
  layout->addLayout(below);

  connect(report_, &QComboBox::activated, this, [this] { UpdateDisplayButton(); });
  connect(filter_, &DropDownCombo::aboutToDropDown, this, &CConfigurationReportsPane::OnDropdownFilter);
  // Closing the refilled list without a choice falls back to all devices.
  connect(filter_, &DropDownCombo::closedUp, this, [this] {
    if (filter_->currentIndex() < 0) filter_->setCurrentIndex(0);
  });
  connect(display_, &QPushButton::clicked, this, &CConfigurationReportsPane::OnDisplayReport);
  connect(list_->header(), &QHeaderView::sectionClicked, this, &CConfigurationReportsPane::SortBy);
  connect(list_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { OnClickResults(list_->indexOfTopLevelItem(item)); });
  connect(searchButton_, &QPushButton::clicked, this, &CConfigurationReportsPane::OnSearch);
  connect(search_label_, &LinkLabel::clicked, this, &CConfigurationReportsPane::OnSearch);
  connect(search_, &QLineEdit::returnPressed, this, &CConfigurationReportsPane::OnSearch);
  connect(export_, &QPushButton::clicked, this, &CConfigurationReportsPane::OnExportResults);
  connect(set_, &QPushButton::clicked, this, [this] { dispatch_(kCommandSetDevices); });
  connect(restore_, &QPushButton::clicked, this, [this] { dispatch_(kCommandRestoreDevices); });
  connect(compare_, &QPushButton::clicked, this, [this] { dispatch_(kCommandCompareDevices); });
  Reset();
}

QComboBox& CConfigurationReportsPane::ReportCombo() { return *report_; }
QComboBox& CConfigurationReportsPane::FilterCombo() { return *filter_; }

void CConfigurationReportsPane::Reset() {
  report_->clear();
  filter_->clear();
  count_->clear();
  rows_.clear();
  list_->m_strSearch.clear();
  SetListColumns(*list_,
                 {{QStringLiteral("Device"), 100}, {QStringLiteral("Name"), 100}, {QStringLiteral("Pool"), 100}});
  for (const char* name : kReportNames) report_->addItem(QString::fromLatin1(name));
  report_->setCurrentIndex(-1);
  filter_->addItem(QString::fromLatin1(kAllDevices));
  filter_->setCurrentIndex(0);
  search_->clear();
  display_->setEnabled(false);
}

void CConfigurationReportsPane::UpdateDisplayButton() {
  display_->setEnabled(!report_->currentText().isEmpty());
  if (display_->isEnabled()) display_->setFocus();
}

void CConfigurationReportsPane::OnDropdownFilter() {
  DeviceDatabaseMap devices;
  app_.Store().CopyDatabaseMap(devices);
  filter_->clear();
  filter_->addItem(QString::fromLatin1(kAllDevices));
  for (const auto& address : DeviceAddresses(devices)) filter_->addItem(QString::fromStdString(address));
  filter_->setCurrentIndex(-1);
}

void CConfigurationReportsPane::OnDisplayReport() {
  rows_.clear();
  count_->clear();
  const auto kind = ReportKindFromName(report_->currentText().toStdString());
  std::optional<std::string> filter;
  if (filter_->currentIndex() != 0)
    filter = filter_->currentIndex() < 0 ? std::string() : filter_->currentText().toStdString();
  std::vector<std::pair<QString, int>> columns = {
      {QStringLiteral("Device"), 100}, {QStringLiteral("Name"), 100}, {QStringLiteral("Pool"), 100}};
  if (kind) {
    const int wide = std::max(100, list_->viewport()->width() - (kind == ReportKind::ShellDevices ? 420 : 700));
    auto headings = ReportHeadings(*kind);
    for (size_t i = 3; i < headings.size(); ++i) {
      const QString heading = QString::fromStdString(headings[i]);
      int width = heading == "Value" || heading == "Prev Value" ? 80 : 150;
      if (i == 3) width = wide;
      columns.push_back({heading, width});
    }
    DeviceDatabaseMap devices;
    app_.Store().CopyDatabaseMap(devices);
    rows_ = BuildReport(*kind, devices, app_.Document().m_mapPools, filter);
  }
  SetListColumns(*list_, columns);
  count_->setText(QStringLiteral("%1 Results Found.").arg(rows_.size()));
  sortColumn_ = 0;
  ascending_ = true;
  FillList();
}

void CConfigurationReportsPane::SortBy(int column) {
  sortColumn_ = column;
  ascending_ = !ascending_;
  FillList();
}

void CConfigurationReportsPane::FillList() {
  std::stable_sort(rows_.begin(), rows_.end(), [this](const ReportRow& a, const ReportRow& b) {
    int order = CompareReportRows(a, b, sortColumn_);
    return ascending_ ? order < 0 : order > 0;
  });
  list_->clear();
  list_->m_arrMarkedRows.clear();
  QList<QTreeWidgetItem*> items;
  for (const auto& row : rows_) {
    auto* item = new QTreeWidgetItem;
    for (int i = 0; i < static_cast<int>(row.cells.size()); ++i) item->setText(i, QString::fromStdString(row.cells[i]));
    items.append(item);
  }
  list_->addTopLevelItems(items);
}

void CConfigurationReportsPane::OnSearch() {
  const QString text = search_->text().toUpper();
  if (!text.isEmpty()) {
    list_->m_strSearch = text;
    list_->viewport()->update();
    auto shows = [&](const std::string& cell) { return QString::fromStdString(cell).toUpper().contains(text); };
    auto found = std::find_if(rows_.begin(), rows_.end(), [&](const ReportRow& row) {
      return std::any_of(row.cells.begin(), row.cells.end(), shows);
    });
    if (found != rows_.end()) list_->scrollToItem(list_->topLevelItem(static_cast<int>(found - rows_.begin())));
  }
  search_->clear();
}

bool CConfigurationReportsPane::ExportResultsTo(const std::string& path, ListExportType type) {
  std::vector<std::string> headings;
  for (int column = 0; column < list_->columnCount(); ++column)
    headings.push_back(list_->headerItem()->text(column).toStdString());
  std::vector<std::vector<std::string>> rows;
  for (const ReportRow& row : rows_) rows.push_back(row.cells);
  if (ExportListToFile(path, type, headings, rows)) return true;
  ShowInformation(this, QString::fromLatin1(kExportFailedText));
  return false;
}

void CConfigurationReportsPane::OnExportResults() {
  QString filter;
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Export Results"), QString(),
      QStringLiteral("CSV (Comma delimited) (*.csv);;Text (Tab delimited) (*.txt)"), &filter);
  if (path.isEmpty()) return;
  const std::string file = ExportPathFor(path.toStdString(), filter.toStdString());
  if (ExportPathReplacesUnasked(path.toStdString(), file) &&
      !AskYesNo(this, QString::fromStdString(ReplaceQuestionFor(file))))
    return;
  ExportResultsTo(file, ExportTypeFor(file));
}

void CConfigurationReportsPane::OnClickResults(int row) {
  if (!list_->m_strSearch.isEmpty()) {
    list_->m_strSearch.clear();
    list_->viewport()->update();
  }
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  const CPoolItem* pool = app_.Document().m_mapPools.Find(rows_[static_cast<size_t>(row)].cells[2]);
  if (!pool) return;
  const bool shell = pool->IsShellPool(), snmp = pool->IsSnmpPool();
  if (shell && rows_[static_cast<size_t>(row)].cells.size() == 5) {
    ReportsCommandSource source(*this);
    CommandPage page(app_, source, row, QStringLiteral("Report Properties"), window());
    page.exec();
  }
  if (snmp && rows_[static_cast<size_t>(row)].cells.size() == 8) {
    ReportsQuerySource source(*this);
    QueryPage page(app_, source, row, QStringLiteral("Report Properties"), window());
    page.exec();
  }
}

void CConfigurationReportsPane::showEvent(QShowEvent* event) {
  Reset();
  QWidget::showEvent(event);
}

void CConfigurationReportsPane::hideEvent(QHideEvent* event) {
  Reset();
  QWidget::hideEvent(event);
}

void CConfigurationReportsPane::paintEvent(QPaintEvent*) { PaintPaneBackground(*this); }

}  // namespace mirvale

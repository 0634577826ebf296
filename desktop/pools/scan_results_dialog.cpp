#include "desktop/pools/scan_results_dialog.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "common/desktop_database_store.h"
#include "desktop/pools/pool_sorting.h"
#include "desktop/pools/scan_pane_rules.h"
#include "desktop/pools/scan_results_model.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/flat_splitter.h"
#include "desktop/shell/mirvale_app.h"

namespace mirvale {
namespace {

constexpr int kSecondsRole = Qt::UserRole + 1;
constexpr int kKeyRole = Qt::UserRole + 2;

// A stored value's row: the two date columns compare as points in time, the others naturally.
class QueryResultItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (column == 2 || column == 4)
      return data(column, kSecondsRole).toLongLong() < other.data(column, kSecondsRole).toLongLong();
    return CompareNaturally(text(column).toStdString(), other.text(column).toStdString()) < 0;
  }
};

QLineEdit* ReadOnly(const QString& text, QWidget* parent) {
  auto* edit = new QLineEdit(text, parent);
  edit->setReadOnly(true);
  return edit;
}

// Finds text (upper case) in the list's cells, highlights it and scrolls the first cell into view.
void SearchList(CColorListCtrl& list, const QString& text) {
  list.m_strSearch = text;
  list.viewport()->update();
  if (text.isEmpty()) return;
  for (int i = 0; i < list.topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = list.topLevelItem(i);
    for (int column = 0; column < list.columnCount(); ++column) {
      if (row->text(column).toUpper().contains(text)) {
        list.scrollToItem(row);
        return;
      }
    }
  }
}

// Shows a stored value in its row: value, date, previous value and date (the date columns also
// keep their seconds to sort by).
void ShowStoredValue(QTreeWidgetItem& item, const QueryResultRow& row) {
  item.setText(0, QString::fromStdString(row.label));
  item.setData(0, kKeyRole, QString::fromStdString(row.key));
  item.setText(1, QString::fromStdString(row.value));
  item.setText(2, FormatScanTime(row.time));
  item.setData(2, kSecondsRole, QString::fromStdString(row.time).toLongLong());
  item.setText(3, QString::fromStdString(row.prevValue));
  item.setText(4, FormatScanTime(row.prevTime));
  item.setData(4, kSecondsRole, QString::fromStdString(row.prevTime).toLongLong());
}

void SelectListRow(CColorListCtrl& list, int row, bool selected) {
  QTreeWidgetItem* item = list.topLevelItem(row);
  if (!item) return;
  item->setSelected(selected);
  if (selected) list.scrollToItem(item);
}

// The stored values' list as the Query Properties page steps through it.
class ScanValueRows : public StoredValueRows {
 public:
  explicit ScanValueRows(CColorListCtrl& list) : list_(list) {}
  int RowCount() const override { return list_.topLevelItemCount(); }
  Row At(int row) const override {
    const QTreeWidgetItem* item = list_.topLevelItem(row);
    return {item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString(),
            item->data(0, kKeyRole).toString().toStdString()};
  }
  void Select(int row, bool selected) override { SelectListRow(list_, row, selected); }
  void Refresh(int row, const CDbQuery& stored) override {
    if (QTreeWidgetItem* item = list_.topLevelItem(row))
      ShowStoredValue(*item, QueryResultRowOf(stored.m_strKey, stored));
  }

 private:
  CColorListCtrl& list_;
};

// One scan view as the Command Properties page steps through it.
class ScanViewRows : public ConfigurationRows {
 public:
  ScanViewRows(CConfigurationScanResults& dialog, CColorListCtrl& view) : dialog_(dialog), view_(view) {}
  std::vector<std::string> Lines() const override {
    std::vector<std::string> lines;
    for (int i = 0; i < view_.topLevelItemCount(); ++i) lines.push_back(view_.topLevelItem(i)->text(0).toStdString());
    return lines;
  }
  std::string HeadingDate() const override {
    const QString title = view_.headerItem()->text(0);
    return title.mid(title.indexOf(QLatin1Char(':')) + 1).trimmed().toStdString();
  }
  void Select(int row, bool selected) override { SelectListRow(view_, row, selected); }
  void Refill() override { dialog_.FillViews(); }

 private:
  CConfigurationScanResults& dialog_;
  CColorListCtrl& view_;
};

CColorListCtrl* MakeView(QWidget* parent) {
  auto* view = new CColorListCtrl(parent);
  view->setColumnCount(1);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->header()->setStretchLastSection(true);
  return view;
}

}  // namespace

CConfigurationScanResults::CConfigurationScanResults(CMirvaleApp& app, DetailPageOpeners pages, const QString& address,
                                                     const QString& name, const QString& status, const QString& pool,
                                                     QWidget* parent)
    : QDialog(parent), app_(app), pages_(std::move(pages)), address_(address), pool_(pool) {
  setWindowTitle(QStringLiteral("Scan Results for ") + address);
  setObjectName(QStringLiteral("scanResults"));
  resize(760, 520);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Device IP:"), ReadOnly(address, this));
  fields->addRow(QStringLiteral("Device Name:"), ReadOnly(name, this));
  fields->addRow(QStringLiteral("Device Pool:"), ReadOnly(pool, this));
  status_ = ReadOnly(status, this);
  status_->setObjectName(QStringLiteral("deviceStatus"));
  fields->addRow(QStringLiteral("Device Status:"), status_);
  layout->addLayout(fields);

  auto* labelRow = new QHBoxLayout;
  labelRow->addWidget(new QLabel(QStringLiteral("Configuration results (click any line for details):"), this));
  count_ = new QLabel(this);
  labelRow->addWidget(count_);
  labelRow->addStretch(1);
  auto* searchLabel = new QPushButton(QStringLiteral("Search:"), this);
  searchLabel->setFlat(true);
  searchLabel->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128); text-decoration: underline; font: 14px arial;"));
  searchEdit_ = new QLineEdit(this);
  searchEdit_->setFixedWidth(150);
  auto* searchButton = new QPushButton(this);
  searchButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  labelRow->addWidget(searchLabel);
  labelRow->addWidget(searchEdit_);
  labelRow->addWidget(searchButton);
  layout->addLayout(labelRow);

  list_ = new CColorListCtrl(this);
  list_->setColumnCount(5);
  list_->setHeaderLabels({QStringLiteral("Query"), QStringLiteral("Value"), QStringLiteral("Date"),
                          QStringLiteral("Prev Value"), QStringLiteral("Prev Date")});
  list_->setColumnWidth(0, 300);
  list_->setColumnWidth(1, 80);
  list_->setColumnWidth(2, 120);
  list_->setColumnWidth(3, 80);
  list_->header()->setSectionsClickable(true);
  layout->addWidget(list_, 1);

  auto* closeRow = new QHBoxLayout;
  closeRow->addStretch(1);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  closeRow->addWidget(close);
  layout->addSpacing(20);
  layout->addLayout(closeRow);

  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(searchButton, &QPushButton::clicked, this, [this] { Search(); });
  connect(searchLabel, &QPushButton::clicked, this, [this] { Search(); });
  connect(searchEdit_, &QLineEdit::returnPressed, this, [this] { Search(); });
  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) { SortList(column); });
  connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) { OpenQueryPage(row); });
  connect(&app, &CMirvaleApp::databaseReloaded, this, [this] { Reload(); });

  CDbItem device;
  if (ScanReachedDevice(status.toStdString()) &&
      app.Store().GetDbItem(DeviceKey(pool.toStdString(), address.toStdString()), device))
    ShowDevice(device);
}

void CConfigurationScanResults::ShowDevice(const CDbItem& device) {
  const CPoolItem* poolItem = app_.Document().m_mapPools.Find(pool_.toStdString());
  if (!poolItem) return;
  deviceShown_ = true;
  if (!poolItem->IsShellPool()) {
    FillQueries(device);
    return;
  }
  list_->hide();
  splitter_ = new CFlatSplitterWnd(this);
  splitter_->m_strPool = pool_;
  splitter_->m_strDevice = address_;
  for (int side = 0; side < 2; ++side) {
    views_[side] = MakeView(splitter_);
    splitter_->addWidget(views_[side]);
    connect(views_[side], &QTreeWidget::itemClicked, this,
            [this, side](QTreeWidgetItem* row) { OpenCommandPage(side, row); });
  }
  auto* box = static_cast<QBoxLayout*>(layout());
  box->insertWidget(box->indexOf(list_), splitter_, 1);
  FillViews();
}

QString CConfigurationScanResults::ShownStatus() const { return status_->text(); }

void CConfigurationScanResults::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && reloadPending_) Reload();
}

void CConfigurationScanResults::Reload() {
  if (QApplication::activeModalWidget() && QApplication::activeModalWidget() != this) {
    reloadPending_ = true;
    return;
  }
  reloadPending_ = false;
  CDbItem device;
  if (!app_.Store().GetDbItem(DeviceKey(pool_.toStdString(), address_.toStdString()), device)) return;
  status_->setText(QString::fromStdString(device.m_strStatus));
  // Opened while the device was still being scanned: its results are shown once they are there.
  if (!deviceShown_) {
    if (ScanReachedDevice(device.m_strStatus)) ShowDevice(device);
    return;
  }
  std::vector<CColorListCtrl*> lists;
  if (splitter_)
    lists = {views_[0], views_[1]};
  else
    lists = {list_};
  std::vector<int> scrolled, chosen;
  for (CColorListCtrl* shown : lists) {
    scrolled.push_back(shown->verticalScrollBar()->value());
    QTreeWidgetItem* current = shown->currentItem();
    chosen.push_back(current && current->isSelected() ? shown->indexOfTopLevelItem(current) : -1);
  }
  if (splitter_) {
    FillViews();
  } else {
    const int column = list_->sortColumn();
    const bool ascending = ascending_;
    FillQueries(device);
    ascending_ = ascending;
    list_->sortItems(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  }
  for (size_t i = 0; i < lists.size(); ++i) {
    if (QTreeWidgetItem* row = lists[i]->topLevelItem(chosen[i])) {
      lists[i]->setCurrentItem(row);
      row->setSelected(true);
    }
    lists[i]->verticalScrollBar()->setValue(scrolled[i]);
  }
}

void CConfigurationScanResults::FillQueries(const CDbItem& device) {
  list_->clear();
  for (const QueryResultRow& row : QueryResultRows(device)) ShowStoredValue(*new QueryResultItem(list_), row);
  // Dates in the user's locale may not fit the usual 120 pixels: they are never cut short.
  for (int column : {2, 4}) {
    list_->resizeColumnToContents(column);
    list_->setColumnWidth(column, std::max(120, list_->columnWidth(column)));
  }
  count_->setText(QString::number(list_->topLevelItemCount()));
  ascending_ = true;
  list_->sortItems(0, Qt::AscendingOrder);
}

void CConfigurationScanResults::OpenQueryPage(QTreeWidgetItem* row) {
  list_->m_strSearch.clear();
  list_->viewport()->update();
  if (!row || !pages_.query) return;
  ScanValueRows rows(*list_);
  pages_.query(app_, {address_.toStdString(), pool_.toStdString()}, rows, list_->indexOfTopLevelItem(row), this);
}

void CConfigurationScanResults::OpenCommandPage(int side, QTreeWidgetItem* row) {
  CColorListCtrl& view = *views_[side];
  view.m_strSearch.clear();
  view.viewport()->update();
  if (!row || row->text(0).trimmed().size() <= 1 || !pages_.command) return;
  ScanViewRows rows(*this, view);
  pages_.command(app_, {address_.toStdString(), pool_.toStdString()}, rows, view.indexOfTopLevelItem(row), this);
}

void CConfigurationScanResults::FillViews() {
  if (!splitter_) return;
  CDbItem device;
  if (!app_.Store().GetDbItem(DeviceKey(pool_.toStdString(), address_.toStdString()), device)) return;
  const ConfigurationPanes panes = ConfigurationOf(device);
  const std::vector<std::string>* sides[2] = {&panes.current, &panes.previous};
  const QString titles[2] = {QStringLiteral("Current Configuration: ") +
                                 (panes.current.empty() ? QString() : FormatScanTime(panes.currentTime)),
                             QStringLiteral("Previous Configuration: ") +
                                 (panes.previous.empty() ? QString() : FormatScanTime(panes.previousTime))};
  for (int side = 0; side < 2; ++side) {
    CColorListCtrl& view = *views_[side];
    view.clear();
    view.setHeaderLabels({titles[side]});
    for (const std::string& line : *sides[side]) new QTreeWidgetItem(&view, {QString::fromStdString(line)});
  }
}

void CConfigurationScanResults::Search() {
  const QString text = searchEdit_->text().toUpper();
  if (splitter_) {
    for (CColorListCtrl* view : views_) SearchList(*view, text);
  } else if (!text.isEmpty()) {
    SearchList(*list_, text);
  }
  searchEdit_->clear();
}

void CConfigurationScanResults::SortList(int column) {
  ascending_ = !ascending_;
  list_->sortItems(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

CConfigurationScanResults* OpenScanResults(CMirvaleApp& app, const DetailPageOpeners& pages, const QString& address,
                                           const QString& name, const QString& status, const QString& pool,
                                           QWidget* parent) {
  auto* dialog = new CConfigurationScanResults(app, pages, address, name, status, pool, parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
  return dialog;
}

}  // namespace mirvale

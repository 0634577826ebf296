#include "desktop/pools/scan_results_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "common/desktop_database_store.h"
#include "desktop/pools/pool_sorting.h"
#include "desktop/pools/scan_command_page.h"
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

CColorListCtrl* MakeView(QWidget* parent) {
  auto* view = new CColorListCtrl(parent);
  view->setColumnCount(1);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->header()->setStretchLastSection(true);
  return view;
}

}  // namespace

CConfigurationScanResults::CConfigurationScanResults(CMirvaleApp& app, const QString& address, const QString& name,
                                                     const QString& status, const QString& pool, QWidget* parent)
    : QDialog(parent), app_(app), address_(address), pool_(pool) {
  setWindowTitle(QStringLiteral("Scan Results for ") + address);
  setObjectName(QStringLiteral("scanResults"));
  resize(760, 520);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Device IP:"), ReadOnly(address, this));
  fields->addRow(QStringLiteral("Device Name:"), ReadOnly(name, this));
  fields->addRow(QStringLiteral("Device Pool:"), ReadOnly(pool, this));
  fields->addRow(QStringLiteral("Device Status:"), ReadOnly(status, this));
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
  connect(list_, &QTreeWidget::itemClicked, this, [this] {
    list_->m_strSearch.clear();
    list_->viewport()->update();
  });

  const CPoolItem* poolItem = app.Document().m_mapPools.Find(pool.toStdString());
  CDbItem device;
  if (!ScanReachedDevice(status.toStdString()) || !poolItem ||
      !app.Store().GetDbItem(DeviceKey(pool.toStdString(), address.toStdString()), device))
    return;
  if (poolItem->IsShellPool()) {
    list_->hide();
    splitter_ = new CFlatSplitterWnd(this);
    splitter_->m_strPool = pool;
    splitter_->m_strDevice = address;
    for (int side = 0; side < 2; ++side) {
      views_[side] = MakeView(splitter_);
      splitter_->addWidget(views_[side]);
      connect(views_[side], &QTreeWidget::itemClicked, this, [this, side](QTreeWidgetItem* row) {
        views_[side]->m_strSearch.clear();
        views_[side]->viewport()->update();
        if (row->text(0).trimmed().size() > 1)
          OpenCommandPage(app_, *views_[side], views_[side]->indexOfTopLevelItem(row), pool_, address_, *this);
      });
    }
    layout->insertWidget(layout->indexOf(list_), splitter_, 1);
    FillViews();
  } else {
    FillQueries(device);
  }
}

void CConfigurationScanResults::FillQueries(const CDbItem& device) {
  list_->clear();
  for (const QueryResultRow& row : QueryResultRows(device)) {
    auto* item = new QueryResultItem(list_);
    item->setText(0, QString::fromStdString(row.label));
    item->setData(0, kKeyRole, QString::fromStdString(row.key));
    item->setText(1, QString::fromStdString(row.value));
    item->setText(2, FormatScanTime(row.time));
    item->setData(2, kSecondsRole, QString::fromStdString(row.time).toLongLong());
    item->setText(3, QString::fromStdString(row.prevValue));
    item->setText(4, FormatScanTime(row.prevTime));
    item->setData(4, kSecondsRole, QString::fromStdString(row.prevTime).toLongLong());
  }
  count_->setText(QString::number(list_->topLevelItemCount()));
  ascending_ = true;
  list_->sortItems(0, Qt::AscendingOrder);
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

CConfigurationScanResults* OpenScanResults(CMirvaleApp& app, const QString& address, const QString& name,
                                           const QString& status, const QString& pool, QWidget* parent) {
  auto* dialog = new CConfigurationScanResults(app, address, name, status, pool, parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
  return dialog;
}

}  // namespace mirvale

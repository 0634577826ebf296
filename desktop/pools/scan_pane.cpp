#include "desktop/pools/scan_pane.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "common/desktop_database_store.h"
#include "common/status_texts.h"
#include "desktop/pools/pool_properties_dialog.h"
#include "desktop/pools/scan_follower.h"
#include "desktop/pools/scan_list_item.h"
#include "desktop/pools/scan_pane_rules.h"
#include "desktop/pools/scan_pool_button.h"
#include "desktop/pools/scan_results_dialog.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/list_export.h"
#include "desktop/shell/manual_scan_state.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/pane_background.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/wait_cursor.h"
#include "platform/operator_group.h"
#include "platform/service_control_codes.h"

namespace mirvale {
namespace {

constexpr char kServiceNotResponding[] = "Service not responding, please check your access permissions.";

QLabel* MakeLabel(const QString& text, QWidget* parent, int x, int y) {
  auto* label = new QLabel(text, parent);
  label->move(x, y);
  label->adjustSize();
  return label;
}

// The pool combo reads the settings' pools again each time its list drops down, keeping the
// chosen pool (also while a scan is followed).
class RefreshingPoolCombo : public QComboBox {
 public:
  RefreshingPoolCombo(std::function<QStringList()> pools, QWidget* parent)
      : QComboBox(parent), pools_(std::move(pools)) {}
  void showPopup() override {
    const QString current = currentText();
    {
      QSignalBlocker quiet(this);
      clear();
      addItems(pools_());
      setCurrentIndex(findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    QComboBox::showPopup();
  }

 private:
  std::function<QStringList()> pools_;
};

QPushButton* MakeButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->resize(125, 25);
  return button;
}

}  // namespace

CConfigurationScanPane::CConfigurationScanPane(const PaneContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("Scan"));
  title_ = MakeLabel(QStringLiteral("Scan"), this, 15, 8);
  QFont titleFont(QStringLiteral("arial"));
  titleFont.setPixelSize(24);
  title_->setFont(titleFont);
  title_->setStyleSheet(QStringLiteral("color: rgb(1, 103, 204);"));
  title_->adjustSize();

  poolLabel_ = MakeLabel(QStringLiteral("Pool Name:"), this, 15, 56);
  poolCombo_ = new RefreshingPoolCombo(
      [this] {
        QStringList names;
        for (const auto& [name, pool] : context_.app.Document().m_mapPools) names << QString::fromStdString(name);
        return names;
      },
      this);
  poolCombo_->setGeometry(95, 52, 220, 24);
  scanButton_ = new ScanPoolButton(QStringLiteral("Scan Pool"), this);
  scanButton_->setGeometry(325, 51, 125, 26);
  stopButton_ = new QPushButton(QStringLiteral("Stop Scan"), this);
  stopButton_->setGeometry(460, 51, 100, 26);

  progressLabel_ = MakeLabel(QStringLiteral("Scan Progress:"), this, 15, 92);
  progress_ = new QProgressBar(this);
  progress_->setGeometry(110, 90, 300, 18);
  progress_->setTextVisible(false);
  counter_ = new QLabel(this);
  counter_->setGeometry(420, 90, 260, 18);
  stopLabel_ = new QLabel(this);
  stopLabel_->setGeometry(15, 90, 300, 18);

  listLabel_ = MakeLabel(QStringLiteral("Scan results (click any line for details):"), this, 15, 122);
  searchLabel_ = MakeLabel(QStringLiteral("Search:"), this, 0, 122);
  QFont searchFont(QStringLiteral("arial"));
  searchFont.setPixelSize(14);
  searchFont.setUnderline(true);
  searchLabel_->setFont(searchFont);
  searchLabel_->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128);"));
  searchLabel_->setCursor(Qt::PointingHandCursor);
  searchLabel_->adjustSize();
  searchLabel_->installEventFilter(this);
  searchEdit_ = new QLineEdit(this);
  searchButton_ = new QPushButton(this);
  searchButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  searchButton_->setToolTip(QStringLiteral("Search"));

  list_ = new CColorListCtrl(this);
  list_->setColumnCount(4);
  list_->setHeaderLabels({QStringLiteral("Device IP"), QStringLiteral("Device Name"), QStringLiteral("Last Scan"),
                          QStringLiteral("Last Status")});
  list_->setColumnWidth(0, 150);
  list_->setColumnWidth(1, 150);
  list_->setColumnWidth(2, 150);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAlternatingRowColors(true);
  list_->header()->setSectionsClickable(true);
  list_->header()->setSortIndicatorShown(false);

  setButton_ = MakeButton(QStringLiteral("Set Devices..."), this);
  restoreButton_ = MakeButton(QStringLiteral("Restore Devices..."), this);
  compareButton_ = MakeButton(QStringLiteral("Compare Devices..."), this);
  exportButton_ = MakeButton(QStringLiteral("Export Results..."), this);

  scanButton_->SetStartEnabled(false);
  stopButton_->setEnabled(false);
  progressLabel_->hide();
  progress_->hide();
  stopLabel_->hide();

  connect(poolCombo_, &QComboBox::activated, this, [this] { PoolSelected(); });
  connect(scanButton_, &QPushButton::clicked, this, [this] { StartScan(); });
  connect(scanButton_, &ScanPoolButton::arrowPressed, this, [this] { OpenScanMenu(); });
  connect(stopButton_, &QPushButton::clicked, this, [this] { StopScan(); });
  connect(searchButton_, &QPushButton::clicked, this, [this] { Search(); });
  connect(searchEdit_, &QLineEdit::returnPressed, this, [this] { Search(); });
  connect(exportButton_, &QPushButton::clicked, this, [this] { ExportDialog(); });
  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column); });
  connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) { OpenResults(row); });
  const std::pair<QPushButton*, int> commands[] = {{setButton_, kCommandSetDevices},
                                                   {restoreButton_, kCommandRestoreDevices},
                                                   {compareButton_, kCommandCompareDevices}};
  for (const auto& [button, command] : commands)
    connect(button, &QPushButton::clicked, this, [this, command = command] { context_.dispatchCommand(command); });
  connect(poolCombo_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
    if (text.isEmpty() && !busy_) {
      scanButton_->SetStartEnabled(false);
      list_->clear();
    }
  });
  connect(&context_.app, &CMirvaleApp::databaseReloaded, this, [this] { DatabaseReloaded(); });
}

CConfigurationScanPane::~CConfigurationScanPane() = default;

void CConfigurationScanPane::SelectPool(const QString& name) {
  if (poolCombo_->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) poolCombo_->addItem(name);
  poolCombo_->setCurrentIndex(poolCombo_->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
  PoolSelected();
}

void CConfigurationScanPane::PoolSelected() {
  const QString pool = poolCombo_->currentText();
  if (pool.isEmpty()) return;
  WaitCursor wait;
  scanButton_->SetStartEnabled(!busy_);
  scanButton_->setFocus();
  shownFilter_ = kFilterNone;
  showsFollowedScan_ = false;
  list_->m_arrMarkedRows.clear();
  list_->clear();
  sortColumn_ = 0;
  ascending_ = true;
  ShowRows(PoolRows(pool), /*dropOthers=*/true);
}

std::vector<ShownRow> CConfigurationScanPane::PoolRows(const QString& pool) const {
  std::vector<ShownRow> rows;
  DeviceDatabaseMap copy;
  context_.app.Store().CopyDatabaseMap(copy);
  const std::string poolName = pool.toStdString();
  for (const auto& [key, device] : copy)
    if (device->m_strPool == poolName)
      rows.push_back({QString::fromStdString(device->m_strAddress), QString::fromStdString(device->m_strName),
                      device->m_strScanTime, QString::fromStdString(device->m_strStatus)});
  return rows;
}

std::vector<ShownRow> CConfigurationScanPane::ScanRows(int filter, const QString& pool) const {
  std::vector<ShownRow> rows;
  ScanDatabaseMap copy;
  context_.app.Store().CopyScanMap(copy);
  const std::string start = context_.app.Store().ScanHeader().m_strScanStart;
  for (const auto& [key, record] : copy)
    if ((filter == kFilterNone || StatusMatchesFilter(record->m_strStatus, filter)) &&
        (pool.isEmpty() || record->m_strPool == pool.toStdString()))
      rows.push_back({QString::fromStdString(record->m_strAddress), QString::fromStdString(record->m_strName), start,
                      QString::fromStdString(record->m_strStatus)});
  return rows;
}

QHash<QString, ScanListItem*> CConfigurationScanPane::RowsByAddress() const {
  QHash<QString, ScanListItem*> rows;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    auto* row = static_cast<ScanListItem*>(list_->topLevelItem(i));
    rows.insert(row->text(0), row);
  }
  return rows;
}

void CConfigurationScanPane::ShowRows(const std::vector<ShownRow>& wanted, bool dropOthers) {
  // Rows are updated in place, so the user's selection and scroll position survive a reload.
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  const QString chosen = selected.isEmpty() ? QString() : selected.front()->text(0);
  const int scrolled = list_->verticalScrollBar()->value();
  QHash<QString, ScanListItem*> rows = RowsByAddress();
  bool reshaped = false;
  list_->setUpdatesEnabled(false);
  for (const ShownRow& shown : wanted) {
    ScanListItem* row = rows.take(shown.address);
    if (!row) {
      row = new ScanListItem(list_);
      row->SetAddress(shown.address);
      reshaped = true;
    }
    row->SetCell(1, shown.name);
    row->SetScanTime(shown.scanTime);
    row->SetCell(3, shown.status);
  }
  for (ScanListItem* gone : rows) {
    if (!dropOthers) break;
    delete gone;
    reshaped = true;
  }
  if (reshaped) list_->m_arrMarkedRows.clear();
  list_->sortItems(sortColumn_, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  for (int i = 0; i < list_->topLevelItemCount() && !chosen.isEmpty(); ++i)
    if (list_->topLevelItem(i)->text(0) == chosen) list_->topLevelItem(i)->setSelected(true);
  list_->setUpdatesEnabled(true);
  list_->verticalScrollBar()->setValue(scrolled);
}

void CConfigurationScanPane::DatabaseReloaded() {
  // A followed scan fills the list itself; a hidden pane reloads when it is shown.
  if (!isVisible() || busy_) return;
  if (showsFollowedScan_) {
    // A followed scan's rows come from the scan database and stay, as its follower left them;
    // a later scan of another pool adds none.
    ShowRows(ScanRows(kFilterNone, poolCombo_->currentText()), /*dropOthers=*/false);
    counter_->setText(CounterText(list_->topLevelItemCount(), context_.app.Store().ScanHeader().m_strScanTotal));
  } else if (!poolCombo_->currentText().isEmpty()) {
    ShowRows(PoolRows(poolCombo_->currentText()), /*dropOthers=*/true);
  } else if (shownFilter_ != kFilterNone) {
    ShowRows(ScanRows(shownFilter_), /*dropOthers=*/true);
    counter_->setText(CounterText(list_->topLevelItemCount(), context_.app.Store().ScanHeader().m_strScanTotal));
  }
}

void CConfigurationScanPane::StartScan() {
  const QString pool = poolCombo_->currentText();
  if (pool.isEmpty() || busy_ || requesting_) return;
  CMirvaleApp& app = context_.app;
  RequestedScan requested{pool.toStdString(), static_cast<long long>(std::time(nullptr)),
                          QString::fromStdString(app.Store().ScanHeader().m_strScanStart).toLongLong()};
  app.WithDocument([&](CMirvaleDoc& doc) {
    doc.m_strScanPool = pool.toStdString();
    doc.m_strScanUser = app.UserName();
  });
  // A request that never reached the service is withdrawn: while one stands, the program takes
  // the service's notices for the followed scan's own and leaves the databases unreloaded.
  auto refused = [&](const QString& text) {
    app.WithDocument([](CMirvaleDoc& doc) { doc.m_strScanPool.clear(); });
    app.SetFollowingScan(false);
    ShowInformation(this, text);
  };
  // The pane waits for the service's answers; the rest of the program stays in use meanwhile.
  // The request goes on top of the current settings, whatever another member changed.
  requesting_ = true;
  app.SetFollowingScan(true);
  const bool committed = app.Commit({this}, CMirvaleApp::OnConflict::KeepMine);
  const bool started = committed && SendServiceRequest(app, platform::ControlStartScan, this);
  requesting_ = false;
  if (!committed) {
    refused(app.CommitFailure());
    return;
  }
  if (!started) {
    refused(QString::fromLatin1(kServiceNotResponding));
    return;
  }
  scanButton_->SetStartEnabled(false);
  busy_ = true;
  showsFollowedScan_ = true;
  scanButton_->SetBusy(true);
  counter_->clear();
  stopButton_->setEnabled(true);
  stopLabel_->hide();
  list_->m_arrMarkedRows.clear();
  list_->clear();
  progress_->setRange(0, 0);
  progress_->setValue(0);
  progress_->show();
  progressLabel_->show();
  follower_ = std::make_unique<ScanFollower>(app.Store(), std::move(requested));
  connect(follower_.get(), &ScanFollower::snapshotRead, this,
          [this](std::shared_ptr<const ScanSnapshot> snapshot) { ApplySnapshot(*snapshot); });
  connect(follower_.get(), &ScanFollower::scanEnded, this, [this] { ScanEnded(); });
  follower_->Start();
}

void CConfigurationScanPane::ApplySnapshot(const ScanSnapshot& snapshot) {
  const QString scanTime = FormatScanTime(snapshot.header.m_strScanStart);
  const qlonglong seconds = QString::fromStdString(snapshot.header.m_strScanStart).toLongLong();
  // The rows by address, so a pass over a large pool stays one look-up per record.
  QHash<QString, ScanListItem*> rows = RowsByAddress();
  bool appended = false;
  list_->setUpdatesEnabled(false);
  for (const auto& [key, record] : snapshot.map) {
    const QString address = QString::fromStdString(record->m_strAddress);
    ScanListItem*& row = rows[address];
    if (!row) {
      row = new ScanListItem(list_);
      row->SetAddress(address);
      appended = true;
    }
    row->SetCell(1, QString::fromStdString(record->m_strName));
    row->setData(2, ScanListItem::kSecondsRole, seconds);
    row->SetCell(2, scanTime);
    row->SetCell(3, QString::fromStdString(record->m_strStatus));
  }
  if (appended) {
    list_->m_arrMarkedRows.clear();
    list_->sortItems(0, Qt::AscendingOrder);
  }
  list_->setUpdatesEnabled(true);
  const int count = list_->topLevelItemCount();
  if (progress_->isVisible()) {
    const int total = ProgressTotal(snapshot.header.m_strScanTotal);
    if (progress_->maximum() != total) progress_->setRange(0, total);
    if (progress_->value() != count) progress_->setValue(std::min(count, progress_->maximum()));
  } else if (stopLabel_->isVisible()) {
    stopLabel_->setText(stopLabel_->text() + QStringLiteral("."));
  }
  const QString counter = CounterText(count, snapshot.header.m_strScanTotal);
  if (counter_->text() != counter) counter_->setText(counter);
}

void CConfigurationScanPane::ScanEnded() {
  follower_.release()->deleteLater();
  scanButton_->SetStartEnabled(!poolCombo_->currentText().isEmpty());
  busy_ = false;
  scanButton_->SetBusy(false);
  progress_->setValue(progress_->maximum());
  progressLabel_->hide();
  progress_->hide();
  stopButton_->setEnabled(false);
  stopLabel_->hide();
  CMirvaleApp& app = context_.app;
  app.WithDocument([](CMirvaleDoc& doc) { doc.m_strScanPool.clear(); });
  // The follower reloaded both databases: every pane (Home too) shows the scan's end now.
  app.SetFollowingScan(false);
  app.AnnounceDatabaseReloaded();
  // Its result is not shown: the next commit carries the cleared request anyway. The pane takes
  // no start meanwhile, so this commit never overtakes a new request's.
  requesting_ = true;
  app.Commit({this}, CMirvaleApp::OnConflict::KeepMine);
  requesting_ = false;
  emit followingEnded();
}

void CConfigurationScanPane::StopScan() {
  if (!SendServiceRequest(context_.app, platform::ControlStopScan, this)) {
    ShowInformation(this, QString::fromLatin1(kServiceNotResponding));
    return;
  }
  stopLabel_->show();
  progress_->hide();
  progressLabel_->hide();
  stopButton_->setEnabled(false);
  stopLabel_->setText(QStringLiteral("Wait while stop scanning..."));
}

void CConfigurationScanPane::AddPool() {
  auto* dialog = new CConfigurationPoolProperties(context_.app, QString(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] { AfterPoolDialog(dialog->PoolName(), true); });
  dialog->open();
}

void CConfigurationScanPane::ModifyPool() {
  const QString pool = poolCombo_->currentText();
  if (pool.isEmpty()) return;
  auto* dialog = new CConfigurationPoolProperties(context_.app, pool, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] { AfterPoolDialog(dialog->PoolName(), false); });
  dialog->open();
}

void CConfigurationScanPane::AfterPoolDialog(const QString& poolName, bool added) {
  if (added && !context_.app.Document().m_mapPools.Contains(poolName.toStdString())) return;
  SelectPool(poolName);
  const auto answer = Prompter::Current().Ask(
      this, QMessageBox::Question,
      QStringLiteral("Would you like to start Pool scan? By clicking 'Yes' you will start scanning your pool devices "
                     "now."),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes) StartScan();
}

void CConfigurationScanPane::DeletePool() {
  const std::string pool = poolCombo_->currentText().toStdString();
  CMirvaleApp& app = context_.app;
  if (pool.empty() || !app.Document().m_mapPools.Contains(pool)) return;
  const auto answer = Prompter::Current().Ask(
      this, QMessageBox::Information, QStringLiteral("Are you sure you would like to delete the selected pool?"),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer != QMessageBox::Yes) return;
  // The pane shows the busy cursor while the service is waited for (see AwaitWithoutFreezing).
  app.WithDocument([&](CMirvaleDoc& doc) {
    doc.m_mapAutoScan.Remove(pool);
    doc.m_mapPools.Remove(pool);
  });
  poolCombo_->removeItem(poolCombo_->currentIndex());
  poolCombo_->setCurrentIndex(-1);
  list_->clear();
  scanButton_->SetStartEnabled(false);
  // The service prunes only what the stored settings no longer hold.
  if (!app.CommitSettings(this, {this})) return;
  DeviceDatabaseMap copy;
  app.Store().CopyDatabaseMap(copy);
  bool removed = false;
  for (const auto& [key, device] : copy)
    if (device->m_strPool == pool) removed = app.Store().RemoveDbItem(key) || removed;
  if (removed) SendServiceRequest(app, platform::ControlPruneDatabase, this);
}

void CConfigurationScanPane::Search() {
  const QString text = searchEdit_->text().toUpper();
  if (!text.isEmpty()) {
    list_->m_strSearch = text;
    list_->viewport()->update();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
      QTreeWidgetItem* row = list_->topLevelItem(i);
      bool found = false;
      for (int column = 0; column < list_->columnCount() && !found; ++column)
        found = row->text(column).toUpper().contains(text);
      if (found) {
        list_->scrollToItem(row);
        break;
      }
    }
  }
  searchEdit_->clear();
}

void CConfigurationScanPane::ExportDialog() {
  QString filter;
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Export Results"), QString(),
      QStringLiteral("CSV (Comma delimited) (*.csv);;Text (Tab delimited) (*.txt)"), &filter);
  if (!path.isEmpty()) ExportTo(path, filter);
}

bool CConfigurationScanPane::ExportTo(const QString& path, const QString& selectedFilter) {
  std::vector<std::string> titles;
  for (int column = 0; column < list_->columnCount(); ++column)
    titles.push_back(list_->headerItem()->text(column).toStdString());
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    std::vector<std::string>& cells = rows.emplace_back();
    for (int column = 0; column < list_->columnCount(); ++column)
      cells.push_back(list_->topLevelItem(i)->text(column).toStdString());
  }
  const std::string file = ExportPathFor(path.toStdString(), selectedFilter.toStdString());
  if (ExportPathReplacesUnasked(path.toStdString(), file) &&
      !AskYesNo(this, QString::fromStdString(ReplaceQuestionFor(file))))
    return false;
  if (ExportListToFile(file, ExportTypeFor(file), titles, rows)) return true;
  ShowInformation(this, QString::fromLatin1(kExportFailedText));
  return false;
}

void CConfigurationScanPane::SortByColumn(int column) {
  sortColumn_ = column;
  ascending_ = !ascending_;
  list_->m_arrMarkedRows.clear();
  list_->sortItems(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CConfigurationScanPane::OpenResults(QTreeWidgetItem* row) {
  list_->m_strSearch.clear();
  list_->viewport()->update();
  if (!row) return;
  QString pool = poolCombo_->currentText();
  if (pool.isEmpty()) pool = QString::fromStdString(context_.app.Store().ScanHeader().m_strScanPool);
  OpenScanResults(context_.app, context_.detailPages, row->text(0), row->text(1), row->text(3), pool, this);
}

void CConfigurationScanPane::OpenScanMenu() {
  if (busy_ || requesting_) return;
  scanButton_->SetMenuOpen(true);
  const bool chosen = !poolCombo_->currentText().isEmpty();
  QMenu menu(this);
  QAction* start = menu.addAction(QStringLiteral("Start Scan"));
  menu.setDefaultAction(start);
  menu.addSeparator();
  QAction* modify = menu.addAction(QStringLiteral("Modify Pool"));
  QAction* remove = menu.addAction(QStringLiteral("Delete selected Pool"));
  QAction* add = menu.addAction(QStringLiteral("Add Pool to the pools list"));
  start->setEnabled(chosen);
  modify->setEnabled(chosen);
  remove->setEnabled(chosen);
  QAction* picked = menu.exec(scanButton_->mapToGlobal(scanButton_->rect().bottomLeft()));
  scanButton_->SetMenuOpen(false);
  if (picked == start)
    StartScan();
  else if (picked == modify)
    ModifyPool();
  else if (picked == remove)
    DeletePool();
  else if (picked == add)
    AddPool();
}

bool CConfigurationScanPane::eventFilter(QObject* watched, QEvent* event) {
  if (watched == searchLabel_ && event->type() == QEvent::MouseButtonRelease) {
    Search();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CConfigurationScanPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  searchEdit_->clear();
  // An account outside the operators' group could never save the new pool: it is not offered.
  QTimer::singleShot(0, this, [this] {
    if (isVisible() && context_.app.Document().m_mapPools.empty() && platform::ProcessIsOperator()) AddPool();
  });
  if (!busy_ && !ManualScanUnderWay(context_.app.Document(), context_.app.Store().ScanHeader(),
                                    context_.app.FollowingScan()))
    SetIdle();
  ApplyStatusFilter();
}

void CConfigurationScanPane::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  searchEdit_->clear();
}

void CConfigurationScanPane::SetIdle() {
  {
    QSignalBlocker quiet(poolCombo_);
    poolCombo_->clear();
  }
  counter_->clear();
  list_->clear();
  shownFilter_ = kFilterNone;
  showsFollowedScan_ = false;
  scanButton_->SetStartEnabled(false);
  busy_ = false;
  scanButton_->SetBusy(false);
}

void CConfigurationScanPane::ApplyStatusFilter() {
  if (m_nStatusFilter == kFilterNone) return;
  list_->m_arrMarkedRows.clear();
  const std::vector<ShownRow> rows = ScanRows(m_nStatusFilter);
  // While a manual scan is pending the rows already listed stay, the filtered ones follow them.
  for (const ShownRow& shown : rows) {
    auto* row = new ScanListItem(list_);
    row->SetAddress(shown.address);
    row->setText(1, shown.name);
    row->SetScanTime(shown.scanTime);
    row->setText(3, shown.status);
  }
  sortColumn_ = 0;
  ascending_ = true;
  list_->sortItems(0, Qt::AscendingOrder);
  counter_->setText(CounterText(static_cast<long>(rows.size()), context_.app.Store().ScanHeader().m_strScanTotal));
  if (poolCombo_->currentText().isEmpty()) shownFilter_ = m_nStatusFilter;
  m_nStatusFilter = kFilterNone;
}

void CConfigurationScanPane::paintEvent(QPaintEvent*) { PaintPaneBackground(*this); }

void CConfigurationScanPane::resizeEvent(QResizeEvent*) {
  const int cx = width();
  const int cy = height();
  const QRect label = searchLabel_->geometry();
  searchLabel_->move(cx - label.width() - 180, label.top());
  const int middle = label.center().y();
  searchEdit_->setGeometry(cx - 175, middle - 10, 150, 20);
  searchButton_->setGeometry(cx - 23, middle - 10, 20, 20);
  list_->setGeometry(10, middle + 12, cx - 35, cy - label.bottom() - 65);
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  list_->setColumnWidth(3, std::max(100, cx - scrollBar - 490 - 35));
  setButton_->move(cx - 540, cy - 37);
  restoreButton_->move(cx - 410, cy - 37);
  compareButton_->move(cx - 280, cy - 37);
  exportButton_->move(cx - 150, cy - 37);
}

void RegisterScanPane(PaneRegistry& registry) {
  registry.RegisterPane(PaneSlot::Scan, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationScanPane(context, parent);
  });
}

}  // namespace mirvale

#include "desktop/results/restore_devices_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/results/command_page.h"
#include "desktop/results/configuration_restore_thread.h"
#include "desktop/results/query_page.h"
#include "desktop/results/restore_view.h"
#include "desktop/results/result_widgets.h"
#include "desktop/results/set_restore_job.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/flat_splitter.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/wait_cursor.h"

namespace mirvale {
namespace {

constexpr char kSelectChanges[] = "Select Changes";
constexpr char kUnselectChanges[] = "Unselect Changes";

}  // namespace

// One configuration view as the Command Properties page steps through it.
class RestoreViewRows : public ConfigurationRows {
 public:
  RestoreViewRows(CConfigurationRestoreDevices& dialog, CConfigurationRestoreView& view) : d_(dialog), view_(view) {}
  std::vector<std::string> Lines() const override { return view_.Rows(); }
  std::string HeadingDate() const override { return view_.HeadingDate(); }
  void Select(int row, bool selected) override { SelectRow(view_.List(), row, selected); }
  void Refill() override { d_.FillViews(); }

 private:
  CConfigurationRestoreDevices& d_;
  CConfigurationRestoreView& view_;
};

CConfigurationRestoreDevices::CConfigurationRestoreDevices(CMirvaleApp& app, QWidget* parent)
    : QDialog(parent), app_(app) {
  setObjectName(QStringLiteral("RestoreDevices"));
  setWindowTitle(QStringLiteral("Restore Devices"));
  pool_ = ChoiceCombo(*this, "PoolCombo", 200);
  device_ = ChoiceCombo(*this, "DeviceCombo", 200);
  link_ = new LinkLabel(QString::fromLatin1(kSelectChanges), this);
  link_->setObjectName(QStringLiteral("SelectChanges"));
  count_ = new QLabel(this);
  list_ = ResultList(*this, "ResultList");
  SetListColumns(*list_, {{QString(), 0}});
  splitter_ = new CFlatSplitterWnd(this);
  current_ = new CConfigurationRestoreView(app, false, splitter_);
  previous_ = new CConfigurationRestoreView(app, true, splitter_);
  splitter_->addWidget(current_);
  splitter_->addWidget(previous_);
  splitter_->hide();
  restore_ = RequestButton(*this, QStringLiteral("Restore Changes"), "RestoreChanges");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  AddChoices(*this, *layout,
             {{QStringLiteral("Select Pool:"), pool_}, {QStringLiteral("Select device address:"), device_}});
  layout->addLayout(
      CaptionRow(*this, QStringLiteral("Configuration results (click any line for details):"), count_, link_));
  layout->addWidget(list_, 1);
  layout->addWidget(splitter_, 1);
  AddButtonBand(*this, *layout, restore_);
  resize(900, 560);

  FillPoolCombo(*pool_, app_.Document());

  connect(pool_, &QComboBox::activated, this, &CConfigurationRestoreDevices::OnSelchangePool);
  connect(device_, &QComboBox::activated, this, &CConfigurationRestoreDevices::OnSelchangeDevice);
  connect(link_, &LinkLabel::clicked, this, &CConfigurationRestoreDevices::OnSelectChanges);
  connect(restore_, &QPushButton::clicked, this, &CConfigurationRestoreDevices::OnRestoreChanges);
  connect(list_->header(), &QHeaderView::sectionClicked, this, &CConfigurationRestoreDevices::SortBy);
  connect(list_, &QTreeWidget::itemChanged, this, &CConfigurationRestoreDevices::UpdateRestoreButton);
  connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    if (!ClickedTickBox(*list_, item)) OnClickResults(list_->indexOfTopLevelItem(item));
  });
  for (CConfigurationRestoreView* view : {current_, previous_}) {
    connect(view, &CConfigurationRestoreView::rowClicked, this,
            [this, view](int row) { OnClickConfiguration(*view, row); });
  }
  connect(previous_, &CConfigurationRestoreView::ticksChanged, this,
          &CConfigurationRestoreDevices::UpdateRestoreButton);
}

const CPoolItem* CConfigurationRestoreDevices::Pool() const {
  return app_.Document().m_mapPools.Find(pool_->currentText().toStdString());
}

void CConfigurationRestoreDevices::OnSelchangePool() {
  device_->clear();
  rows_.clear();
  const CPoolItem* pool = Pool();
  if (!pool) return;
  if (pool->IsShellPool()) {
    list_->hide();
    splitter_->show();
    count_->clear();
    FillViews();
  }
  if (pool->IsSnmpPool()) {
    splitter_->hide();
    list_->show();
    SetListColumns(*list_, {{QStringLiteral("Query"), std::max(150, list_->viewport()->width() - 400)},
                            {QStringLiteral("Value"), 80},
                            {QStringLiteral("Date"), 150},
                            {QStringLiteral("Prev Value"), 80},
                            {QStringLiteral("Prev Date"), 150}});
  }
  DeviceDatabaseMap devices;
  app_.Store().CopyDatabaseMap(devices);
  const std::string name = pool_->currentText().toStdString();
  for (const auto& address : DeviceAddresses(devices, &name)) device_->addItem(QString::fromStdString(address));
  device_->setCurrentIndex(-1);
  restore_->setEnabled(false);
}

void CConfigurationRestoreDevices::FillViews() {
  const std::string pool = pool_->currentText().toStdString(), device = device_->currentText().toStdString();
  previous_->FillConfiguration(pool, device);
  current_->FillConfiguration(pool, device);
}

void CConfigurationRestoreDevices::OnSelchangeDevice() {
  link_->setText(QString::fromLatin1(kSelectChanges));
  WaitCursor wait;
  const CPoolItem* pool = Pool();
  if (!pool) return;
  if (pool->IsShellPool() && !pool->IsSnmpPool()) {
    FillViews();
    UpdateRestoreButton();
    return;
  }
  rows_.clear();
  CDbItem device;
  if (app_.Store().GetDbItem(DeviceKey(pool_->currentText().toStdString(), device_->currentText().toStdString()),
                             device))
    for (const auto& [key, result] : device.m_pQueries) rows_.push_back(ValueRowOf(*result));
  count_->setText(QString::number(rows_.size()));
  sortColumn_ = 0;
  ascending_ = true;
  FillSnmpList();
}

void CConfigurationRestoreDevices::SortBy(int column) {
  sortColumn_ = column;
  ascending_ = !ascending_;
  FillSnmpList();
}

void CConfigurationRestoreDevices::FillSnmpList() {
  std::stable_sort(rows_.begin(), rows_.end(), [this](const ValueRow& a, const ValueRow& b) {
    const int order = CompareValueRows(a, b, sortColumn_);
    return ascending_ ? order < 0 : order > 0;
  });
  QSignalBlocker quiet(list_);
  list_->clear();
  for (const auto& row : rows_) AppendRow(*list_, ValueCells(row), true);
  UpdateRestoreButton();
}

void CConfigurationRestoreDevices::UpdateRestoreButton() {
  bool any = false;
  if (list_->isVisibleTo(this)) {
    for (int row = 0; row < list_->topLevelItemCount() && !any; ++row) any = IsTicked(*list_, row);
  } else {
    any = !previous_->TickedRows().empty();
  }
  restore_->setEnabled(any);
}

void CConfigurationRestoreDevices::OnSelectChanges() {
  WaitCursor wait;
  const bool select = link_->text() == QLatin1String(kSelectChanges);
  if (list_->isVisibleTo(this)) {
    QSignalBlocker quiet(list_);
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
      SetTicked(*list_, row, select && !rows_[static_cast<size_t>(row)].prevTime.empty());
  } else {
    QSignalBlocker quiet(&previous_->List());
    if (select)
      previous_->SelectChanges();
    else
      previous_->UnselectChanges();
  }
  link_->setText(QString::fromLatin1(select ? kUnselectChanges : kSelectChanges));
  UpdateRestoreButton();
}

void CConfigurationRestoreDevices::OnRestoreChanges() {
  if (Prompter::Current().Ask(this, QMessageBox::Question,
                              QStringLiteral("Are you sure you would like to restore the selected changes?"),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) != QMessageBox::Yes)
    return;
  const std::string pool = pool_->currentText().toStdString(), address = device_->currentText().toStdString();
  const CPoolItem* poolItem = Pool();
  std::vector<RestoreRequest> requests;
  CDbItem device;
  const bool known = poolItem && app_.Store().GetDbItem(DeviceKey(pool, address), device);
  const bool shell = known && list_->isHidden();
  if (shell) {
    for (const auto& change : CollectMarkedChanges(previous_->Rows(), previous_->TickedRows()))
      requests.push_back({address + "/" + change.command, CRestoreItem{pool, address, device.m_strName, change.command,
                                                                       "", change.value, "", app_.UserName()}});
  } else if (known) {
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
      if (!IsTicked(*list_, row)) continue;
      const ValueRow& r = rows_[static_cast<size_t>(row)];
      if (!device.m_pQueries.Contains(r.key)) continue;
      requests.push_back({address + "/" + r.key, CRestoreItem{pool, address, device.m_strName, r.query, r.key,
                                                              r.prevValue, "", app_.UserName()}});
    }
  }
  if (!SetRestoreJob(app_, this, requests)) return;
  if (!Pool()) return;
  bool failed = false;
  for (const auto& request : requests) failed = failed || !RequestSucceeded(app_.Document(), request.key);
  if (app_.Store().GetDbItem(DeviceKey(pool, address), device)) {
    if (shell) {
      FillViews();
    } else {
      for (size_t row = 0; row < rows_.size(); ++row)
        if (const CDbQuery* result = device.m_pQueries.Find(rows_[row].key)) rows_[row] = ValueRowOf(*result);
      FillSnmpList();
    }
    link_->setText(QString::fromLatin1(kSelectChanges));
    restore_->setEnabled(false);
  }
  if (failed && !requests.empty())
    ShowInformation(this, QString::fromStdString(WithFailureReasons(
                              "Restore failed for some or all queries, please check device permissions.",
                              app_.Document(), KeysOf(requests))));
}

void CConfigurationRestoreDevices::OnClickResults(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  ValueListRows rows(*list_, rows_);
  RunQueryProperties(app_, {device_->currentText().toStdString(), pool_->currentText().toStdString()}, rows, row, this);
}

void CConfigurationRestoreDevices::OnClickConfiguration(CConfigurationRestoreView& view, int row) {
  if (row < 0) return;
  RestoreViewRows rows(*this, view);
  RunCommandProperties(app_, {device_->currentText().toStdString(), pool_->currentText().toStdString()}, rows, row,
                       this);
}

void CConfigurationRestoreDevices::paintEvent(QPaintEvent*) { PaintDialogBand(*this); }

}  // namespace mirvale

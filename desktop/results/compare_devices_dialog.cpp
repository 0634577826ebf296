#include "desktop/results/compare_devices_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/results/command_page.h"
#include "desktop/results/query_page.h"
#include "desktop/results/result_logic.h"
#include "desktop/results/result_widgets.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/wait_cursor.h"

namespace mirvale {
namespace {

constexpr char kMarkChanges[] = "Mark Changes";
constexpr char kUnmarkChanges[] = "Unmark Changes";

bool SameNoCase(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

// The Compare Command page: a configuration line with the lines above it as its context.
class CompareCommandSource : public CommandPageSource {
 public:
  CompareCommandSource(CConfigurationCompareDevices& dialog, int side)
      : d_(dialog), side_(d_.sides_[static_cast<size_t>(side)]) {}
  int RowCount() const override { return static_cast<int>(side_.lines.size()); }
  CommandFields Row(int row) const override {
    CommandParts parts = RowCommand(side_.lines, static_cast<size_t>(row));
    CommandFields fields{.address = side_.device->currentText().toStdString(),
                         .pool = d_.pool_->currentText().toStdString(),
                         .date = side_.date,
                         .command = parts.command,
                         .parameters = parts.parameters};
    FillDeviceName(d_.app_, fields);
    return fields;
  }
  void Select(int row, bool selected) override { SelectRow(*side_.list, row, selected); }
  int AfterSet(int row, const CommandFields& sent) override {
    CDbItem device;
    if (!d_.app_.Store().GetDbItem(DeviceKey(sent.pool, sent.address), device)) return row;
    d_.FillSide(side_);
    row = RowOfSent(side_.lines, sent, row);
    SelectRow(*side_.list, row);
    return row;
  }

 private:
  CConfigurationCompareDevices& d_;
  CConfigurationCompareDevices::Side& side_;
};

CConfigurationCompareDevices::CConfigurationCompareDevices(CMirvaleApp& app, QWidget* parent)
    : QDialog(parent), app_(app) {
  setObjectName(QStringLiteral("CompareDevices"));
  setWindowTitle(QStringLiteral("Compare Devices"));
  pool_ = ChoiceCombo(*this, "PoolCombo", 180);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 12, 10, 12);
  auto* poolRow = new QHBoxLayout;
  poolRow->addWidget(new QLabel(QStringLiteral("Select Pool:"), this));
  poolRow->addWidget(pool_);
  poolRow->addStretch(1);
  layout->addLayout(poolRow);
  auto* columns = new QGridLayout;
  const char* deviceLabels[] = {"Select first device address:", "Select second device address:"};
  for (int i = 0; i < 2; ++i) {
    Side& side = sides_[static_cast<size_t>(i)];
    side.device = ChoiceCombo(*this, i ? "SecondDevice" : "FirstDevice", 180);
    side.list = ResultList(*this, i ? "SecondList" : "FirstList");
    side.list->m_arrMarkedCols = {0, 1, 2};
    side.list->m_clrMark = QColor(255, 255, 153);
    SetListColumns(*side.list, {{QString(), 0}});
    side.mark = new LinkLabel(QString::fromLatin1(kMarkChanges), this);
    side.count = new QLabel(this);
    auto* above =
        CaptionRow(*this, QStringLiteral("Configuration results (click any line for details):"), side.count, side.mark);
    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(new QLabel(QString::fromLatin1(deviceLabels[i]), this));
    deviceRow->addWidget(side.device);
    deviceRow->addStretch(1);
    columns->addLayout(deviceRow, 0, i);
    columns->addLayout(above, 1, i);
    columns->addWidget(side.list, 2, i);
    connect(side.device, &QComboBox::activated, this, [this, i] { OnSelendokDevice(i); });
    connect(side.mark, &LinkLabel::clicked, this, [this, i] { OnMarkChanges(i); });
    connect(side.list->header(), &QHeaderView::sectionClicked, this, [this, i](int column) { SortBy(i, column); });
    connect(side.list, &QTreeWidget::itemClicked, this, [this, i](QTreeWidgetItem* item) {
      OnClickResults(i, sides_[static_cast<size_t>(i)].list->indexOfTopLevelItem(item));
    });
  }
  columns->setRowStretch(2, 1);
  layout->addLayout(columns, 1);
  AddButtonBand(*this, *layout, nullptr);
  resize(980, 560);

  FillPoolCombo(*pool_, app_.Document());
  connect(pool_, &QComboBox::activated, this, &CConfigurationCompareDevices::OnSelendokPool);
}

QComboBox& CConfigurationCompareDevices::DeviceCombo(int side) { return *sides_[static_cast<size_t>(side)].device; }
CColorListCtrl& CConfigurationCompareDevices::List(int side) { return *sides_[static_cast<size_t>(side)].list; }
LinkLabel& CConfigurationCompareDevices::MarkLink(int side) { return *sides_[static_cast<size_t>(side)].mark; }

void CConfigurationCompareDevices::Side::ClearRows() {
  list->clear();
  lines.clear();
  date.clear();
  values.clear();
}

const CPoolItem* CConfigurationCompareDevices::Pool() const {
  return app_.Document().m_mapPools.Find(pool_->currentText().toStdString());
}

void CConfigurationCompareDevices::OnSelendokPool() {
  const CPoolItem* pool = Pool();
  for (Side& side : sides_) {
    side.device->clear();
    side.count->clear();
    side.ClearRows();
  }
  if (!pool) return;
  shell_ = !pool->IsSnmpPool();
  for (Side& side : sides_) {
    if (shell_)
      SetListColumns(*side.list, {{QString(), 0}});
    else
      SetListColumns(*side.list, {{QStringLiteral("Query"), std::max(120, side.list->viewport()->width() - 200)},
                                  {QStringLiteral("Value"), 80},
                                  {QStringLiteral("Date"), 150}});
    side.list->setSelectionBehavior(shell_ ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
  }
  DeviceDatabaseMap devices;
  app_.Store().CopyDatabaseMap(devices);
  const std::string name = pool_->currentText().toStdString();
  for (const auto& address : DeviceAddresses(devices, &name))
    for (Side& side : sides_) side.device->addItem(QString::fromStdString(address));
  for (Side& side : sides_) side.device->setCurrentIndex(-1);
}

void CConfigurationCompareDevices::ClearMarks() {
  for (Side& side : sides_) {
    side.list->m_arrMarkedRows.clear();
    side.mark->setText(QString::fromLatin1(kMarkChanges));
    side.list->viewport()->update();
  }
}

void CConfigurationCompareDevices::OnSelendokDevice(int index) {
  ClearMarks();
  FillSide(sides_[static_cast<size_t>(index)]);
}

void CConfigurationCompareDevices::FillSide(Side& side) {
  WaitCursor wait;
  side.ClearRows();
  const CPoolItem* pool = Pool();
  CDbItem device;
  if (!pool || !app_.Store().GetDbItem(
                   DeviceKey(pool_->currentText().toStdString(), side.device->currentText().toStdString()), device))
    return;
  if (shell_) {
    side.date = FormatStoredTime(device.m_strScanTime);
    SetListColumns(*side.list, {{QString::fromStdString("Current Configuration: " + side.date), 0}});
    for (const CDbQuery* line : ConfigurationLines(device))
      if (IsCurrentLine(*line, device)) {
        side.lines.push_back(line->m_strValue);
        AppendRow(*side.list, {side.lines.back()});
      }
    return;
  }
  for (const auto& [key, result] : device.m_pQueries) {
    side.values.push_back(ValueRowOf(*result));
    AppendRow(*side.list, ValueCells(side.values.back()));
  }
  side.count->setText(QString::number(side.values.size()));
  sortColumn_ = 0;
  ascending_ = false;
  SortBy(static_cast<int>(&side - sides_.data()), 0);
}

void CConfigurationCompareDevices::SortBy(int index, int column) {
  if (shell_) return;  // configuration lines keep their stored order
  sortColumn_ = column;
  ascending_ = !ascending_;
  Side& side = sides_[static_cast<size_t>(index)];
  SortShownRows(*side.list, side.values, [&](const ValueRow& a, const ValueRow& b) {
    const int order = CompareValueRows(a, b, column);
    return ascending_ ? order < 0 : order > 0;
  });
}

void CConfigurationCompareDevices::OnMarkChanges(int index) {
  Side& side = sides_[static_cast<size_t>(index)];
  Side& other = sides_[static_cast<size_t>(1 - index)];
  side.list->m_arrMarkedRows.clear();
  WaitCursor wait;
  if (side.mark->text() != QLatin1String(kMarkChanges)) {
    side.mark->setText(QString::fromLatin1(kMarkChanges));
  } else {
    if (shell_) {
      const std::vector<std::string>& theirs = other.lines;
      for (size_t row = 0; row < side.lines.size(); ++row)
        if (!theirs.empty() && std::none_of(theirs.begin(), theirs.end(),
                                            [&](const std::string& t) { return SameNoCase(t, side.lines[row]); }))
          side.list->m_arrMarkedRows.append(static_cast<int>(row));
    } else {
      for (size_t row = 0; row < side.values.size(); ++row) {
        const ValueRow& mine = side.values[row];
        if (std::any_of(other.values.begin(), other.values.end(), [&](const ValueRow& theirs) {
              return SameNoCase(mine.query, theirs.query) && mine.value != theirs.value;
            }))
          side.list->m_arrMarkedRows.append(static_cast<int>(row));
      }
    }
    side.mark->setText(QString::fromLatin1(kUnmarkChanges));
  }
  side.list->viewport()->update();
}

void CConfigurationCompareDevices::OnClickResults(int index, int row) {
  const CPoolItem* pool = Pool();
  if (!pool || row < 0) return;
  if (shell_) {
    if (Trim(sides_[static_cast<size_t>(index)].lines[static_cast<size_t>(row)]).size() <= 1) return;
    CompareCommandSource source(*this, index);
    CommandPage page(app_, source, row, QStringLiteral("Command Properties"), this);
    page.exec();
  } else {
    Side& side = sides_[static_cast<size_t>(index)];
    ValueListRows rows(*side.list, side.values);
    RunQueryProperties(app_, {side.device->currentText().toStdString(), pool_->currentText().toStdString()}, rows, row,
                       this);
  }
}

void CConfigurationCompareDevices::paintEvent(QPaintEvent*) { PaintDialogBand(*this); }

}  // namespace mirvale

#include "desktop/results/restore_view.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "desktop/results/result_logic.h"
#include "desktop/results/result_widgets.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/wait_cursor.h"

namespace mirvale {

CConfigurationRestoreView::CConfigurationRestoreView(CMirvaleApp& app, bool previous, QWidget* parent)
    : QWidget(parent),
      app_(app),
      previous_(previous),
      list_(ResultList(*this, previous ? "PreviousList" : "CurrentList")) {
  setObjectName(previous ? QStringLiteral("PreviousView") : QStringLiteral("CurrentView"));
  list_->setUniformRowHeights(true);
  list_->header()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  SetListColumns(*list_, {{QString(), 0}});
  connect(list_, &QTreeWidget::itemChanged, this, [this] { emit ticksChanged(); });
  connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    // Only the previous side has tick boxes.
    if (!(previous_ && ClickedTickBox(*list_, item))) emit rowClicked(list_->indexOfTopLevelItem(item));
  });
}

void CConfigurationRestoreView::FillConfiguration(const std::string& pool, const std::string& device) {
  WaitCursor wait;
  pool_ = pool;
  device_ = device;
  QSignalBlocker quiet(list_);
  list_->clear();
  rows_.clear();
  date_.clear();
  const std::string heading = previous_ ? "Previous Configuration: " : "Current Configuration: ";
  CDbItem record;
  if (!app_.Document().m_mapPools.Contains(pool) || !app_.Store().GetDbItem(DeviceKey(pool, device), record)) {
    SetListColumns(*list_, {{QString::fromStdString(heading), 0}});
    return;
  }
  std::string previousTime;
  for (const CDbQuery* line : ConfigurationLines(record)) {
    if (previous_ && !line->m_strPrevValue.empty() && line->m_strPrevTime != record.m_strScanTime) {
      rows_.push_back(line->m_strPrevValue);
      previousTime = line->m_strPrevTime;
    } else if (IsCurrentLine(*line, record)) {
      rows_.push_back(line->m_strValue);
    }
  }
  if (previous_ && previousTime.empty()) rows_.clear();
  if (!rows_.empty()) date_ = FormatStoredTime(previous_ ? previousTime : record.m_strScanTime);
  SetListColumns(*list_, {{QString::fromStdString(heading + date_), 0}});
  for (const auto& row : rows_) AppendRow(*list_, {row}, previous_);
}

bool CConfigurationRestoreView::SelectChanges() {
  CDbItem record;
  if (!app_.Store().GetDbItem(DeviceKey(pool_, device_), record)) return false;
  std::vector<StoredLine> lines;
  for (const CDbQuery* line : ConfigurationLines(record))
    lines.push_back({line->m_strValue, IsCurrentLine(*line, record)});
  std::set<size_t> ticked = mirvale::SelectChanges(lines, Rows());
  for (size_t row : ticked) SetTicked(*list_, static_cast<int>(row), true);
  return !ticked.empty();
}

void CConfigurationRestoreView::UnselectChanges() {
  for (int row = 0; row < list_->topLevelItemCount(); ++row) SetTicked(*list_, row, false);
}

std::set<size_t> CConfigurationRestoreView::TickedRows() const {
  std::set<size_t> ticked;
  for (int row = 0; row < list_->topLevelItemCount(); ++row)
    if (IsTicked(*list_, row)) ticked.insert(static_cast<size_t>(row));
  return ticked;
}

}  // namespace mirvale

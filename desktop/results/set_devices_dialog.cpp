#include "desktop/results/set_devices_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

#include "desktop/results/command_page.h"
#include "desktop/results/configuration_restore_thread.h"
#include "desktop/results/drop_down_combo.h"
#include "desktop/results/query_page.h"
#include "desktop/results/result_logic.h"
#include "desktop/results/result_widgets.h"
#include "desktop/results/set_restore_job.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/wait_cursor.h"

namespace mirvale {
namespace {

constexpr char kSelectAll[] = "Select all devices";
constexpr char kUnselectAll[] = "Unselect all devices";

QTreeWidgetItem* ChildWithText(QTreeWidget& tree, QTreeWidgetItem* parent, const std::string& text) {
  const QString wanted = QString::fromStdString(text);
  const int count = parent ? parent->childCount() : tree.topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* item = parent ? parent->child(i) : tree.topLevelItem(i);
    if (item->text(0) == wanted) return item;
  }
  return nullptr;
}

QTreeWidgetItem* AddChild(QTreeWidget& tree, QTreeWidgetItem* parent, const std::string& text) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);
  item->setText(0, QString::fromStdString(text));
  return item;
}

void SortChildren(QTreeWidget& tree, QTreeWidgetItem* parent) {
  QList<QTreeWidgetItem*> items = parent ? parent->takeChildren() : QList<QTreeWidgetItem*>();
  if (!parent)
    while (tree.topLevelItemCount() > 0) items.append(tree.takeTopLevelItem(0));
  std::stable_sort(items.begin(), items.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
    return CompareNatural(a->text(0).toStdString(), b->text(0).toStdString()) < 0;
  });
  if (parent)
    parent->addChildren(items);
  else
    tree.addTopLevelItems(items);
}

std::vector<std::string> LineTexts(const CDbItem& device, std::vector<const CDbQuery*>& lines) {
  lines = ConfigurationLines(device);
  std::vector<std::string> texts;
  for (const CDbQuery* line : lines) texts.push_back(line->m_strValue);
  return texts;
}

}  // namespace

// The Command page of a Set Devices row (shell pool).
class ChangeCommandSource : public CommandPageSource {
 public:
  explicit ChangeCommandSource(CConfigurationSetDevices& dialog) : d_(dialog) {}
  int RowCount() const override { return static_cast<int>(d_.rows_.size()); }
  CommandFields Row(int row) const override {
    const SetRow& r = d_.rows_[static_cast<size_t>(row)];
    CommandParts parts = SplitCommandCell(r.command);
    return {.address = r.address,
            .name = r.name,
            .pool = d_.pool_->currentText().toStdString(),
            .date = FormatStoredTime(r.commandTime),
            .command = parts.command,
            .parameters = parts.parameters};
  }
  void Select(int row, bool selected) override { SelectRow(*d_.list_, row, selected); }
  int AfterSet(int row, const CommandFields& sent) override {
    CDbItem device;
    if (!d_.app_.Store().GetDbItem(DeviceKey(sent.pool, sent.address), device)) return row;
    const bool nested = sent.command.find(kPathMarker) != std::string::npos;
    SetRow& r = d_.rows_[static_cast<size_t>(row)];
    r.command = nested ? sent.command + std::string(kPathMarker) + sent.parameters : sent.parameters;
    r.commandTime = device.m_strScanTime;
    d_.ShowRow(row);
    return row;
  }

 private:
  CConfigurationSetDevices& d_;
};

// The Query page of a Set Devices row (SNMP pool).
class ChangeQuerySource : public QueryPageSource {
 public:
  explicit ChangeQuerySource(CConfigurationSetDevices& dialog) : d_(dialog) {}
  int RowCount() const override { return static_cast<int>(d_.rows_.size()); }
  QueryFields Row(int row) const override {
    const SetRow& r = d_.rows_[static_cast<size_t>(row)];
    return StoredValueFields(d_.app_, {r.address, d_.pool_->currentText().toStdString()}, ShownValue(r.result));
  }
  void Select(int row, bool selected) override { SelectRow(*d_.list_, row, selected); }
  int AfterSet(int row, const QueryFields& sent) override {
    CDbItem device;
    const CDbQuery* result = StoredAsSent(d_.app_, sent, device);
    if (!result) return row;
    RefreshValues(d_.rows_[static_cast<size_t>(row)].result, *result);
    d_.ShowRow(row);
    return row;
  }

 private:
  CConfigurationSetDevices& d_;
};

CConfigurationSetDevices::CConfigurationSetDevices(CMirvaleApp& app, QWidget* parent) : QDialog(parent), app_(app) {
  setObjectName(QStringLiteral("SetDevices"));
  setWindowTitle(QStringLiteral("Set Devices"));
  pool_ = ChoiceCombo(*this, "PoolCombo", 180);
  command_ = new DropDownCombo(false, this);
  command_->setObjectName(QStringLiteral("CommandCombo"));
  command_->setMinimumWidth(320);
  value_ = new QLineEdit(this);
  value_->setObjectName(QStringLiteral("ValueEdit"));
  value_->setEnabled(false);
  selectAll_ = new LinkLabel(QString::fromLatin1(kSelectAll), this);
  count_ = new QLabel(this);
  list_ = ResultList(*this, "DeviceList");
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  SetListColumns(*list_, {{QStringLiteral("Device"), 100}, {QStringLiteral("Name"), 100}});
  picker_ = new QTreeWidget(this);
  picker_->setObjectName(QStringLiteral("Picker"));
  picker_->setWindowFlags(Qt::Popup);
  picker_->setHeaderHidden(true);
  picker_->installEventFilter(this);
  picker_->hide();
  set_ = RequestButton(*this, QStringLiteral("Set Changes"), "SetChanges");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  auto* choices = new QGridLayout;
  choices->addWidget(new QLabel(QStringLiteral("Select Pool:"), this), 0, 0);
  choices->addWidget(pool_, 1, 0);
  choices->addWidget(new QLabel(QStringLiteral("Select command/query:"), this), 0, 1);
  choices->addWidget(command_, 1, 1);
  choices->addWidget(new QLabel(QStringLiteral("Select parameters/value:"), this), 2, 0, 1, 2);
  choices->addWidget(value_, 3, 0, 1, 2);
  choices->setColumnStretch(2, 1);
  layout->addLayout(choices);
  layout->addLayout(
      CaptionRow(*this, QStringLiteral("Devices results (click any line for details):"), count_, selectAll_));
  layout->addWidget(list_, 1);
  AddButtonBand(*this, *layout, set_);
  resize(900, 560);

  FillPoolCombo(*pool_, app_.Document());

  connect(pool_, &QComboBox::activated, this, &CConfigurationSetDevices::OnSelendokPool);
  connect(command_, &DropDownCombo::aboutToDropDown, this, &CConfigurationSetDevices::OnDropdownCommand);
  connect(picker_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { Pick(item); });
  connect(value_, &QLineEdit::textChanged, this, &CConfigurationSetDevices::UpdateSetButton);
  connect(list_, &QTreeWidget::itemChanged, this, &CConfigurationSetDevices::UpdateSetButton);
  connect(list_->header(), &QHeaderView::sectionClicked, this, &CConfigurationSetDevices::SortBy);
  connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    if (!ClickedTickBox(*list_, item)) OnClickResults(list_->indexOfTopLevelItem(item));
  });
  connect(selectAll_, &LinkLabel::clicked, this, &CConfigurationSetDevices::OnSelectAll);
  connect(set_, &QPushButton::clicked, this, &CConfigurationSetDevices::OnSetChanges);
}

QComboBox& CConfigurationSetDevices::CommandCombo() { return *command_; }

const CPoolItem* CConfigurationSetDevices::Pool() const {
  return app_.Document().m_mapPools.Find(pool_->currentText().toStdString());
}

void CConfigurationSetDevices::OnSelendokPool() {
  m_strPicked.clear();
  command_->clear();
  value_->clear();
  value_->setEnabled(false);
  WaitCursor wait;
  const CPoolItem* pool = Pool();
  std::vector<std::pair<QString, int>> columns = {{QStringLiteral("Device"), 100}, {QStringLiteral("Name"), 100}};
  if (pool && pool->IsShellPool()) {
    shell_ = true;
    columns.insert(columns.end(), {{QStringLiteral("Command"), std::max(200, list_->viewport()->width() - 320)},
                                   {QStringLiteral("Date"), 150}});
  }
  if (pool && pool->IsSnmpPool()) {
    shell_ = false;
    columns.resize(2);
    columns.insert(columns.end(), {{QStringLiteral("Query"), std::max(150, list_->viewport()->width() - 600)},
                                   {QStringLiteral("Value"), 80},
                                   {QStringLiteral("Date"), 150},
                                   {QStringLiteral("Prev Value"), 80},
                                   {QStringLiteral("Prev Date"), 150}});
  }
  QSignalBlocker quiet(list_);
  SetListColumns(*list_, columns);
  rows_.clear();
  if (pool) {
    DeviceDatabaseMap devices;
    app_.Store().CopyDatabaseMap(devices);
    for (const auto& [key, device] : devices)
      if (device->m_strPool == pool_->currentText().toStdString()) {
        rows_.push_back({.address = device->m_strAddress, .name = device->m_strName});
        AppendRow(*list_, SetRowCells(rows_.back(), shell_), true);
      }
  }
  count_->setText(QString::number(rows_.size()));
  sortColumn_ = 0;
  ascending_ = false;
  SortBy(0);
  UpdateSetButton();
}

void CConfigurationSetDevices::SortBy(int column) {
  sortColumn_ = column;
  ascending_ = !ascending_;
  SortShownRows(*list_, rows_, [&](const SetRow& a, const SetRow& b) {
    const int order = CompareSetRows(a, b, column, shell_);
    return ascending_ ? order < 0 : order > 0;
  });
}

void CConfigurationSetDevices::ShowRow(int row) {
  ShowCells(*list_, row, SetRowCells(rows_[static_cast<size_t>(row)], shell_));
}

void CConfigurationSetDevices::FillShellPicker() {
  DeviceDatabaseMap devices;
  app_.Store().CopyDatabaseMap(devices);
  for (const auto& [key, device] : devices) {
    if (device->m_strPool != pool_->currentText().toStdString()) continue;
    std::vector<const CDbQuery*> lines;
    for (const auto& walked : ForwardStackWalk(LineTexts(*device, lines))) {
      QTreeWidgetItem* parent = nullptr;
      bool placed = true;
      for (const auto& text : walked.parents) {
        parent = ChildWithText(*picker_, parent, text);
        if (!parent) {
          placed = false;
          break;
        }
      }
      if (placed && !ChildWithText(*picker_, parent, walked.text)) {
        AddChild(*picker_, parent, walked.text);
        if (parent) SortChildren(*picker_, parent);
      }
    }
  }
  SortChildren(*picker_, nullptr);
}

void CConfigurationSetDevices::FillSnmpPicker() {
  m_mapResultOids.clear();
  m_mapQueryOids.clear();
  std::map<std::string, QTreeWidgetItem*> queryItems;
  const CPoolItem* pool = Pool();
  for (const auto& [oid, query] : pool->m_pQueries) {
    const std::string label = query->m_strName.empty() ? query->m_strOid : query->m_strName;
    if (!ChildWithText(*picker_, nullptr, label)) queryItems[query->m_strOid] = AddChild(*picker_, nullptr, label);
    m_mapQueryOids[label] = query->m_strOid;
  }
  DeviceDatabaseMap devices;
  app_.Store().CopyDatabaseMap(devices);
  for (const auto& [key, device] : devices) {
    if (device->m_strPool != pool_->currentText().toStdString()) continue;
    for (const auto& [resultKey, result] : device->m_pQueries) {
      const std::string label = result->m_strName.empty() ? result->m_strKey : result->m_strName;
      auto query = queryItems.find(result->m_strQueryOid);
      if (query != queryItems.end() && label != query->second->text(0).toStdString()) {
        if (!ChildWithText(*picker_, query->second, label)) {
          AddChild(*picker_, query->second, label);
          SortChildren(*picker_, query->second);
        }
      } else if (!m_mapQueryOids.count(label) && !m_mapResultOids.count(label)) {
        AddChild(*picker_, nullptr, label);
      }
      m_mapResultOids[label] = result->m_strKey;
    }
  }
  SortChildren(*picker_, nullptr);
}

void CConfigurationSetDevices::OnDropdownCommand() {
  picker_->clear();
  WaitCursor wait;
  const CPoolItem* pool = Pool();
  if (!pool) return;
  command_->clear();
  command_->addItem(QString::fromStdString(LastPathPart(m_strPicked)));
  command_->setCurrentIndex(0);
  if (pool->IsShellPool()) FillShellPicker();
  if (pool->IsSnmpPool()) FillSnmpPicker();
  const QRect area(command_->mapToGlobal(QPoint(0, command_->height())), QSize(command_->width(), 300));
  picker_->setGeometry(area);
  picker_->show();
  picker_->setFocus();
  // Reselect the previous pick: its context level by level, then its line below it.
  picker_->clearSelection();
  if (m_strPicked.empty() || m_strPicked == "*") return;
  std::vector<std::string> parts;
  for (std::string rest = m_strPicked;;) {
    size_t marker = rest.find(kPathMarker);
    parts.push_back(rest.substr(0, marker));
    if (marker == std::string::npos) break;
    rest = rest.substr(marker + kPathMarker.size());
  }
  QTreeWidgetItem* level = nullptr;
  for (size_t i = 0; i < parts.size(); ++i) {
    QTreeWidgetItem* found = ChildWithText(*picker_, level, parts[i]);
    if (!found) return;
    level = found;
  }
  level->setSelected(true);
  picker_->scrollToItem(level);
}

std::string CConfigurationSetDevices::PickedOid() const {
  auto query = m_mapQueryOids.find(m_strPicked);
  std::string oid = query != m_mapQueryOids.end() ? query->second : std::string();
  if (oid.empty()) {
    auto result = m_mapResultOids.find(m_strPicked);
    if (result != m_mapResultOids.end()) oid = result->second;
  }
  if (!oid.empty() && m_strPicked.find('.') == std::string::npos) oid += ".0";
  return oid;
}

void CConfigurationSetDevices::Pick(QTreeWidgetItem* item) {
  picker_->hide();
  const CPoolItem* pool = Pool();
  if (!pool || !item) return;
  m_strPicked = item->text(0).toStdString();
  DeviceDatabaseMap devices;
  app_.Store().CopyDatabaseMap(devices);
  const std::string poolName = pool_->currentText().toStdString();
  QSignalBlocker quiet(list_);
  auto firstRowOf = [&](const std::string& address) {
    for (size_t row = 0; row < rows_.size(); ++row)
      if (rows_[row].address == address) return static_cast<int>(row);
    return -1;
  };
  if (pool->IsShellPool()) {
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
      rows_[static_cast<size_t>(row)].command.clear();
      rows_[static_cast<size_t>(row)].commandTime.clear();
      ShowRow(row);
      SelectRow(*list_, row, false);
    }
    for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
      m_strPicked = parent->text(0).toStdString() + std::string(kPathMarker) + m_strPicked;
    for (const auto& [key, device] : devices) {
      if (device->m_strPool != poolName) continue;
      std::vector<const CDbQuery*> lines;
      for (const auto& walked : ForwardStackWalk(LineTexts(*device, lines))) {
        const int row = walked.Path() == m_strPicked ? firstRowOf(device->m_strAddress) : -1;
        if (row < 0) continue;
        rows_[static_cast<size_t>(row)].command = walked.Path();
        rows_[static_cast<size_t>(row)].commandTime = lines[walked.index]->m_strTime;
        ShowRow(row);
      }
    }
    CommandParts parts = SplitCommandCell(m_strPicked);
    command_->clear();
    command_->addItem(QString::fromStdString(parts.command));
    value_->setEnabled(true);
    value_->setText(QString::fromStdString(parts.parameters));
  }
  if (pool->IsSnmpPool()) {
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
      rows_[static_cast<size_t>(row)].result = {};
      ShowRow(row);
    }
    const std::string oid = PickedOid();
    for (const auto& [key, device] : devices) {
      if (device->m_strPool != poolName || oid.empty()) continue;
      const CDbQuery* result = device->m_pQueries.Find(oid);
      const int row = result ? firstRowOf(device->m_strAddress) : -1;
      if (row < 0) continue;
      rows_[static_cast<size_t>(row)].result = ValueRowOf(*result);
      ShowRow(row);
    }
    command_->clear();
    command_->addItem(QString::fromStdString(m_strPicked));
    value_->setEnabled(true);
    value_->clear();
  }
  command_->setCurrentIndex(0);
  value_->setFocus();
  UpdateSetButton();
}

void CConfigurationSetDevices::UpdateSetButton() {
  bool ticked = false;
  for (int row = 0; row < list_->topLevelItemCount() && !ticked; ++row) ticked = IsTicked(*list_, row);
  set_->setEnabled(ticked && !value_->text().isEmpty() && !m_strPicked.empty());
}

void CConfigurationSetDevices::OnSelectAll() {
  const bool select = selectAll_->text() == QLatin1String(kSelectAll);
  {
    QSignalBlocker quiet(list_);
    for (int row = 0; row < list_->topLevelItemCount(); ++row) SetTicked(*list_, row, select);
  }
  selectAll_->setText(QString::fromLatin1(select ? kUnselectAll : kSelectAll));
  UpdateSetButton();
}

void CConfigurationSetDevices::OnSetChanges() {
  if (Prompter::Current().Ask(this, QMessageBox::Information,
                              QStringLiteral("Are you sure you would like to set the selected changes?"),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) != QMessageBox::Yes)
    return;
  const std::string poolName = pool_->currentText().toStdString();
  const std::string value = value_->text().toStdString();
  const std::string picked = command_->currentText().toStdString();
  const CPoolItem* pool = Pool();
  const std::string oid = pool && pool->IsSnmpPool() ? PickedOid() : std::string();
  std::vector<RestoreRequest> requests;
  for (int row = 0; pool && row < list_->topLevelItemCount(); ++row) {
    if (!IsTicked(*list_, row)) continue;
    const std::string& address = rows_[static_cast<size_t>(row)].address;
    const std::string& name = rows_[static_cast<size_t>(row)].name;
    if (pool->IsShellPool())
      requests.push_back(
          {address + "/" + picked, CRestoreItem{poolName, address, name, picked, "", value, "", app_.UserName()}});
    else if (!oid.empty())  // a value without an identifier could not be set
      requests.push_back(
          {address + "/" + oid, CRestoreItem{poolName, address, name, picked, oid, value, "", app_.UserName()}});
  }
  if (!SetRestoreJob(app_, this, requests)) return;
  pool = Pool();
  if (!pool) return;
  bool failed = requests.empty();
  QSignalBlocker quiet(list_);
  for (const auto& request : requests) {
    failed = failed || !RequestSucceeded(app_.Document(), request.key);
    CDbItem device;
    if (app_.Store().GetDbItem(DeviceKey(poolName, request.item.m_strAddress), device)) {
      for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
        SetRow& r = rows_[static_cast<size_t>(row)];
        if (r.address != request.item.m_strAddress) continue;
        if (pool->IsShellPool()) {
          r.command = value == picked ? value : picked + std::string(kPathMarker) + value;
          r.commandTime = device.m_strScanTime;
        } else if (const CDbQuery* result = device.m_pQueries.Find(request.item.m_strOid)) {
          r.result = ValueRowOf(*result);
          r.result.query = picked;  // the row names the value as it was picked
        }
        ShowRow(row);
      }
    }
    for (int row = 0; row < list_->topLevelItemCount(); ++row) SetTicked(*list_, row, false);
    selectAll_->setText(QString::fromLatin1(kSelectAll));
    set_->setEnabled(false);
  }
  if (failed)
    ShowInformation(this, QString::fromStdString(
                              WithFailureReasons("Set failed for some or all queries, please check device permissions.",
                                                 app_.Document(), KeysOf(requests))));
}

void CConfigurationSetDevices::OnClickResults(int row) {
  const CPoolItem* pool = Pool();
  if (row < 0 || !pool) return;
  if (pool->IsShellPool()) {
    ChangeCommandSource source(*this);
    CommandPage page(app_, source, row, QStringLiteral("Command Properties"), this);
    page.exec();
  } else if (pool->IsSnmpPool()) {
    ChangeQuerySource source(*this);
    QueryPage page(app_, source, row, QStringLiteral("Query Properties"), this);
    page.exec();
  }
}

bool CConfigurationSetDevices::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picker_) {
    // The picker closes without a pick on Escape, on a click outside it and when it loses the
    // focus, as a drop-down list does; the tree's own handling would keep it open.
    switch (event->type()) {
      case QEvent::Hide: command_->setFocus(); break;
      case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
          picker_->hide();
          return true;
        }
        break;
      case QEvent::MouseButtonPress:
        if (!picker_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
          picker_->hide();
          return true;
        }
        break;
      case QEvent::FocusOut:
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) picker_->hide();
        break;
      default: break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CConfigurationSetDevices::paintEvent(QPaintEvent*) { PaintDialogBand(*this); }

}  // namespace mirvale

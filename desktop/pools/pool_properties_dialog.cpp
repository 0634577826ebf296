#include "desktop/pools/pool_properties_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

#include "common/desktop_database_store.h"
#include "desktop/pools/add_devices_dialog.h"
#include "desktop/pools/add_query_dialog.h"
#include "desktop/pools/copy_pool_dialog.h"
#include "desktop/pools/device_list_import.h"
#include "desktop/pools/mib_import.h"
#include "desktop/pools/mib_options_dialog.h"
#include "desktop/pools/mib_path_browser.h"
#include "desktop/pools/pool_sorting.h"
#include "desktop/pools/protocol_dialogs.h"
#include "desktop/pools/refusal.h"
#include "desktop/pools/scan_pane_rules.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/wait_cursor.h"
#include "platform/service_control_codes.h"

namespace mirvale {
namespace {

// A row of the device list (both columns compare as addresses) or of the query list (natural
// order of identifiers and names).
class PoolListItem : public QTreeWidgetItem {
 public:
  PoolListItem(QTreeWidget* list, bool addresses, const QString& first, const QString& second)
      : QTreeWidgetItem(list, {first, second}), addresses_(addresses) {}
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    const std::string a = text(column).toStdString();
    const std::string b = other.text(column).toStdString();
    return (addresses_ ? CompareAddressNumbers(a, b) : CompareNaturally(a, b)) < 0;
  }

 private:
  bool addresses_;
};

QTreeWidget* MakeList(const QString& first, const QString& second, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setRootIsDecorated(false);
  list->setColumnCount(2);
  list->setHeaderLabels({first, second});
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAllColumnsShowFocus(true);
  list->header()->setSectionResizeMode(QHeaderView::Stretch);
  list->header()->setSectionsClickable(true);
  QPalette colours = list->palette();
  colours.setColor(QPalette::Text, QColor(83, 83, 83));
  list->setPalette(colours);
  list->setMinimumHeight(130);
  return list;
}

bool AskRemove(QWidget* parent, const QString& text) {
  return Prompter::Current().Ask(parent, QMessageBox::Information, text,
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) == QMessageBox::Yes;
}

}  // namespace

CConfigurationPoolProperties::CConfigurationPoolProperties(CMirvaleApp& app, const QString& presetName, QWidget* parent)
    : QDialog(parent), app_(app), presetName_(presetName) {
  setWindowTitle(QStringLiteral("Pool Properties"));
  setObjectName(QStringLiteral("poolProperties"));
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Base));
  setPalette(colours);
  auto* layout = new QVBoxLayout(this);

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel(QStringLiteral("Pool Name:"), this));
  nameEdit_ = new QLineEdit(this);
  nameRow->addWidget(nameEdit_, 1);
  copyButton_ = new QPushButton(QStringLiteral("Copy Pool"), this);
  nameRow->addWidget(copyButton_);
  layout->addLayout(nameRow);

  auto* protocolRow = new QHBoxLayout;
  shellRadio_ = new QRadioButton(QStringLiteral("Telnet/SSH protocol."), this);
  snmpV1Radio_ = new QRadioButton(QStringLiteral("Snmp - V1/2 protocol."), this);
  snmpV3Radio_ = new QRadioButton(QStringLiteral("Snmp - V3 protocol."), this);
  auto* details = new QPushButton(QStringLiteral("Protocol Details..."), this);
  for (QWidget* widget :
       {static_cast<QWidget*>(shellRadio_), static_cast<QWidget*>(snmpV1Radio_), static_cast<QWidget*>(snmpV3Radio_)})
    protocolRow->addWidget(widget);
  protocolRow->addStretch(1);
  protocolRow->addWidget(details);
  layout->addLayout(protocolRow);

  devicesGroup_ = new QGroupBox(QStringLiteral("Pool devices"), this);
  auto* devices = new QVBoxLayout(devicesGroup_);
  deviceList_ = MakeList(QStringLiteral("Network"), QStringLiteral("Mask"), devicesGroup_);
  devices->addWidget(deviceList_);
  auto* deviceButtons = new QHBoxLayout;
  auto* addDevices = new QPushButton(QStringLiteral("Add Devices..."), devicesGroup_);
  auto* addList = new QPushButton(QStringLiteral("Add List..."), devicesGroup_);
  auto* removeDevices = new QPushButton(QStringLiteral("Remove Devices"), devicesGroup_);
  deviceButtons->addStretch(1);
  for (QPushButton* button : {addDevices, addList, removeDevices}) deviceButtons->addWidget(button);
  devices->addLayout(deviceButtons);
  layout->addWidget(devicesGroup_);

  queriesGroup_ = new QGroupBox(QStringLiteral("Pool queries"), this);
  auto* queries = new QVBoxLayout(queriesGroup_);
  allQueries_ = new QRadioButton(QStringLiteral("Collect all queries"), queriesGroup_);
  specificQueries_ =
      new QRadioButton(QStringLiteral("Collect specific queries (use double-click for details):"), queriesGroup_);
  queries->addWidget(allQueries_);
  queries->addWidget(specificQueries_);
  queryList_ = MakeList(QStringLiteral("Oid"), QStringLiteral("Name"), queriesGroup_);
  queries->addWidget(queryList_);
  auto* queryButtons = new QHBoxLayout;
  addQuery_ = new QPushButton(QStringLiteral("Add Query..."), queriesGroup_);
  addMibs_ = new QPushButton(QStringLiteral("Add MIBs..."), queriesGroup_);
  removeQueries_ = new QPushButton(QStringLiteral("Remove Queries"), queriesGroup_);
  queryButtons->addStretch(1);
  for (QPushButton* button : {addQuery_, addMibs_, removeQueries_}) queryButtons->addWidget(button);
  queries->addLayout(queryButtons);
  layout->addWidget(queriesGroup_);

  auto* okRow = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  ok->setDefault(true);
  okRow->addStretch(1);
  okRow->addWidget(ok);
  okRow->addWidget(cancel);
  layout->addSpacing(25);
  layout->addLayout(okRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumWidth(520);

  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(nameEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (auto replaced = NameEditRule(text.toStdString())) {
      nameEdit_->setText(QString::fromStdString(*replaced));
      nameEdit_->setCursorPosition(nameEdit_->text().size());
    }
  });
  connect(copyButton_, &QPushButton::clicked, this, [this] { OpenCopyPool(); });
  connect(shellRadio_, &QRadioButton::clicked, this, [this] { ChooseProtocol(ProtocolChoice::Shell); });
  connect(snmpV1Radio_, &QRadioButton::clicked, this, [this] { ChooseProtocol(ProtocolChoice::SnmpV1); });
  connect(snmpV3Radio_, &QRadioButton::clicked, this, [this] { ChooseProtocol(ProtocolChoice::SnmpV3); });
  connect(details, &QPushButton::clicked, this, [this] { OpenProtocolDetails(); });
  connect(addDevices, &QPushButton::clicked, this, [this] { OpenAddDevices(); });
  connect(addList, &QPushButton::clicked, this, [this] { OpenAddList(); });
  connect(removeDevices, &QPushButton::clicked, this, [this] { RemoveSelectedDevices(); });
  connect(allQueries_, &QRadioButton::clicked, this, [this] { CollectAllQueries(); });
  connect(specificQueries_, &QRadioButton::clicked, this, [this] { CollectSpecificQueries(); });
  connect(addQuery_, &QPushButton::clicked, this, [this] { OpenAddQuery(-1); });
  connect(queryList_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* row) { OpenAddQuery(queryList_->indexOfTopLevelItem(row)); });
  connect(addMibs_, &QPushButton::clicked, this, [this] { OpenAddMibs(); });
  connect(removeQueries_, &QPushButton::clicked, this, [this] { RemoveSelectedQueries(); });
  connect(deviceList_->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { SortList(*deviceList_, column); });
  connect(queryList_->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { SortList(*queryList_, column); });

  // Start-up.
  image_.settings.m_bAllQueries = 1;
  image_.settings.m_nRetries = 0;
  image_.settings.m_nTimeout = 0;
  allQueries_->setChecked(true);
  SetQueryButtons(false);
  if (!presetName_.isEmpty()) {
    nameEdit_->setText(presetName_);
    nameEdit_->setEnabled(false);
    copyButton_->setEnabled(true);
  } else {
    nameEdit_->setText(QString::fromLatin1(kNewPoolName));
    copyButton_->setEnabled(false);
    shellRadio_->setChecked(true);
    ApplyLayout(ProtocolChoice::Shell);
  }
  LoadPool();
}

QString CConfigurationPoolProperties::PoolName() const { return nameEdit_->text(); }

ProtocolChoice CConfigurationPoolProperties::Choice() const {
  if (snmpV1Radio_->isChecked()) return ProtocolChoice::SnmpV1;
  if (snmpV3Radio_->isChecked()) return ProtocolChoice::SnmpV3;
  return ProtocolChoice::Shell;
}

QRadioButton& CConfigurationPoolProperties::ProtocolRadio(ProtocolChoice choice) const {
  switch (choice) {
    case ProtocolChoice::SnmpV1: return *snmpV1Radio_;
    case ProtocolChoice::SnmpV3: return *snmpV3Radio_;
    default: return *shellRadio_;
  }
}

void CConfigurationPoolProperties::LoadPool() {
  WaitCursor wait;
  image_.settings.m_bTelnet = image_.settings.m_bSsh = image_.settings.m_bSnmpV1 = image_.settings.m_bSnmpV3 = 0;
  deviceList_->clear();
  queryList_->clear();
  image_.devices.clear();
  image_.queries.clear();
  const CPoolItem* pool = app_.Document().m_mapPools.Find(nameEdit_->text().toStdString());
  if (!pool) return;
  const ProtocolChoice choice = ChoiceOfPool(*pool);
  ProtocolRadio(choice).setChecked(true);
  ApplyLayout(choice);
  image_ = PoolImage::FromPool(*pool);
  for (const auto& [key, device] : image_.devices)
    new PoolListItem(deviceList_, true, QString::fromStdString(device->m_strAddress),
                     QString::fromStdString(device->m_strMask));
  SortDevices();
  allQueries_->setChecked(image_.settings.m_bAllQueries != 0);
  specificQueries_->setChecked(image_.settings.m_bAllQueries == 0);
  SetQueryButtons(image_.settings.m_bAllQueries == 0);
  for (const auto& [key, query] : image_.queries)
    new PoolListItem(queryList_, false, QString::fromStdString(query->m_strOid),
                     QString::fromStdString(query->m_strName));
  SortQueries();
}

void CConfigurationPoolProperties::ChooseProtocol(ProtocolChoice choice) {
  ProtocolRadio(choice).setChecked(true);
  image_.settings.m_nRetries = 0;
  image_.settings.m_nTimeout = 0;
  ApplyLayout(choice);
}

void CConfigurationPoolProperties::ApplyLayout(ProtocolChoice choice) {
  queriesGroup_->setVisible(choice != ProtocolChoice::Shell);
  if (!isVisible()) return;
  // The dialog grows or shrinks by the query part: centred again over its owner and kept on the
  // screen, so OK and Cancel stay within reach.
  layout()->activate();
  QRect frame = frameGeometry();
  const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  frame.moveCenter(owner ? owner->frameGeometry().center() : frame.center());
  if (const QScreen* shown = screen()) {
    const QRect area = shown->availableGeometry();
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveTop(std::max(frame.top(), area.top()));
    frame.moveLeft(std::max(frame.left(), area.left()));
  }
  move(frame.topLeft());
}

void CConfigurationPoolProperties::SetQueryButtons(bool enabled) {
  for (QPushButton* button : {addQuery_, addMibs_, removeQueries_}) button->setEnabled(enabled);
}

void CConfigurationPoolProperties::CollectAllQueries() {
  allQueries_->setChecked(true);
  image_.settings.m_bAllQueries = 1;
  SetQueryButtons(false);
  EmptyQueries();
}

void CConfigurationPoolProperties::CollectSpecificQueries() {
  specificQueries_->setChecked(true);
  image_.settings.m_bAllQueries = 0;
  SetQueryButtons(true);
  WaitCursor wait;
  DeviceDatabaseMap copy;
  app_.Store().CopyDatabaseMap(copy);
  for (const CQueryItem& query : CollectedQueries(copy, nameEdit_->text().toStdString(), image_.queries)) {
    new PoolListItem(queryList_, false, QString::fromStdString(query.m_strOid),
                     QString::fromStdString(query.m_strName));
    image_.queries.Set(query.m_strOid, query);
  }
  SortQueries();
}

void CConfigurationPoolProperties::AddDevice(const CDeviceItem& device) {
  image_.devices.Set(device.m_strAddress, device);
  auto* row = new PoolListItem(deviceList_, true, QString::fromStdString(device.m_strAddress),
                               QString::fromStdString(device.m_strMask));
  deviceList_->clearSelection();
  row->setSelected(true);
  deviceList_->setCurrentItem(row);
}

void CConfigurationPoolProperties::AddQuery(const CQueryItem& query) {
  image_.queries.Set(query.m_strOid, query);
  auto* row = new PoolListItem(queryList_, false, QString::fromStdString(query.m_strOid),
                               QString::fromStdString(query.m_strName));
  queryList_->clearSelection();
  row->setSelected(true);
  queryList_->setCurrentItem(row);
}

void CConfigurationPoolProperties::SortDevices() {
  ascending_ = true;
  deviceList_->sortItems(0, Qt::AscendingOrder);
  if (deviceList_->currentItem()) deviceList_->scrollToItem(deviceList_->currentItem());
}

void CConfigurationPoolProperties::SortQueries() {
  ascending_ = true;
  queryList_->sortItems(0, Qt::AscendingOrder);
  if (queryList_->currentItem()) queryList_->scrollToItem(queryList_->currentItem());
}

void CConfigurationPoolProperties::SortList(QTreeWidget& list, int column) {
  ascending_ = !ascending_;
  list.sortItems(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CConfigurationPoolProperties::EmptyQueries() {
  queryList_->clear();
  image_.queries.clear();
}

void CConfigurationPoolProperties::EmptyDevices() {
  deviceList_->clear();
  image_.devices.clear();
}

void CConfigurationPoolProperties::RemoveSelectedDevices() {
  if (deviceList_->selectedItems().isEmpty()) return;
  if (!AskRemove(this, QStringLiteral("Are you sure you would like to remove the selected devices?"))) return;
  WaitCursor wait;
  for (QTreeWidgetItem* row : deviceList_->selectedItems()) {
    image_.devices.Remove(row->text(0).toStdString());
    delete row;
  }
}

void CConfigurationPoolProperties::RemoveSelectedQueries() {
  if (queryList_->selectedItems().isEmpty()) return;
  if (!AskRemove(this, QStringLiteral("Are you sure you would like to remove the selected queries?"))) return;
  WaitCursor wait;
  for (QTreeWidgetItem* row : queryList_->selectedItems()) {
    image_.queries.Remove(row->text(0).toStdString());
    delete row;
  }
}

void CConfigurationPoolProperties::ImportDeviceList(const QString& path) {
  WaitCursor wait;
  std::set<std::string> present;
  for (int i = 0; i < deviceList_->topLevelItemCount(); ++i)
    present.insert(deviceList_->topLevelItem(i)->text(0).toStdString());
  auto added = ReadDeviceList(path.toStdString(), present);
  if (!added) {
    ShowInformation(this, QString::fromStdString(DevicesAddedMessage(0)));
    return;
  }
  for (const std::string& address : *added) AddDevice(CDeviceItem{address, "255.255.255.255"});
  ShowInformation(this, QString::fromStdString(DevicesAddedMessage(static_cast<long>(added->size()))));
  SortDevices();
}

void CConfigurationPoolProperties::ImportMibs(const QString& path, bool writableOnly) {
  WaitCursor wait;
  MibImport import;
  for (const std::string& file : MibFilesOf(path.toStdString())) import.ReadFile(file);
  long added = 0;
  for (const CQueryItem& query : import.Resolve(writableOnly)) {
    if (image_.queries.Contains(query.m_strOid)) continue;
    AddQuery(query);
    ++added;
  }
  SortQueries();
  std::string message = QueriesAddedMessage(added);
  if (const std::string refused = DottedNamesMessage(import.RefusedNames()); !refused.empty())
    message += "\n" + refused;
  ShowInformation(this, QString::fromStdString(message));
}

void CConfigurationPoolProperties::OpenProtocolDetails() {
  switch (Choice()) {
    case ProtocolChoice::Shell: ShellPropertiesDialog(image_.settings, this).exec(); break;
    case ProtocolChoice::SnmpV1: SnmpV1PropertiesDialog(image_.settings, this).exec(); break;
    case ProtocolChoice::SnmpV3: SnmpV3PropertiesDialog(image_.settings, this).exec(); break;
  }
}

void CConfigurationPoolProperties::OpenAddDevices() {
  if (CConfigurationAddDevices(*this).exec() == QDialog::Accepted) SortDevices();
}

void CConfigurationPoolProperties::OpenAddList() {
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Select file (use single device ip or name in each row):"));
  if (!path.isEmpty()) ImportDeviceList(path);
}

void CConfigurationPoolProperties::OpenAddQuery(int row) {
  if (CConfigurationAddQuery(*this, row).exec() == QDialog::Accepted) SortQueries();
}

void CConfigurationPoolProperties::OpenAddMibs() {
  MibPathBrowser browser(this);
  browser.setDirectory(QStringLiteral("/usr/share/snmp/mibs"));
  if (browser.exec() != QDialog::Accepted) return;
  CConfigurationMibOptions options(this);
  if (options.exec() != QDialog::Accepted) return;
  ImportMibs(browser.ChosenPath(), options.WritableOnly());
}

void CConfigurationPoolProperties::OpenCopyPool() {
  if (CConfigurationCopyPool(*this).exec() == QDialog::Accepted) copyButton_->hide();
}

void CConfigurationPoolProperties::accept() {
  const std::string name = nameEdit_->text().toStdString();
  WaitCursor wait;
  const bool isNew = presetName_.isEmpty();
  if (auto refusal = RefusePool(name, isNew, app_.Document().m_mapPools.Contains(name), image_, Choice())) {
    ShowRefusal(this, *refusal);
    return;
  }
  presetName_ = nameEdit_->text();
  CPoolItem stored;
  app_.WithDocument([&](CMirvaleDoc& doc) {
    CPoolItem& pool = doc.m_mapPools.FindOrAdd(name);
    StorePoolImage(image_, pool);
    stored = pool;
  });
  // A commit that failed is shown, and the service is then not asked to prune; an edit the user
  // dropped ends the dialog.
  if (!app_.CommitSettings(this)) {
    if (app_.CommitFailure().isEmpty()) reject();
    return;
  }
  // What another member added to the pool meanwhile was merged in, and stays stored.
  if (const CPoolItem* committed = app_.Document().m_mapPools.Find(name)) stored = *committed;
  if (PrunePool(app_.Store(), name, stored)) SendServiceRequest(app_, platform::ControlPruneDatabase, this);
  QDialog::accept();
}

void CConfigurationPoolProperties::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter p(this);
  p.fillRect(0, height() - 50, width() + 6, 50, QColor(239, 239, 239));
}

}  // namespace mirvale

#include "desktop/shell/action_properties_page.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "desktop/shell/action_texts.h"
#include "desktop/shell/command_tree.h"
#include "desktop/shell/entry_list_page.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/run_command_page.h"
#include "desktop/shell/settings_widgets.h"

namespace mirvale {

namespace {
// A combo box whose drop-down is the page's command tree.
class TreeComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> onPopup;
  void showPopup() override {
    if (onPopup) onPopup();
  }
};

const QString kPathSeparator = QStringLiteral("\\r");

void AddNodes(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<CommandTreeNode>& nodes) {
  for (const CommandTreeNode& node : nodes) {
    auto* item = parent ? new QTreeWidgetItem(parent, {node.text}) : new QTreeWidgetItem(tree, {node.text});
    AddNodes(item, tree, node.children);
  }
}

const char* const kTodoRows[3] = {"Run Command", "Send Email Message", "Snmp Trap Notification"};

QHBoxLayout* WithUseAll(QWidget* field, QWidget* extra, QPushButton* useAll) {
  auto* row = new QHBoxLayout();
  row->addWidget(field, 1);
  if (extra) row->addWidget(extra);
  row->addWidget(useAll);
  return row;
}
}  // namespace

CConfigurationToolsAction::CConfigurationToolsAction(CMirvaleApp& app, RecordMap<CActionItem>& work,
                                                     const QString& editName, QWidget* parent)
    : QDialog(parent),
      name(new QLineEdit(this)),
      pool(new QComboBox(this)),
      address(new QLineEdit(this)),
      mask(new QLineEdit(this)),
      command(new TreeComboBox(this)),
      value(new QLineEdit(this)),
      changesOnly(new QCheckBox(QStringLiteral("On changes only."), this)),
      todo(new QListWidget(this)),
      app_(app),
      tree_(new QTreeWidget(this)),
      work_(work),
      editName_(editName) {
  setWindowTitle(QStringLiteral("Action Properties"));
  mask->setMaxLength(2);
  mask->setFixedWidth(40);
  address->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("^((25[0-5]|2[0-4]\\d|1?\\d?\\d)\\.){0,3}(25[0-5]|2[0-4]\\d|1?\\d?\\d)?$")),
      address));
  command->setEditable(true);
  for (const auto& entry : app.Document().m_mapPools) pool->addItem(QString::fromStdString(entry.first));
  tree_->setWindowFlags(Qt::Popup);
  tree_->setHeaderHidden(true);
  tree_->hide();
  static_cast<TreeComboBox*>(command)->onPopup = [this] { ShowCommandTree(); };
  connect(tree_, &QTreeWidget::itemClicked, this, &CConfigurationToolsAction::ChooseCommand);
  pool->setCurrentIndex(-1);

  auto* useAllAddress = new QPushButton(QStringLiteral("Use All"), this);
  auto* useAllCommand = new QPushButton(QStringLiteral("Use All"), this);
  auto* useAllValue = new QPushButton(QStringLiteral("Use All"), this);
  auto* slash = new QWidget(this);
  auto* slashRow = new QHBoxLayout(slash);
  slashRow->setContentsMargins(0, 0, 0, 0);
  slashRow->addWidget(new QLabel(QStringLiteral("/"), slash));
  slashRow->addWidget(mask);

  auto* form = new QFormLayout();
  form->addRow(QStringLiteral("Action Name:"), name);
  form->addRow(QStringLiteral("Action Pool:"), pool);
  form->addRow(QStringLiteral("Device Ip:"), WithUseAll(address, slash, useAllAddress));
  form->addRow(QStringLiteral("Command/Query:"), WithUseAll(command, nullptr, useAllCommand));
  form->addRow(QStringLiteral("Parameters/Value:"), WithUseAll(value, nullptr, useAllValue));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(new QLabel(QStringLiteral("Note: Use * as wild card character."), this));
  layout->addWidget(changesOnly);
  todo->setObjectName(QStringLiteral("actionTodo"));
  todo->setFixedHeight(70);
  layout->addWidget(todo);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  connect(useAllAddress, &QPushButton::clicked, this, [this] {
    address->setText(QStringLiteral("0.0.0.0"));
    mask->setText(QStringLiteral("0"));
  });
  connect(useAllCommand, &QPushButton::clicked, this, [this] {
    command->setEditText(QStringLiteral("*"));
    m_strQueryPath = QStringLiteral("*");
  });
  connect(useAllValue, &QPushButton::clicked, this, [this] { value->setText(QStringLiteral("*")); });
  // A typed command or query stands for the whole path.
  connect(command, &QComboBox::editTextChanged, this, [this](const QString& text) {
    if (text != LastPathSegment(m_strQueryPath)) m_strQueryPath = text;
  });

  changesOnly->setChecked(true);
  address->setText(QStringLiteral("0.0.0.0"));
  mask->setText(QStringLiteral("0"));
  value->setText(QStringLiteral("*"));
  command->addItem(QStringLiteral("*"));
  m_strQueryPath = QStringLiteral("*");
  const CActionItem* action = editName.isEmpty() ? nullptr : work.Find(editName.toStdString());
  if (action) {
    name->setText(editName);
    name->setEnabled(false);
    pool->setCurrentIndex(pool->findText(QString::fromStdString(action->m_strPool)));
    if (!action->m_strQuery.empty()) {
      m_strQueryPath = QString::fromStdString(action->m_strQuery);
      command->setEditText(LastPathSegment(m_strQueryPath));
    }
    address->setText(QString::fromStdString(action->m_strAddress));
    mask->setText(QString::fromStdString(action->m_strMaskBits));
    value->setText(QString::fromStdString(action->m_strValue));
    changesOnly->setChecked(action->m_bChangesOnly != 0);
    m_strTrapManagers = QString::fromStdString(action->m_strTrapManagers);
    m_strMailRecipients = QString::fromStdString(action->m_strMailRecipients);
    m_strRunCommand = QString::fromStdString(action->m_strRunCommand);
  } else {
    name->setText(QStringLiteral("New Action"));
  }
  for (int row = 0; row < 3; ++row) {
    auto* item = new QListWidgetItem(QString::fromLatin1(kTodoRows[row]), todo);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(TextOfRow(row).isEmpty() ? Qt::Unchecked : Qt::Checked);
  }
  todo->viewport()->installEventFilter(this);
}

QString& CConfigurationToolsAction::TextOfRow(int row) {
  return row == 0 ? m_strRunCommand : row == 1 ? m_strMailRecipients : m_strTrapManagers;
}

bool CConfigurationToolsAction::eventFilter(QObject* watched, QEvent* event) {
  if (watched == todo->viewport() && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    QListWidgetItem* item = todo->itemAt(mouse->position().toPoint());
    if (!item) return false;
    const QRect rect = todo->visualItemRect(item);
    const bool onCheckBox = mouse->position().x() - rect.left() < 22;
    OpenRow(todo->row(item), onCheckBox);
    return true;  // the page decides the check state
  }
  return QDialog::eventFilter(watched, event);
}

void CConfigurationToolsAction::OpenRow(int row, bool onCheckBox) {
  QListWidgetItem* item = todo->item(row);
  if (onCheckBox && item->checkState() == Qt::Checked) {
    item->setCheckState(Qt::Unchecked);
    return;
  }
  QString& text = TextOfRow(row);
  bool confirmed = false;
  if (row == 0) {
    CConfigurationToolsActionCmdRun page(text, this);
    page.setWindowTitle(item->text());
    if ((confirmed = RunDialog(page) == QDialog::Accepted)) text = page.Text();
  } else {
    EntryListPage page(row == 1 ? EntryListPage::Kind::MailRecipients : EntryListPage::Kind::TrapManagers, item->text(),
                       text, this);
    if ((confirmed = RunDialog(page) == QDialog::Accepted)) text = page.Text();
  }
  if (onCheckBox)
    item->setCheckState(text.isEmpty() ? Qt::Unchecked : Qt::Checked);
  else if (confirmed)
    item->setCheckState(Qt::Checked);
}

void CConfigurationToolsAction::ShowCommandTree() {
  WaitCursorScope wait;
  tree_->clear();
  const CPoolItem* chosen = app_.Document().m_mapPools.Find(pool->currentText().toStdString());
  if (chosen) {
    DeviceDatabaseMap devices;
    app_.Store().CopyDatabaseMap(devices);
    const std::string poolName = pool->currentText().toStdString();
    shellTree_ = chosen->IsShellPool();
    if (shellTree_)
      AddNodes(nullptr, tree_, ShellCommandTree(devices, poolName));
    else if (chosen->IsSnmpPool())
      AddNodes(nullptr, tree_, QueryTree(*chosen, devices, poolName));
  }
  tree_->setGeometry(QRect(command->mapToGlobal(QPoint(0, command->height())), QSize(command->width(), 250)));
  tree_->show();
  tree_->setFocus();
  if (!m_strQueryPath.isEmpty() && m_strQueryPath != QStringLiteral("*")) {
    const QStringList segments = shellTree_ ? m_strQueryPath.split(kPathSeparator) : QStringList{m_strQueryPath};
    QTreeWidgetItem* found = nullptr;
    for (const QString& segment : segments) {
      QTreeWidgetItem* next = nullptr;
      const int count = found ? found->childCount() : tree_->topLevelItemCount();
      for (int i = 0; i < count && !next; ++i) {
        QTreeWidgetItem* item = found ? found->child(i) : tree_->topLevelItem(i);
        if (item->text(0) == segment) next = item;
      }
      if (!next) break;
      found = next;
    }
    if (found) {
      tree_->setCurrentItem(found);
      tree_->scrollToItem(found);
    }
  }
}

void CConfigurationToolsAction::ChooseCommand(QTreeWidgetItem* item) {
  tree_->hide();
  if (!item) return;
  QString path = item->text(0);
  if (shellTree_)
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) path = up->text(0) + kPathSeparator + path;
  command->setEditText(item->text(0));
  m_strQueryPath = path;
}

void CConfigurationToolsAction::accept() {
  const QString actionName = name->text();
  if (actionName.isEmpty() || pool->currentText().isEmpty()) {
    ShowRefusal(this, QStringLiteral("Invalid action properties, please set appropriate name and pool."));
    return;
  }
  if (editName_.isEmpty() && work_.Contains(actionName.toStdString())) {
    ShowRefusal(this, QStringLiteral("Action name already exist, please use another name."));
    return;
  }
  WaitCursorScope wait;
  CActionItem& action = work_.FindOrAdd(actionName.toStdString());
  action.m_strPool = pool->currentText().toStdString();
  action.m_strAddress = address->text().toStdString();
  action.m_strMaskBits = mask->text().toStdString();
  action.m_strQuery = m_strQueryPath.toStdString();
  action.m_strValue = value->text().toStdString();
  action.m_bChangesOnly = changesOnly->isChecked() ? 1 : 0;
  auto checked = [this](int row) { return todo->item(row)->checkState() == Qt::Checked; };
  action.m_strRunCommand = checked(0) ? m_strRunCommand.toStdString() : std::string();
  action.m_strMailRecipients = checked(1) ? m_strMailRecipients.toStdString() : std::string();
  action.m_strTrapManagers = checked(2) ? m_strTrapManagers.toStdString() : std::string();
  QDialog::accept();
}

}  // namespace mirvale

#include "desktop/shell/actions_pane.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "desktop/shell/action_properties_page.h"
#include "desktop/shell/email_format_page.h"
#include "desktop/shell/email_server_page.h"
#include "desktop/shell/email_test_page.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/settings_widgets.h"

namespace mirvale {

CConfigurationToolsActions::CConfigurationToolsActions(const PaneContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  MakeWhite(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 30, 16);
  layout->setSpacing(6);
  layout->addWidget(MakeTitle(QStringLiteral("Actions"), this));
  layout->addWidget(MakeSectionHeader(QStringLiteral("Automatic actions"), this));
  list = new QListWidget(this);
  list->setObjectName(QStringLiteral("actionList"));
  list->setMinimumHeight(160);
  layout->addWidget(list, 1);
  auto* buttons = new QHBoxLayout();
  addButton = new QPushButton(QStringLiteral("Add..."), this);
  editButton = new QPushButton(QStringLiteral("Edit..."), this);
  removeButton = new QPushButton(QStringLiteral("Remove"), this);
  buttons->addWidget(addButton);
  buttons->addWidget(editButton);
  buttons->addWidget(removeButton);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  layout->addSpacing(10);
  layout->addWidget(MakeSectionHeader(QStringLiteral("E-mail settings"), this));
  auto addLink = [&](const char* text, void (CConfigurationToolsActions::*open)()) {
    auto* link = new SettingsLink(QString::fromLatin1(text), this);
    connect(link, &SettingsLink::clicked, this, open);
    layout->addWidget(link);
  };
  addLink("Set E-mail server parameters", &CConfigurationToolsActions::OpenServer);
  addLink("Set E-mail message text format", &CConfigurationToolsActions::OpenFormat);
  addLink("Send E-mail test message to server", &CConfigurationToolsActions::OpenTest);
  layout->addStretch(1);

  connect(addButton, &QPushButton::clicked, this, &CConfigurationToolsActions::Add);
  connect(editButton, &QPushButton::clicked, this, &CConfigurationToolsActions::Edit);
  connect(removeButton, &QPushButton::clicked, this, &CConfigurationToolsActions::Remove);
  connect(list, &QListWidget::itemSelectionChanged, this, [this] {
    const bool selected = list->currentItem() != nullptr && list->currentItem()->isSelected();
    editButton->setEnabled(selected);
    removeButton->setEnabled(selected);
  });
  connect(list, &QListWidget::itemChanged, this, [this] {
    if (!reloading_) EnableSave(context_);
  });
  connect(list, &QListWidget::itemDoubleClicked, this, [this] { Edit(); });
}

void CConfigurationToolsActions::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Reload();
}

void CConfigurationToolsActions::Reload() {
  reloading_ = true;
  list->clear();
  editButton->setEnabled(false);
  removeButton->setEnabled(false);
  m_mapWorkActions = context_.app.Document().m_mapActions;
  for (const auto& [name, action] : m_mapWorkActions) {
    auto* item = new QListWidgetItem(QString::fromStdString(name), list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(action->m_bEnabled ? Qt::Checked : Qt::Unchecked);
  }
  reloading_ = false;
}

void CConfigurationToolsActions::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  m_mapWorkActions.clear();
}

std::vector<ActionRow> CConfigurationToolsActions::Rows() const {
  std::vector<ActionRow> rows;
  for (int row = 0; row < list->count(); ++row)
    rows.push_back(ActionRow{list->item(row)->text(), list->item(row)->checkState() == Qt::Checked});
  return rows;
}

void CConfigurationToolsActions::CollectInto(CMirvaleDoc& doc) { CollectActions(m_mapWorkActions, Rows(), doc); }

void CConfigurationToolsActions::OpenProperties(const QString& editName) {
  CConfigurationToolsAction page(context_.app, m_mapWorkActions, editName, this);
  if (RunDialog(page) != QDialog::Accepted) return;
  if (editName.isEmpty()) {
    reloading_ = true;
    auto* item = new QListWidgetItem(page.Name(), list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    reloading_ = false;
  }
  EnableSave(context_);
}

void CConfigurationToolsActions::Add() { OpenProperties(QString()); }

void CConfigurationToolsActions::Edit() {
  if (QListWidgetItem* item = list->currentItem()) OpenProperties(item->text());
}

void CConfigurationToolsActions::Remove() {
  QListWidgetItem* item = list->currentItem();
  if (!item) return;
  m_mapWorkActions.Remove(item->text().toStdString());
  delete item;
  EnableSave(context_);
}

void CConfigurationToolsActions::OpenServer() {
  CConfigurationToolsActionsServer page(context_, this);
  RunDialog(page);
}

void CConfigurationToolsActions::OpenFormat() {
  CConfigurationToolsActionsFormat page(context_, this);
  RunDialog(page);
}

void CConfigurationToolsActions::OpenTest() {
  CConfigurationToolsActionsTest page(context_, this);
  RunDialog(page);
}

}  // namespace mirvale

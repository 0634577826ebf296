#include "desktop/pools/scan_command_page.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "common/desktop_database_store.h"
#include "desktop/pools/scan_results_dialog.h"
#include "desktop/pools/scan_results_model.h"
#include "desktop/shell/color_list.h"
#include "desktop/shell/configuration_restore_thread.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/set_restore_job.h"

namespace mirvale {
namespace {

QLineEdit* ReadOnly(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setReadOnly(true);
  return edit;
}

std::vector<std::string> LinesOf(const CColorListCtrl& view) {
  std::vector<std::string> lines;
  for (int i = 0; i < view.topLevelItemCount(); ++i) lines.push_back(view.topLevelItem(i)->text(0).toStdString());
  return lines;
}

}  // namespace

CConfigurationScanCommand::CConfigurationScanCommand(CMirvaleApp& app, CColorListCtrl& view, int row,
                                                     const QString& poolName, const QString& deviceAddress,
                                                     CConfigurationScanResults& results)
    : QDialog(&results), app_(app), view_(view), results_(results), row_(row) {
  setWindowTitle(QStringLiteral("Command Properties"));
  setMinimumWidth(520);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  address = ReadOnly(this);
  name = ReadOnly(this);
  pool = ReadOnly(this);
  date = ReadOnly(this);
  command = ReadOnly(this);
  parameters = new QLineEdit(this);
  fields->addRow(QStringLiteral("Address:"), address);
  fields->addRow(QStringLiteral("Name:"), name);
  fields->addRow(QStringLiteral("Pool:"), pool);
  fields->addRow(QStringLiteral("Date:"), date);
  fields->addRow(QStringLiteral("Command:"), command);
  fields->addRow(QStringLiteral("Command parameters:"), parameters);
  layout->addLayout(fields);
  auto* buttons = new QHBoxLayout;
  previous = new QPushButton(style()->standardIcon(QStyle::SP_ArrowUp), QString(), this);
  next = new QPushButton(style()->standardIcon(QStyle::SP_ArrowDown), QString(), this);
  set = new QPushButton(QStringLiteral("Set command Parameters"), this);
  buttons->addWidget(previous);
  buttons->addWidget(next);
  buttons->addStretch(1);
  buttons->addWidget(set);
  layout->addLayout(buttons);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(close, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(close);
  address->setText(deviceAddress);
  pool->setText(poolName);
  connect(previous, &QPushButton::clicked, this, [this] { Previous(); });
  connect(next, &QPushButton::clicked, this, [this] { Next(); });
  connect(set, &QPushButton::clicked, this, [this] { SetCommand(); });
  ShowRow(row);
}

void CConfigurationScanCommand::ShowRow(int row) {
  if (row < 0 || row >= view_.topLevelItemCount()) return;
  row_ = row;
  const QString title = view_.headerItem()->text(0);
  date->setText(title.mid(title.indexOf(QLatin1Char(':')) + 1).trimmed());
  CDbItem device;
  const bool found =
      app_.Store().GetDbItem(DeviceKey(pool->text().toStdString(), address->text().toStdString()), device);
  name->setText(found ? QString::fromStdString(device.m_strName) : QString());
  const CommandPath path = CommandPathOf(LinesOf(view_), static_cast<size_t>(row));
  command->setText(QString::fromStdString(path.command));
  parameters->setText(QString::fromStdString(path.parameters));
  previous->setEnabled(row > 0);
  next->setEnabled(row < view_.topLevelItemCount() - 1);
}

void CConfigurationScanCommand::Step(int direction) {
  const int count = view_.topLevelItemCount();
  if (count == 0) return;
  if (QTreeWidgetItem* current = view_.topLevelItem(row_)) current->setSelected(false);
  int row = row_;
  do {
    row += direction;
  } while (row > 0 && row < count - 1 && view_.topLevelItem(row)->text(0).trimmed().size() <= 1);
  row = std::clamp(row, 0, count - 1);
  QTreeWidgetItem* item = view_.topLevelItem(row);
  item->setSelected(true);
  view_.scrollToItem(item);
  ShowRow(row);
}

void CConfigurationScanCommand::Previous() { Step(-1); }
void CConfigurationScanCommand::Next() { Step(1); }

void CConfigurationScanCommand::SetCommand() {
  const std::string sentCommand = command->text().toStdString();
  const std::string sentParameters = parameters->text().toStdString();
  const std::string deviceAddress = address->text().toStdString();
  RestoreRequest request{deviceAddress + "/" + sentCommand,
                         CRestoreItem{pool->text().toStdString(), deviceAddress, name->text().toStdString(),
                                      sentCommand, "", sentParameters, "", app_.UserName()}};
  if (!SetRestoreJob(app_, this, {request})) return;
  if (!RequestSucceeded(app_.Document(), request.key)) {
    ShowInformation(this, QStringLiteral("Set failed, please check device permissions."));
    return;
  }
  results_.FillViews();
  // The changed line is found again by its command path, so an indented line is found too.
  const std::vector<std::string> lines = LinesOf(view_);
  int found = -1;
  for (size_t row = 0; row < lines.size() && found < 0; ++row) {
    const CommandPath path = CommandPathOf(lines, row);
    if (path.command == sentCommand && path.parameters == sentParameters) found = static_cast<int>(row);
  }
  if (found < 0) found = std::min(row_, view_.topLevelItemCount() - 1);
  if (QTreeWidgetItem* item = view_.topLevelItem(found)) {
    view_.clearSelection();
    item->setSelected(true);
    view_.scrollToItem(item);
  }
  ShowRow(found);
}

CConfigurationScanCommand* OpenCommandPage(CMirvaleApp& app, CColorListCtrl& view, int row, const QString& pool,
                                           const QString& address, CConfigurationScanResults& results) {
  auto* page = new CConfigurationScanCommand(app, view, row, pool, address, results);
  page->setAttribute(Qt::WA_DeleteOnClose);
  page->open();
  return page;
}

}  // namespace mirvale

#include "desktop/results/command_page.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "desktop/results/detail_page_parts.h"
#include "desktop/shell/configuration_restore_thread.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/prompter.h"
#include "desktop/shell/set_restore_job.h"

namespace mirvale {

CommandPage::CommandPage(CMirvaleApp& app, CommandPageSource& source, int row, const QString& title, QWidget* parent)
    : QDialog(parent), app_(app), source_(source), row_(row) {
  setObjectName(QStringLiteral("CommandPage"));
  setWindowTitle(title);
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  address_ = ReadOnlyEdit(page, "Address");
  name_ = ReadOnlyEdit(page, "Name");
  pool_ = ReadOnlyEdit(page, "Pool");
  date_ = ReadOnlyEdit(page, "Date");
  command_ = ReadOnlyEdit(page, "Command");
  parameters_ = new QPlainTextEdit(page);
  parameters_->setObjectName(QStringLiteral("Parameters"));
  form->addRow(QStringLiteral("Address:"), address_);
  form->addRow(QStringLiteral("Name:"), name_);
  form->addRow(QStringLiteral("Pool:"), pool_);
  form->addRow(QStringLiteral("Date:"), date_);
  form->addRow(QStringLiteral("Command:"), command_);
  form->addRow(QStringLiteral("Command parameters:"), parameters_);
  buttons_ = AddPageButtons(*form, page, QStringLiteral("Set command Parameters"));
  connect(buttons_.previous, &QPushButton::clicked, this, &CommandPage::Previous);
  connect(buttons_.next, &QPushButton::clicked, this, &CommandPage::Next);
  connect(buttons_.request, &QPushButton::clicked, this, &CommandPage::SetParameters);
  WrapInSheet(*this, page, QStringLiteral("Command"));
  ShowRow();
}

void CommandPage::ShowRow() {
  if (!buttons_.Update(row_, source_.RowCount())) return;
  CommandFields fields = source_.Row(row_);
  address_->setText(QString::fromStdString(fields.address));
  name_->setText(QString::fromStdString(fields.name));
  pool_->setText(QString::fromStdString(fields.pool));
  date_->setText(QString::fromStdString(fields.date));
  command_->setText(QString::fromStdString(fields.command));
  parameters_->setPlainText(QString::fromStdString(fields.parameters));
}

void CommandPage::Move(int direction) {
  if (row_ < 0) return;
  source_.Select(row_, false);
  const int target = StepTo(row_, source_.Step(row_, direction), source_.RowCount());
  if (target != row_) {
    row_ = target;
    if (source_.Selectable(row_)) source_.Select(row_, true);
  }
  ShowRow();
}

void CommandPage::Previous() { Move(-1); }
void CommandPage::Next() { Move(+1); }

void CommandPage::SetParameters() {
  if (row_ < 0) return;
  CommandFields sent = source_.Row(row_);
  sent.parameters = parameters_->toPlainText().replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
  RestoreRequest request{
      sent.address + "/" + sent.command,
      CRestoreItem{sent.pool, sent.address, sent.name, sent.command, "", sent.parameters, "", app_.UserName()}};
  if (!SetRestoreJob(app_, this, {request})) return;
  if (!RequestSucceeded(app_.Document(), request.key)) {
    ShowInformation(this, QStringLiteral("Set failed, please check device permissions."));
    return;
  }
  row_ = source_.AfterSet(row_, sent);
  ShowRow();
}

}  // namespace mirvale

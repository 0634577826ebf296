#include "desktop/results/command_page.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "desktop/results/result_logic.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/set_restore_job.h"

namespace mirvale {

void FillDeviceName(CMirvaleApp& app, CommandFields& fields) {
  CDbItem device;
  if (app.Store().GetDbItem(DeviceKey(fields.pool, fields.address), device)) fields.name = device.m_strName;
}

int RowOfSent(const std::vector<std::string>& rows, const CommandFields& sent, int row) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string path = RowPath(rows, i);
    if (path == sent.command || path == sent.parameters) row = static_cast<int>(i);
  }
  return row;
}

CommandPage::CommandPage(CMirvaleApp& app, CommandPageSource& source, int row, const QString& title, QWidget* parent)
    : DetailPage(source, row, parent), app_(app), source_(source) {
  setObjectName(QStringLiteral("CommandPage"));
  setWindowTitle(title);
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  address_ = AddReadOnlyRow(*form, page, "Address", QStringLiteral("Address:"));
  name_ = AddReadOnlyRow(*form, page, "Name", QStringLiteral("Name:"));
  pool_ = AddReadOnlyRow(*form, page, "Pool", QStringLiteral("Pool:"));
  date_ = AddReadOnlyRow(*form, page, "Date", QStringLiteral("Date:"));
  command_ = AddReadOnlyRow(*form, page, "Command", QStringLiteral("Command:"));
  parameters_ = new QPlainTextEdit(page);
  parameters_->setObjectName(QStringLiteral("Parameters"));
  form->addRow(QStringLiteral("Command parameters:"), parameters_);
  AddButtons(*form, page, QStringLiteral("Set command Parameters"), [this] { SetParameters(); });
  WrapInSheet(*this, page, QStringLiteral("Command"));
  ShowRow();
}

void CommandPage::ShowRow() {
  if (!UpdateButtons()) return;
  CommandFields fields = source_.Row(row_);
  address_->setText(QString::fromStdString(fields.address));
  name_->setText(QString::fromStdString(fields.name));
  pool_->setText(QString::fromStdString(fields.pool));
  date_->setText(QString::fromStdString(fields.date));
  command_->setText(QString::fromStdString(fields.command));
  parameters_->setPlainText(QString::fromStdString(fields.parameters));
}

void CommandPage::SetParameters() {
  if (row_ < 0) return;
  CommandFields sent = source_.Row(row_);
  sent.parameters = parameters_->toPlainText().replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
  RestoreRequest request{
      sent.address + "/" + sent.command,
      CRestoreItem{sent.pool, sent.address, sent.name, sent.command, "", sent.parameters, "", app_.UserName()}};
  if (!SendRequest(app_, request, QStringLiteral("Set failed, please check device permissions."))) return;
  row_ = source_.AfterSet(row_, sent);
  ShowRow();
}

}  // namespace mirvale

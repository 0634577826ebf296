#include "desktop/results/command_page.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "desktop/results/result_logic.h"
#include "desktop/shell/mirvale_app.h"
#include "desktop/results/set_restore_job.h"

namespace mirvale {

void FillDeviceName(CMirvaleApp& app, CommandFields& fields) {
  CDbItem device;
  if (app.Store().GetDbItem(DeviceKey(fields.pool, fields.address), device)) fields.name = device.m_strName;
}

int RowOfSent(const std::vector<std::string>& rows, const CommandFields& sent, int row) {
  // A line is found by the parameters sent under the context sent, so an indented line is found
  // again (its full path equals neither text) and its enclosing line is never taken for it; a
  // top-level line is its own context, which the set may have changed.
  for (size_t i = 0; i < rows.size(); ++i) {
    const CommandParts parts = RowCommand(rows, i);
    const bool topLevel = parts.command == parts.parameters;
    if (parts.parameters == sent.parameters && (topLevel || parts.command == sent.command)) row = static_cast<int>(i);
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

namespace {

// The page over one configuration view: a line's command path comes from the lines above it.
class ConfigurationCommandSource : public CommandPageSource {
 public:
  ConfigurationCommandSource(CMirvaleApp& app, const RowsDevice& device, ConfigurationRows& rows)
      : app_(app), device_(device), rows_(rows) {}
  int RowCount() const override { return static_cast<int>(rows_.Lines().size()); }
  CommandFields Row(int row) const override {
    const CommandParts parts = RowCommand(rows_.Lines(), static_cast<size_t>(row));
    CommandFields fields{device_.address, "", device_.pool, rows_.HeadingDate(), parts.command, parts.parameters};
    FillDeviceName(app_, fields);
    return fields;
  }
  void Select(int row, bool selected) override { rows_.Select(row, selected); }
  // Lines too short to send are stepped over; at an end the page stays on the end row.
  int Step(int row, int direction) const override {
    const std::vector<std::string> lines = rows_.Lines();
    int target = row;
    while (target + direction >= 0 && target + direction < static_cast<int>(lines.size())) {
      target += direction;
      if (Trim(lines[static_cast<size_t>(target)]).size() >= 2) break;
    }
    return target;
  }
  // An end row reached without a line long enough to send is shown but not selected.
  bool Selectable(int row) const override {
    const std::vector<std::string> lines = rows_.Lines();
    return row >= 0 && row < static_cast<int>(lines.size()) && Trim(lines[static_cast<size_t>(row)]).size() >= 2;
  }
  int AfterSet(int row, const CommandFields& sent) override {
    CDbItem device;
    if (!app_.Store().GetDbItem(DeviceKey(sent.pool, sent.address), device)) return row;
    rows_.Refill();
    row = RowOfSent(rows_.Lines(), sent, row);
    rows_.Select(row, true);
    return row;
  }

 private:
  CMirvaleApp& app_;
  const RowsDevice& device_;
  ConfigurationRows& rows_;
};

}  // namespace

void RunCommandProperties(CMirvaleApp& app, const RowsDevice& device, ConfigurationRows& rows, int row,
                          QWidget* parent) {
  ConfigurationCommandSource source(app, device, rows);
  CommandPage page(app, source, row, QStringLiteral("Command Properties"), parent);
  page.exec();
}

}  // namespace mirvale

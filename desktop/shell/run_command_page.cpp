#include "desktop/shell/run_command_page.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>

#include "desktop/shell/settings_widgets.h"

namespace mirvale {

CConfigurationToolsActionCmdRun::CConfigurationToolsActionCmdRun(const QString& text, QWidget* parent)
    : QDialog(parent),
      command(new QLineEdit(this)),
      domain(new QLineEdit(this)),
      user(new QLineEdit(this)),
      password(new QLineEdit(this)),
      parameters(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Run Command"));
  password->setEchoMode(QLineEdit::Password);
  auto* layout = new QVBoxLayout(this);
  auto* commandRow = new QHBoxLayout();
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  commandRow->addWidget(command, 1);
  commandRow->addWidget(browse);
  auto* form = new QFormLayout();
  form->addRow(QStringLiteral("Run Command:"), commandRow);
  layout->addLayout(form);
  auto* account = new QGroupBox(QStringLiteral("Run As (optional)"), this);
  auto* accountForm = new QFormLayout(account);
  accountForm->addRow(QStringLiteral("Domain Name:"), domain);
  accountForm->addRow(QStringLiteral("User Name:"), user);
  accountForm->addRow(QStringLiteral("Password:"), password);
  layout->addWidget(account);
  layout->addWidget(new QLabel(QStringLiteral("Parameters (use $pool,  $device, $name, $action, $date):"), this));
  layout->addWidget(parameters);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browse, &QPushButton::clicked, this, [this] {
    QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Select command file:"));
    if (!path.isEmpty()) command->setText(path);
  });
  if (!text.isEmpty()) {
    RunCommandFields fields = SplitRunCommand(text);
    command->setText(fields.command);
    domain->setText(fields.domain);
    password->setText(fields.password);
    user->setText(fields.user);
    parameters->setText(fields.parameters);
  }
}

QString CConfigurationToolsActionCmdRun::Text() const {
  return JoinRunCommand({command->text(), domain->text(), password->text(), user->text(), parameters->text()});
}

void CConfigurationToolsActionCmdRun::accept() {
  if (command->text().isEmpty()) {
    ShowRefusal(this, QStringLiteral("Invalid command line, please try again."));
    return;
  }
  // The stored text ends each field with ";": one inside a field would move the fields after it.
  for (const QLineEdit* field : {command, domain, user, password, parameters}) {
    if (field->text().contains(QLatin1Char(';'))) {
      ShowRefusal(this, QStringLiteral("Run command fields can't include ';' character, please try again."));
      return;
    }
  }
  QDialog::accept();
}

}  // namespace mirvale

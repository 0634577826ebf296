#include "desktop/shell/data_source_setup_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>

#include "desktop/shell/settings_widgets.h"

namespace mirvale {

DataSourceSetupDialog::DataSourceSetupDialog(DatabaseKind kind, QWidget* parent) : QDialog(parent), kind_(kind) {
  setWindowTitle(QStringLiteral("Data source %1 (%2)")
                     .arg(QString::fromLatin1(kDataSourceName), QString::fromLatin1(DriverOf(kind))));
  auto* form = new QFormLayout(this);
  if (kind == DatabaseKind::File) {
    file = new QLineEdit(this);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    auto* row = new QHBoxLayout();
    row->addWidget(file, 1);
    row->addWidget(browse);
    form->addRow(QStringLiteral("Database file:"), row);
    connect(browse, &QPushButton::clicked, this, [this] {
      QString path = QFileDialog::getSaveFileName(this, QString(), QString(), QStringLiteral("Database Files (*.mdb)"));
      if (path.isEmpty()) return;
      if (!path.endsWith(QStringLiteral(".mdb"), Qt::CaseInsensitive)) path += QStringLiteral(".mdb");
      file->setText(path);
    });
  } else {
    server = new QLineEdit(this);
    port = new QLineEdit(QStringLiteral("5432"), this);
    database = new QLineEdit(this);
    user = new QLineEdit(this);
    password = new QLineEdit(this);
    password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Server:"), server);
    form->addRow(QStringLiteral("Port:"), port);
    form->addRow(QStringLiteral("Database:"), database);
    form->addRow(QStringLiteral("User name:"), user);
    form->addRow(QStringLiteral("Password:"), password);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  setMinimumWidth(420);
}

DataSourceSetup DataSourceSetupDialog::Setup() const {
  DataSourceSetup setup;
  auto text = [](const QLineEdit* edit) { return edit ? edit->text().trimmed().toStdString() : std::string(); };
  setup.server = text(server);
  setup.port = text(port);
  setup.database = text(database);
  setup.user = text(user);
  setup.password = password ? password->text().toStdString() : std::string();
  setup.file = text(file);
  return setup;
}

void DataSourceSetupDialog::accept() {
  const bool missing =
      kind_ == DatabaseKind::File ? file->text().trimmed().isEmpty() : server->text().trimmed().isEmpty();
  if (missing) {
    ShowRefusal(this, kind_ == DatabaseKind::File ? QStringLiteral("Invalid database file, please try again.")
                                                  : QStringLiteral("Invalid database server, please try again."));
    return;
  }
  QDialog::accept();
}

}  // namespace mirvale

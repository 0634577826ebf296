#include "desktop/shell/email_server_page.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRegularExpression>

#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/settings_widgets.h"

namespace mirvale {

CConfigurationToolsActionsServer::CConfigurationToolsActionsServer(const PaneContext& context, QWidget* parent)
    : QDialog(parent),
      server(new QLineEdit(this)),
      port(new QLineEdit(this)),
      sender(new QLineEdit(this)),
      user(new QLineEdit(this)),
      password(new QLineEdit(this)),
      timeout(new QSlider(Qt::Horizontal, this)),
      minutes(new QLabel(this)),
      context_(context) {
  setWindowTitle(QStringLiteral("Email Server"));
  setMinimumWidth(420);
  password->setEchoMode(QLineEdit::Password);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  form->setRowWrapPolicy(QFormLayout::WrapAllRows);  // the example texts make long labels
  form->addRow(QStringLiteral("SMTP server (for example mail.example.com):"), server);
  form->addRow(QStringLiteral("SMTP port:"), port);
  form->addRow(QStringLiteral("SMTP sender (for example mirvale@example.com):"), sender);
  layout->addLayout(form);
  auto* login = new QGroupBox(QStringLiteral("Login authentication"), this);
  auto* loginForm = new QFormLayout(login);
  loginForm->addRow(QStringLiteral("Username:"), user);
  loginForm->addRow(QStringLiteral("Password:"), password);
  layout->addWidget(login);
  auto* wait = new QGroupBox(QStringLiteral("Server timeout"), this);
  auto* waitRow = new QHBoxLayout(wait);
  waitRow->addWidget(new QLabel(QStringLiteral("Short"), wait));
  waitRow->addWidget(timeout, 1);
  waitRow->addWidget(new QLabel(QStringLiteral("Long"), wait));
  waitRow->addWidget(minutes);
  waitRow->addWidget(new QLabel(QStringLiteral("minutes"), wait));
  layout->addWidget(wait);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  layout->addWidget(buttons);
  QPushButton* apply = buttons->button(QDialogButtonBox::Apply);
  apply->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(apply, &QPushButton::clicked, this, [this, apply] {
    if (Refused()) return;
    Apply();
    apply->setEnabled(false);
  });

  const CMirvaleDoc& doc = context_.app.Document();
  port->setText(QString::fromStdString(doc.m_strSmtpPort));
  server->setText(QString::fromStdString(doc.m_strSmtpServer));
  sender->setText(QString::fromStdString(doc.m_strMailFrom));
  user->setText(QString::fromStdString(doc.m_strSmtpUser));
  password->setText(QString::fromStdString(doc.m_strSmtpPassword));
  timeout->setRange(1, 10);
  timeout->setValue(QString::fromStdString(doc.m_strSmtpTimeout).toInt());
  // Until the slider moves, the stored text is kept as it is.
  minutes->setText(QString::fromStdString(doc.m_strSmtpTimeout));
  connect(timeout, &QSlider::valueChanged, this, [this, apply](int position) {
    minutes->setText(QString::number(position));
    apply->setEnabled(true);
  });
  for (QLineEdit* edit : {server, port, sender, user, password})
    connect(edit, &QLineEdit::textEdited, apply, [apply] { apply->setEnabled(true); });
}

namespace {

// A host name (letters, digits and inner hyphens in dot-separated labels) or a dotted address.
bool PlausibleServer(const QString& server) {
  static const QRegularExpression host(QStringLiteral(
      "^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$"));
  return server.size() <= 253 && host.match(server).hasMatch();
}

}  // namespace

bool CConfigurationToolsActionsServer::Refused() {
  bool numeric = false;
  const int number = port->text().toInt(&numeric);
  if (!numeric || number < 1 || number > 65535) {
    ShowRefusal(this, QStringLiteral("Invalid SMTP port, please try again."));
    return true;
  }
  // No server at all is a choice: the service then sends no mail.
  if (!server->text().isEmpty() && !PlausibleServer(server->text())) {
    ShowRefusal(this, QStringLiteral("Invalid SMTP server, please try again."));
    return true;
  }
  return false;
}

void CConfigurationToolsActionsServer::Apply() {
  context_.app.WithDocument([&](CMirvaleDoc& doc) {
    doc.m_strSmtpPort = port->text().toStdString();
    doc.m_strSmtpServer = server->text().toStdString();
    doc.m_strMailFrom = sender->text().toStdString();
    doc.m_strSmtpTimeout = minutes->text().toStdString();
    doc.m_strSmtpUser = user->text().toStdString();
    doc.m_strSmtpPassword = password->text().toStdString();
  });
  context_.app.CommitSettings(this);
}

void CConfigurationToolsActionsServer::accept() {
  if (Refused()) return;
  Apply();
  QDialog::accept();
}

}  // namespace mirvale

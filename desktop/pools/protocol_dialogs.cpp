#include "desktop/pools/protocol_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "desktop/pools/refusal.h"

namespace mirvale {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QLineEdit* edit) { return edit->text().toStdString(); }

QSpinBox* Spin(uint32_t value, const QString& unit, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setRange(1, 999);
  spin->setValue(static_cast<int>(ClampSpin(value)));
  spin->setSuffix(QStringLiteral(" ") + unit);
  return spin;
}

QLineEdit* Secret(const std::string& text, QWidget* parent) {
  auto* edit = new QLineEdit(Q(text), parent);
  edit->setEchoMode(QLineEdit::Password);
  return edit;
}

// The check box that shows or masks the given edits, keeping their texts.
QCheckBox* ShowCharacters(const QString& caption, std::initializer_list<QLineEdit*> edits, QWidget* parent) {
  auto* check = new QCheckBox(caption, parent);
  std::vector<QLineEdit*> list(edits);
  QObject::connect(check, &QCheckBox::toggled, parent, [list](bool shown) {
    for (QLineEdit* edit : list) edit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
  });
  return check;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

SpinPair Spins(uint32_t timeout, uint32_t retries, const QString& prefix, QFormLayout* form, QWidget* parent) {
  SpinPair pair{Spin(timeout, QStringLiteral("second(s)."), parent), Spin(retries, QStringLiteral("time(s)."), parent)};
  form->addRow(prefix + QStringLiteral(" Timeout:"), pair.timeout);
  form->addRow(prefix + QStringLiteral(" Retries:"), pair.retries);
  return pair;
}

}  // namespace

ShellPropertiesDialog::ShellPropertiesDialog(CPoolItem& image, QWidget* parent) : QDialog(parent), image_(image) {
  setWindowTitle(QStringLiteral("Shell Properties"));
  const ShellForm form = ShellForm::FromPool(image);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  spins = Spins(form.timeout, form.retries, QStringLiteral("Shell"), fields, this);
  telnetRadio = new QRadioButton(QStringLiteral("Telnet Port:"), this);
  sshRadio = new QRadioButton(QStringLiteral("SSH Port:"), this);
  telnetPort = new QLineEdit(this);
  sshPort = new QLineEdit(this);
  for (QLineEdit* port : {telnetPort, sshPort}) port->setValidator(new QIntValidator(1, 65535, port));
  fields->addRow(telnetRadio, telnetPort);
  fields->addRow(sshRadio, sshPort);
  (form.ssh ? sshRadio : telnetRadio)->setChecked(true);
  (form.ssh ? sshPort : telnetPort)->setText(Q(form.port));
  telnetPort->setEnabled(!form.ssh);
  sshPort->setEnabled(form.ssh);
  user = new QLineEdit(Q(form.user), this);
  password = Secret(form.password, this);
  privilegedCommand = new QLineEdit(Q(form.privilegedCommand), this);
  privilegedPassword = Secret(form.privilegedPassword, this);
  fields->addRow(QStringLiteral("Username:"), user);
  fields->addRow(QStringLiteral("Password:"), password);
  fields->addRow(QStringLiteral("Privileged command:"), privilegedCommand);
  fields->addRow(QStringLiteral("Privileged Password:"), privilegedPassword);
  showPasswords = ShowCharacters(QStringLiteral("Show password characters"), {password, privilegedPassword}, this);
  fields->addRow(QString(), showPasswords);
  backup = new QLineEdit(Q(form.backup), this);
  restoreStart = new QLineEdit(Q(form.restoreStart), this);
  restoreEnd = new QLineEdit(Q(form.restoreEnd), this);
  restoreSaveCheck = new QCheckBox(QStringLiteral("Restore save:"), this);
  restoreSave = new QLineEdit(Q(form.restoreSaveOn ? form.restoreSave : std::string()), this);
  restoreSaveCheck->setChecked(form.restoreSaveOn);
  restoreSave->setEnabled(form.restoreSaveOn);
  fields->addRow(QStringLiteral("Backup command:"), backup);
  fields->addRow(QStringLiteral("Restore start:"), restoreStart);
  fields->addRow(QStringLiteral("Restore end:"), restoreEnd);
  fields->addRow(restoreSaveCheck, restoreSave);
  layout->addLayout(fields);
  layout->addWidget(new QLabel(QStringLiteral("Use \\r for carriage-return and CNTL/ for control-key."), this));
  layout->addWidget(OkCancel(this));

  connect(telnetRadio, &QRadioButton::clicked, this, [this] {
    sshPort->clear();
    sshPort->setEnabled(false);
    telnetPort->setEnabled(true);
    telnetPort->setText(QStringLiteral("23"));
  });
  connect(sshRadio, &QRadioButton::clicked, this, [this] {
    sshPort->setEnabled(true);
    sshPort->setText(QStringLiteral("22"));
    telnetPort->clear();
    telnetPort->setEnabled(false);
  });
  connect(restoreSaveCheck, &QCheckBox::toggled, this, [this](bool on) {
    restoreSave->setEnabled(on);
    restoreSave->setText(on ? QStringLiteral("write memory\\r") : QString());
  });
  QTimer::singleShot(0, user, [this] { user->setFocus(); });
}

void ShellPropertiesDialog::accept() {
  ShellForm form;
  form.ssh = sshRadio->isChecked();
  form.port = S(form.ssh ? sshPort : telnetPort);
  form.timeout = static_cast<uint32_t>(spins.timeout->value());
  form.retries = static_cast<uint32_t>(spins.retries->value());
  form.user = S(user);
  form.password = S(password);
  form.privilegedCommand = S(privilegedCommand);
  form.privilegedPassword = S(privilegedPassword);
  form.backup = S(backup);
  form.restoreStart = S(restoreStart);
  form.restoreEnd = S(restoreEnd);
  form.restoreSaveOn = restoreSaveCheck->isChecked();
  form.restoreSave = S(restoreSave);
  if (auto refusal = form.Refuse()) return ShowRefusal(this, *refusal);
  form.Store(image_);
  QDialog::accept();
}

SnmpV1PropertiesDialog::SnmpV1PropertiesDialog(CPoolItem& image, QWidget* parent) : QDialog(parent), image_(image) {
  setWindowTitle(QStringLiteral("SnmpV1 Properties"));
  const SnmpV1Form form = SnmpV1Form::FromPool(image);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  spins = Spins(form.timeout, form.retries, QStringLiteral("Snmp"), fields, this);
  layout->addLayout(fields);
  auto* group = new QGroupBox(QStringLiteral("Communities"), this);
  auto* communities = new QFormLayout(group);
  readCommunity = Secret(form.readCommunity, group);
  writeCommunity = Secret(form.writeCommunity, group);
  communities->addRow(QStringLiteral("Read Community:"), readCommunity);
  communities->addRow(QStringLiteral("Write Community:"), writeCommunity);
  showCommunities =
      ShowCharacters(QStringLiteral("Show communities characters"), {readCommunity, writeCommunity}, this);
  communities->addRow(QString(), showCommunities);
  layout->addWidget(group);
  layout->addWidget(OkCancel(this));
  QTimer::singleShot(0, readCommunity, [this] { readCommunity->setFocus(); });
}

void SnmpV1PropertiesDialog::accept() {
  SnmpV1Form form;
  form.timeout = static_cast<uint32_t>(spins.timeout->value());
  form.retries = static_cast<uint32_t>(spins.retries->value());
  form.readCommunity = S(readCommunity);
  form.writeCommunity = S(writeCommunity);
  if (auto refusal = form.Refuse()) return ShowRefusal(this, *refusal);
  form.Store(image_);
  QDialog::accept();
}

SnmpV3PropertiesDialog::SnmpV3PropertiesDialog(CPoolItem& image, QWidget* parent) : QDialog(parent), image_(image) {
  setWindowTitle(QStringLiteral("SnmpV3 Properties"));
  const SnmpV3Form form = SnmpV3Form::FromPool(image);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  spins = Spins(form.timeout, form.retries, QStringLiteral("Snmp"), fields, this);
  securityName = new QLineEdit(Q(form.securityName), this);
  contextName = new QLineEdit(Q(form.contextName), this);
  contextEngineId = new QLineEdit(Q(form.contextEngineId), this);
  fields->addRow(QStringLiteral("User/Security Name:"), securityName);
  fields->addRow(QStringLiteral("Context Name:"), contextName);
  fields->addRow(QStringLiteral("Context Engine ID:"), contextEngineId);
  authProtocol = new QComboBox(this);
  privacyProtocol = new QComboBox(this);
  for (int i = 0; i < 3; ++i) {
    authProtocol->addItem(QStringList{"None", "MD5", "SHA"}[i], i + 1);
    privacyProtocol->addItem(QStringList{"None", "DES", "3DES"}[i], i + 1);
  }
  authProtocol->setCurrentIndex(static_cast<int>(form.authProtocol) - 1);
  privacyProtocol->setCurrentIndex(static_cast<int>(form.privacyProtocol) - 1);
  authPassword = Secret(form.authPassword, this);
  privacyPassword = Secret(form.privacyPassword, this);
  fields->addRow(QStringLiteral("Auth Protocol:"), authProtocol);
  fields->addRow(QStringLiteral("Auth Password:"), authPassword);
  fields->addRow(QStringLiteral("Privacy Protocol:"), privacyProtocol);
  fields->addRow(QStringLiteral("Privacy Password:"), privacyPassword);
  showPasswords = ShowCharacters(QStringLiteral("Show passwords characters"), {authPassword, privacyPassword}, this);
  fields->addRow(QString(), showPasswords);
  layout->addLayout(fields);
  layout->addWidget(OkCancel(this));
}

void SnmpV3PropertiesDialog::accept() {
  SnmpV3Form form;
  form.timeout = static_cast<uint32_t>(spins.timeout->value());
  form.retries = static_cast<uint32_t>(spins.retries->value());
  form.securityName = S(securityName);
  form.contextName = S(contextName);
  form.contextEngineId = S(contextEngineId);
  form.authPassword = S(authPassword);
  form.privacyPassword = S(privacyPassword);
  form.authProtocol = authProtocol->currentData().toUInt();
  form.privacyProtocol = privacyProtocol->currentData().toUInt();
  if (auto refusal = form.Refuse()) return ShowRefusal(this, *refusal);
  form.Store(image_);
  QDialog::accept();
}

}  // namespace mirvale

#pragma once
// The three protocol dialogs of the Pool Properties dialog: Shell Properties (telnet or SSH
// logon and the backup and restore commands), SnmpV1 Properties (communities) and SnmpV3
// Properties (user, context, authentication, privacy). Each reads the pool image it is given
// and, on OK, writes it back with exactly one protocol flag set.
#include <QDialog>

#include "desktop/pools/protocol_forms.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace mirvale {

// Timeout and retries, shared by the three dialogs.
struct SpinPair {
  QSpinBox* timeout;
  QSpinBox* retries;
};

class ShellPropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  ShellPropertiesDialog(CPoolItem& image, QWidget* parent = nullptr);
  void accept() override;

  SpinPair spins;
  QRadioButton* telnetRadio;
  QRadioButton* sshRadio;
  QLineEdit* telnetPort;
  QLineEdit* sshPort;
  QLineEdit* user;
  QLineEdit* password;
  QLineEdit* privilegedCommand;
  QLineEdit* privilegedPassword;
  QCheckBox* showPasswords;
  QLineEdit* backup;
  QLineEdit* restoreStart;
  QLineEdit* restoreEnd;
  QCheckBox* restoreSaveCheck;
  QLineEdit* restoreSave;

 private:
  CPoolItem& image_;
};

class SnmpV1PropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  SnmpV1PropertiesDialog(CPoolItem& image, QWidget* parent = nullptr);
  void accept() override;

  SpinPair spins;
  QLineEdit* readCommunity;
  QLineEdit* writeCommunity;
  QCheckBox* showCommunities;

 private:
  CPoolItem& image_;
};

class SnmpV3PropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  SnmpV3PropertiesDialog(CPoolItem& image, QWidget* parent = nullptr);
  void accept() override;

  SpinPair spins;
  QLineEdit* securityName;
  QLineEdit* contextName;
  QLineEdit* contextEngineId;
  QComboBox* authProtocol;
  QLineEdit* authPassword;
  QComboBox* privacyProtocol;
  QLineEdit* privacyPassword;
  QCheckBox* showPasswords;

 private:
  CPoolItem& image_;
};

}  // namespace mirvale

#pragma once
// CConfigurationToolsActionsServer: the "Email Server" sheet. OK (or Apply after a change)
// writes the SMTP settings into the settings document and commits it at once; a port outside 1
// to 65535 or a server that is no host name or address is refused first.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

class CConfigurationToolsActionsServer : public QDialog {
  Q_OBJECT
 public:
  CConfigurationToolsActionsServer(const PaneContext& context, QWidget* parent);

  void accept() override;
  void Apply();

  QLineEdit* server;
  QLineEdit* port;
  QLineEdit* sender;
  QLineEdit* user;
  QLineEdit* password;
  QSlider* timeout;
  QLabel* minutes;

 private:
  bool Refused();

  PaneContext context_;
  // The page edits the settings as it opened: its OK merges with the current (see Commit).
  CMirvaleApp::EditHold editing_{context_.app};
};

}  // namespace mirvale

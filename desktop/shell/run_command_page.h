#pragma once
// CConfigurationToolsActionCmdRun: the program an action runs, its optional account and its
// parameters. An empty command is refused and keeps the page open.
#include <QDialog>
#include <QLineEdit>

#include "desktop/shell/action_texts.h"

namespace mirvale {

class CConfigurationToolsActionCmdRun : public QDialog {
  Q_OBJECT
 public:
  CConfigurationToolsActionCmdRun(const QString& text, QWidget* parent);

  QString Text() const;
  void accept() override;

  QLineEdit* command;
  QLineEdit* domain;
  QLineEdit* user;
  QLineEdit* password;
  QLineEdit* parameters;
};

}  // namespace mirvale

#pragma once
// CConfigurationToolsActionsFormat: the "Email Format" sheet, the subject and body templates of
// the action e-mails. OK writes them and commits the settings document at once.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "desktop/shell/pane_registry.h"

namespace mirvale {

class CConfigurationToolsActionsFormat : public QDialog {
  Q_OBJECT
 public:
  CConfigurationToolsActionsFormat(const PaneContext& context, QWidget* parent);

  void accept() override;

  QCheckBox* subjectCheck;
  QLineEdit* subject;
  QCheckBox* bodyCheck;
  QPlainTextEdit* body;

 private:
  PaneContext context_;
};

}  // namespace mirvale

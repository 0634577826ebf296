#pragma once
// CConfigurationToolsActionsFormat: the "Email Format" sheet, the subject and body templates of
// the action e-mails. OK (or Apply after a change) writes them and commits the settings document
// at once.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

class CConfigurationToolsActionsFormat : public QDialog {
  Q_OBJECT
 public:
  CConfigurationToolsActionsFormat(const PaneContext& context, QWidget* parent);

  void Apply();
  void accept() override;

  QCheckBox* subjectCheck;
  QLineEdit* subject;
  QCheckBox* bodyCheck;
  QPlainTextEdit* body;
  QPushButton* applyButton;

 private:
  PaneContext context_;
  // The page edits the settings as it opened: its OK merges with the current (see Commit).
  CMirvaleApp::EditHold editing_{context_.app};
};

}  // namespace mirvale

#pragma once
// CConfigurationToolsAction: the "Action Properties" sheet's page that adds or edits one action
// of the Actions pane's working copy: its conditions (pool, address range, command or query,
// value, changes only) and what it does (run a program, e-mail, traps).
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include "common/record_map.h"
#include "common/settings_records.h"

namespace mirvale {

class CMirvaleApp;

class CConfigurationToolsAction : public QDialog {
  Q_OBJECT
 public:
  // editName: the action edited, empty for a new one. work: the pane's working copy, which OK
  // fills. The pools and the stored results come from the application object.
  CConfigurationToolsAction(CMirvaleApp& app, RecordMap<CActionItem>& work, const QString& editName, QWidget* parent);

  void accept() override;
  // The name confirmed by OK.
  QString Name() const { return name->text(); }

  // Opens the sheet of row 0 (run command), 1 (e-mail recipients) or 2 (trap managers); onCheckBox:
  // the click fell on the row's check box.
  void OpenRow(int row, bool onCheckBox);
  // The command or query tree under the command box (its drop-down), and a choice in it.
  void ShowCommandTree();
  void ChooseCommand(QTreeWidgetItem* item);
  QTreeWidget* CommandTree() const { return tree_; }

  QLineEdit* name;
  QComboBox* pool;
  QLineEdit* address;
  QLineEdit* mask;
  QComboBox* command;
  QLineEdit* value;
  QCheckBox* changesOnly;
  QListWidget* todo;

  QString m_strQueryPath;
  QString m_strRunCommand;
  QString m_strMailRecipients;
  QString m_strTrapManagers;

 private:
  QString& TextOfRow(int row);
  bool eventFilter(QObject* watched, QEvent* event) override;

  CMirvaleApp& app_;
  QTreeWidget* tree_;
  bool shellTree_ = false;
  RecordMap<CActionItem>& work_;
  QString editName_;
};

}  // namespace mirvale

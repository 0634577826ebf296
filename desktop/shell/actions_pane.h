#pragma once
// CConfigurationToolsActions: the automatic actions, each with its enabled check box, edited in
// a working copy until Save; and the links to the three e-mail settings sheets.
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include "common/record_map.h"
#include "common/settings_records.h"
#include "desktop/shell/pane_registry.h"
#include "desktop/shell/settings_collect.h"
#include "desktop/shell/settings_pane.h"

namespace mirvale {

class SettingsLink;

class CConfigurationToolsActions : public QWidget, public SettingsPane {
  Q_OBJECT
 public:
  CConfigurationToolsActions(const PaneContext& context, QWidget* parent);

  void CollectInto(CMirvaleDoc& doc) override;
  const RecordMap<CActionItem>& WorkActions() const { return m_mapWorkActions; }
  std::vector<ActionRow> Rows() const;

  void Add();
  void Edit();
  void Remove();
  void OpenServer();
  void OpenFormat();
  void OpenTest();

  QListWidget* list;
  QPushButton* addButton;
  QPushButton* editButton;
  QPushButton* removeButton;

  void Reload() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void OpenProperties(const QString& editName);

  PaneContext context_;
  RecordMap<CActionItem> m_mapWorkActions;
  bool reloading_ = false;
};

}  // namespace mirvale

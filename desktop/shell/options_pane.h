#pragma once
// CConfigurationToolsOptions: the service's start mode, the automatic scans and the audit
// logging, edited in the pane's own controls until Save collects them.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QWidget>
#include <optional>

#include "desktop/shell/pane_registry.h"
#include "desktop/shell/settings_collect.h"
#include "desktop/shell/settings_pane.h"

namespace mirvale {

class CConfigurationToolsOptions : public QWidget, public SettingsPane {
  Q_OBJECT
 public:
  CConfigurationToolsOptions(const PaneContext& context, QWidget* parent);

  void CollectInto(CMirvaleDoc& doc) override;
  void BeforeCommit() override;

  OptionsForm Form() const;
  bool ServiceAutoStart() const { return m_bServiceAutoStart; }

  void Add();
  void Edit();
  void Remove();

  QRadioButton* automaticRadio;
  QRadioButton* manualRadio;
  QCheckBox* autoScanCheck;
  QTreeWidget* scanList;
  QPushButton* addButton;
  QPushButton* editButton;
  QPushButton* removeButton;
  QCheckBox* scanLogCheck;
  QCheckBox* changesLogCheck;
  QRadioButton* textRadio;
  QRadioButton* csvRadio;
  QLabel* fileLabel;
  QLineEdit* fileEdit;
  QPushButton* browseButton;
  QCheckBox* removalCheck;
  QSpinBox* keepSpin;
  QComboBox* unitCombo;

  void Reload() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ReloadStartMode();
  void AddRow(const AutoScanRow& row);
  void SetLogControlsEnabled(bool enabled);
  void ApplyRemovalRule();
  void Changed();
  std::optional<AutoScanRow> RunSheet(const AutoScanRow* editing);

  PaneContext context_;
  bool m_bServiceAutoStart = false;
  bool reloading_ = false;
};

}  // namespace mirvale

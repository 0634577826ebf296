#pragma once
// CConfigurationToolsExport: the automatic exports after each scan, to a text file in a folder
// and to a database through the ODBC data source "MirvaleDB" that the pane sets up.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "desktop/shell/pane_registry.h"
#include "desktop/shell/settings_collect.h"
#include "desktop/shell/settings_pane.h"

namespace mirvale {

class CConfigurationToolsExport : public QWidget, public SettingsPane {
  Q_OBJECT
 public:
  CConfigurationToolsExport(const PaneContext& context, QWidget* parent);

  void CollectInto(CMirvaleDoc& doc) override;
  ExportForm Form() const;
  // Sets up the data source, connects to it and shows its connection text.
  void SetUpDataSource();

  QCheckBox* textCheck;
  QRadioButton* textRadio;
  QRadioButton* csvRadio;
  QLabel* folderLabel;
  QLineEdit* folderEdit;
  QPushButton* folderButton;
  QCheckBox* databaseCheck;
  QRadioButton* serverRadio;
  QRadioButton* fileRadio;
  QLabel* databaseLabel;
  QLineEdit* databaseEdit;
  QPushButton* databaseButton;

  void Reload() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void TextGroupRule();
  void DatabaseGroupRule();
  void Changed();

  PaneContext context_;
  bool reloading_ = false;
};

}  // namespace mirvale

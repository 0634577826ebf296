#pragma once
// CConfigurationToolsSave: the Save and Cancel buttons under the settings panes. Save collects
// the visible settings pane into the settings document, commits it (Mirvale.ini to the data
// folder, control code 134) and returns to the main pane shown before; Cancel only returns.
// The settings pane shown, while it holds no edit, shows the service's settings anew whenever
// they change.
#include <QPushButton>
#include <QWidget>

#include <optional>
#include <vector>

#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

class SettingsPane;

class CConfigurationToolsSave : public QWidget {
  Q_OBJECT
 public:
  CConfigurationToolsSave(const PaneContext& context, QWidget* parent);

  // The pane shown holds edits not saved yet: settings the service changes meanwhile are
  // merged at Save rather than loaded under them.
  void EnableSave();
  bool SaveEnabled() const { return save_->isEnabled(); }
  void Save();
  void Cancel();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The settings panes shown; last: the last of them.
  std::vector<SettingsPane*> ShownPanes(QWidget** last = nullptr) const;

  PaneContext context_;
  QPushButton* save_;
  QPushButton* cancel_;
  bool saving_ = false;
  std::optional<CMirvaleApp::EditHold> editing_;
};

}  // namespace mirvale

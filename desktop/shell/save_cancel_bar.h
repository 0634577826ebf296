#pragma once
// CConfigurationToolsSave: the Save and Cancel buttons under the settings panes. Save collects
// the visible settings pane into the settings document, commits it (Mirvale.ini to the data
// folder, control code 134) and returns to the main pane shown before; Cancel only returns.
#include <QPushButton>
#include <QWidget>

#include "desktop/shell/pane_registry.h"

namespace mirvale {

class CConfigurationToolsSave : public QWidget {
  Q_OBJECT
 public:
  CConfigurationToolsSave(const PaneContext& context, QWidget* parent);

  void EnableSave() { save_->setEnabled(true); }
  bool SaveEnabled() const { return save_->isEnabled(); }
  void Save();
  void Cancel();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  PaneContext context_;
  QPushButton* save_;
  QPushButton* cancel_;
  bool saving_ = false;
};

}  // namespace mirvale

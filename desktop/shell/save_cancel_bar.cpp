#include "desktop/shell/save_cancel_bar.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "desktop/shell/mirvale_app.h"
#include "desktop/shell/settings_pane.h"
#include "desktop/shell/settings_widgets.h"
#include "desktop/shell/shell_colours.h"

namespace mirvale {

void EnableSave(const PaneContext& context) {
  if (!context.paneInSlot) return;
  if (auto* bar = dynamic_cast<CConfigurationToolsSave*>(context.paneInSlot(PaneSlot::SaveBar))) bar->EnableSave();
}

CConfigurationToolsSave::CConfigurationToolsSave(const PaneContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      save_(new QPushButton(QStringLiteral("Save"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  save_->setObjectName(QStringLiteral("saveButton"));
  cancel_->setObjectName(QStringLiteral("cancelButton"));
  connect(save_, &QPushButton::clicked, this, &CConfigurationToolsSave::Save);
  connect(cancel_, &QPushButton::clicked, this, &CConfigurationToolsSave::Cancel);
  connect(&context_.app, &CMirvaleApp::settingsReloaded, this, [this] {
    if (!isVisible() || editing_) return;
    for (SettingsPane* pane : ShownPanes()) pane->Reload();
  });
}

void CConfigurationToolsSave::EnableSave() {
  save_->setEnabled(true);
  if (!editing_) editing_.emplace(context_.app);
}

std::vector<SettingsPane*> CConfigurationToolsSave::ShownPanes(QWidget** last) const {
  std::vector<SettingsPane*> shown;
  for (PaneSlot slot : {PaneSlot::Options, PaneSlot::Actions, PaneSlot::Export}) {
    QWidget* pane = context_.paneInSlot ? context_.paneInSlot(slot) : nullptr;
    if (pane && pane->isVisible())
      if (auto* settings = dynamic_cast<SettingsPane*>(pane)) {
        shown.push_back(settings);
        if (last) *last = pane;
      }
  }
  return shown;
}

void CConfigurationToolsSave::showEvent(QShowEvent* event) {
  save_->setEnabled(false);
  editing_.reset();
  QWidget::showEvent(event);
}

void CConfigurationToolsSave::hideEvent(QHideEvent* event) {
  editing_.reset();  // what the pane held is gone with it
  QWidget::hideEvent(event);
}

void CConfigurationToolsSave::Save() {
  if (saving_) return;
  QWidget* shownPane = nullptr;
  const std::vector<SettingsPane*> shown = ShownPanes(&shownPane);
  for (SettingsPane* pane : shown) pane->BeforeCommit();
  context_.app.WithDocument([&](CMirvaleDoc& doc) {
    for (SettingsPane* pane : shown) pane->CollectInto(doc);
  });
  // The edit is in the document now; an edit the user drops shows the current settings.
  editing_.reset();
  // While the service is waited for, this bar and the pane drop input; the tool band and the
  // other panes stay in use, and a pane the user went to meanwhile is not taken away.
  const int returnTo = context_.lastMainCommand();
  saving_ = true;
  context_.app.CommitSettings(window(), {this, shownPane});
  saving_ = false;
  if (isVisible() && context_.lastMainCommand() == returnTo) context_.dispatchCommand(returnTo);
}

void CConfigurationToolsSave::Cancel() { context_.dispatchCommand(context_.lastMainCommand()); }

void CConfigurationToolsSave::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    Cancel();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CConfigurationToolsSave::resizeEvent(QResizeEvent*) {
  const int w = width();
  const int h = height();
  save_->setGeometry(w - 220, h - 37, 95, 25);
  cancel_->setGeometry(w - 120, h - 37, 95, 25);
}

void CConfigurationToolsSave::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  const int h = height();
  for (int y = 0; y < h; ++y) p.fillRect(0, y, w, 1, QColor(1 + 82 * y / h, 103 + 81 * y / h, 204 + 43 * y / h));
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath strip;
  strip.addRoundedRect(QRectF(0, -5, w + 6, h + 5), 5.5, 5.5);
  p.fillPath(strip, QColor(239, 239, 239));
}

}  // namespace mirvale

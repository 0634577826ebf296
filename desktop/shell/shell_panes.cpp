#include "desktop/shell/shell_panes.h"

#include "desktop/shell/about_box.h"
#include "desktop/shell/actions_pane.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/export_pane.h"
#include "desktop/shell/home_pane.h"
#include "desktop/shell/options_pane.h"
#include "desktop/shell/pane_registry.h"
#include "desktop/shell/save_cancel_bar.h"
#include "desktop/shell/tools_pane.h"

namespace mirvale {

// Each pane: RegisterPane(slot, factory), where the factory builds the pane as a child of parent
// and may keep the context (application object, command path).
void RegisterShellPanes(PaneRegistry& registry) {
  registry.RegisterPane(PaneSlot::Home, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationHome(context, parent);
  });
  registry.RegisterPane(PaneSlot::Tools, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationTools(context, parent);
  });
  registry.RegisterPane(PaneSlot::SaveBar, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationToolsSave(context, parent);
  });
  registry.RegisterPane(PaneSlot::Options, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationToolsOptions(context, parent);
  });
  registry.RegisterPane(PaneSlot::Actions, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationToolsActions(context, parent);
  });
  registry.RegisterPane(PaneSlot::Export, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationToolsExport(context, parent);
  });
  registry.RegisterCommand(kCommandAbout, [](const PaneContext&, QWidget* parent) {
    CConfigurationAbout about(parent);
    about.exec();
  });
}

}  // namespace mirvale

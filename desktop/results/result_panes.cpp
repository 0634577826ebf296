#include "desktop/results/result_panes.h"

#include "desktop/results/command_page.h"
#include "desktop/results/compare_devices_dialog.h"
#include "desktop/results/query_page.h"
#include "desktop/results/reports_pane.h"
#include "desktop/results/restore_devices_dialog.h"
#include "desktop/results/set_devices_dialog.h"
#include "desktop/shell/command_ids.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

void RegisterResultPanes(PaneRegistry& registry) {
  registry.RegisterPane(PaneSlot::Reports, [](const PaneContext& context, QWidget* parent) {
    return new CConfigurationReportsPane(context, parent);
  });
  registry.RegisterCommand(kCommandSetDevices, [](const PaneContext& context, QWidget* parent) {
    CConfigurationSetDevices dialog(context.app, parent);
    dialog.exec();
  });
  registry.RegisterCommand(kCommandRestoreDevices, [](const PaneContext& context, QWidget* parent) {
    CConfigurationRestoreDevices dialog(context.app, parent);
    dialog.exec();
  });
  registry.RegisterCommand(kCommandCompareDevices, [](const PaneContext& context, QWidget* parent) {
    CConfigurationCompareDevices dialog(context.app, parent);
    dialog.exec();
  });
  registry.RegisterDetailPages({RunQueryProperties, RunCommandProperties});
}

}  // namespace mirvale

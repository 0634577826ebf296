#include "desktop/results/result_panes.h"

#include "desktop/shell/command_ids.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

void RegisterResultPanes(PaneRegistry& registry) {
  registry.DescribePending(PaneSlot::Reports, QStringLiteral("The Reports pane will list the configuration lines "
                                                             "and SNMP results stored for the devices."));
  registry.DescribePending(kCommandSetDevices, QStringLiteral("The Set Devices dialog is not built yet."));
  registry.DescribePending(kCommandRestoreDevices, QStringLiteral("The Restore Devices dialog is not built yet."));
  registry.DescribePending(kCommandCompareDevices, QStringLiteral("The Compare Devices dialog is not built yet."));
}

}  // namespace mirvale

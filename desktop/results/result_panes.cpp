#include "desktop/results/result_panes.h"

#include "desktop/shell/command_ids.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

void RegisterResultPanes(PaneRegistry& registry) {
  registry.DescribePending(PaneSlot::Reports, QStringLiteral("The Reports pane will build the reports of changes, "
                                                             "values and devices from the device database."));
  registry.DescribePending(kCommandSetDevices, QStringLiteral("The Set Devices dialog is not built yet."));
  registry.DescribePending(kCommandRestoreDevices, QStringLiteral("The Restore Devices dialog is not built yet."));
  registry.DescribePending(kCommandCompareDevices, QStringLiteral("The Compare Devices dialog is not built yet."));
}

}  // namespace mirvale

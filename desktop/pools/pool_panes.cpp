#include "desktop/pools/pool_panes.h"

#include "desktop/shell/pane_registry.h"

namespace mirvale {

void RegisterPoolPanes(PaneRegistry& registry) {
  registry.DescribePending(PaneSlot::Scan, QStringLiteral("The Scan pane will list the pools, start and stop their "
                                                          "scans and show the last results of their devices."));
}

}  // namespace mirvale

#include "desktop/pools/pool_panes.h"

#include "desktop/pools/scan_pane.h"

namespace mirvale {

void RegisterPoolPanes(PaneRegistry& registry) { RegisterScanPane(registry); }

}  // namespace mirvale

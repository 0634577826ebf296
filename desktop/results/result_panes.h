#pragma once
// The results folder's pane and dialogs, registered with the main view by desktop/main.cpp.
namespace mirvale {

class PaneRegistry;

// The Reports pane; the Set, Restore and Compare Devices dialogs.
void RegisterResultPanes(PaneRegistry& registry);

}  // namespace mirvale

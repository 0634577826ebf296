#pragma once
// The shell folder's panes and dialogs, registered with the main view by desktop/main.cpp.
namespace mirvale {

class PaneRegistry;

// Home, Tools, the Save/Cancel bar, Options, Actions, Export, and the About box.
void RegisterShellPanes(PaneRegistry& registry);

}  // namespace mirvale

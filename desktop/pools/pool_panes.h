#pragma once
// The pools folder's panes, registered with the main view by desktop/main.cpp.
namespace mirvale {

class PaneRegistry;

// The Scan pane (which opens the pool dialogs itself).
void RegisterPoolPanes(PaneRegistry& registry);

}  // namespace mirvale

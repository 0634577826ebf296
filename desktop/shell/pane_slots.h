#pragma once
// The eight places of the main view, in the order the view creates them.
#include <array>

namespace mirvale {

enum class PaneSlot { Home, Scan, Reports, Tools, SaveBar, Options, Actions, Export };

inline constexpr std::array<PaneSlot, 8> kAllPaneSlots = {PaneSlot::Home,    PaneSlot::Scan,    PaneSlot::Reports,
                                                          PaneSlot::Tools,   PaneSlot::SaveBar, PaneSlot::Options,
                                                          PaneSlot::Actions, PaneSlot::Export};

inline constexpr int PaneIndex(PaneSlot slot) { return static_cast<int>(slot); }

// A short name for object names, placeholders and screenshots ("Home", "Save/Cancel bar", ...).
const char* PaneSlotName(PaneSlot slot);

}  // namespace mirvale

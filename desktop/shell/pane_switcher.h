#pragma once
// Which of the eight panes are visible after a command, and which main pane a settings pane
// returns to. No widgets: the main view applies the result.
#include <array>
#include <optional>

#include "desktop/shell/command_ids.h"
#include "desktop/shell/pane_slots.h"

namespace mirvale {

class PaneSwitcher {
 public:
  // Applies a pane command (Home, Scan, Reports, Tools, Options, Actions, Export); false, and
  // nothing changed, for any other command.
  bool Dispatch(int command);

  bool Visible(PaneSlot slot) const { return visible_[PaneIndex(slot)]; }
  // The main pane's command that was visible when a settings pane opened (Home until then);
  // the Save/Cancel bar sends it to go back.
  int LastMainCommand() const { return m_nLastMainCommand; }

  static std::optional<PaneSlot> SlotOfCommand(int command);

 private:
  void ShowMain(PaneSlot slot);
  void ShowSettings(PaneSlot slot);

  std::array<bool, 8> visible_{};  // all hidden until the first command
  int m_nLastMainCommand = kCommandHome;
};

}  // namespace mirvale

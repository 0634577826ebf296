#include "desktop/shell/pane_switcher.h"

namespace mirvale {

const char* PaneSlotName(PaneSlot slot) {
  switch (slot) {
    case PaneSlot::Home: return "Home";
    case PaneSlot::Scan: return "Scan";
    case PaneSlot::Reports: return "Reports";
    case PaneSlot::Tools: return "Tools";
    case PaneSlot::SaveBar: return "Save/Cancel bar";
    case PaneSlot::Options: return "Options";
    case PaneSlot::Actions: return "Actions";
    case PaneSlot::Export: return "Export";
  }
  return "";
}

std::optional<PaneSlot> PaneSwitcher::SlotOfCommand(int command) {
  switch (command) {
    case kCommandHome: return PaneSlot::Home;
    case kCommandScan: return PaneSlot::Scan;
    case kCommandReports: return PaneSlot::Reports;
    case kCommandTools: return PaneSlot::Tools;
    case kCommandOptions: return PaneSlot::Options;
    case kCommandActions: return PaneSlot::Actions;
    case kCommandExport: return PaneSlot::Export;
    default: return std::nullopt;
  }
}

bool PaneSwitcher::Dispatch(int command) {
  auto slot = SlotOfCommand(command);
  if (!slot) return false;
  if (command >= kCommandOptions)
    ShowSettings(*slot);
  else
    ShowMain(*slot);
  return true;
}

void PaneSwitcher::ShowMain(PaneSlot slot) {
  visible_.fill(false);
  visible_[PaneIndex(slot)] = true;
}

void PaneSwitcher::ShowSettings(PaneSlot slot) {
  // The last visible main pane in the order Home, Scan, Reports, Tools wins; none keeps the
  // earlier value (a settings pane opened from another settings pane).
  constexpr std::array<std::pair<PaneSlot, int>, 4> kMain = {{{PaneSlot::Home, kCommandHome},
                                                              {PaneSlot::Scan, kCommandScan},
                                                              {PaneSlot::Reports, kCommandReports},
                                                              {PaneSlot::Tools, kCommandTools}}};
  for (auto [mainSlot, mainCommand] : kMain)
    if (Visible(mainSlot)) m_nLastMainCommand = mainCommand;
  visible_.fill(false);
  visible_[PaneIndex(PaneSlot::SaveBar)] = true;
  visible_[PaneIndex(slot)] = true;
}

}  // namespace mirvale

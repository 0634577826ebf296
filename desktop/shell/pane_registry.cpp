#include "desktop/shell/pane_registry.h"

namespace mirvale {

void PaneRegistry::RegisterPane(PaneSlot slot, PaneFactory factory) { panes_[slot] = std::move(factory); }

void PaneRegistry::RegisterCommand(int command, CommandOpener opener) { commands_[command] = std::move(opener); }

void PaneRegistry::DescribePending(PaneSlot slot, QString description) { pendingPanes_[slot] = std::move(description); }

void PaneRegistry::DescribePending(int command, QString description) {
  pendingCommands_[command] = std::move(description);
}

const PaneFactory* PaneRegistry::Pane(PaneSlot slot) const {
  auto found = panes_.find(slot);
  return found == panes_.end() ? nullptr : &found->second;
}

const CommandOpener* PaneRegistry::Command(int command) const {
  auto found = commands_.find(command);
  return found == commands_.end() ? nullptr : &found->second;
}

QString PaneRegistry::PendingDescription(PaneSlot slot) const {
  auto found = pendingPanes_.find(slot);
  return found == pendingPanes_.end() ? QString() : found->second;
}

QString PaneRegistry::PendingDescription(int command) const {
  auto found = pendingCommands_.find(command);
  return found == pendingCommands_.end() ? QString() : found->second;
}

}  // namespace mirvale

#pragma once
// The question a commit asks when another member (or the service) changed the settings since
// this desktop loaded them, in the same places as this user's edit.
#include <string>
#include <vector>

class QWidget;

namespace mirvale {

// Names what both changed; true: keep this user's edit on top of the current settings, false:
// drop it.
bool AskKeepMineOnTop(QWidget* parent, const std::vector<std::string>& conflicts);

}  // namespace mirvale

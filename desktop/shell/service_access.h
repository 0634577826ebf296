#pragma once
// What the desktop tells its user when the service is out of reach: an account outside the
// operators' group (which cannot reach the control socket at all, so is never offered a start
// of the service), and what blocked a settings commit when that can be told.
#include <string>

namespace mirvale {

// The account is not in the operators' group, naming the group and the command that adds it.
std::string NotOperatorText(const std::string& account);

// The first sentence of every failed commit.
inline constexpr char kSettingsFailedText[] = "Settings failed, please check your access permissions.";

// kSettingsFailedText followed by what blocked the commit, when it can be told: the account is
// not an operator, or the service does not listen. (Another member's files in the data folder
// block nobody: each account hands over under names of its own.)
std::string SettingsFailureText(const std::string& account);

}  // namespace mirvale

#pragma once
// The text rules of the shell conversation: command scripts cut into the texts sent, and
// collected lines cleaned for storing or shown as the screen shows them (terminal output is cut
// into lines by OutputLines).
#include <string>
#include <string_view>
#include <vector>

#include "common/text_trim.h"

namespace mirvale {

// The texts a command script sends, without their CR: pieces between the two characters
// backslash and r (an empty piece between two separators counts, one after the last does
// not), trimmed, with "CNTL/x" turned into the control character of the letter x.
std::vector<std::string> ScriptPieces(std::string_view script);

// A command typed as one line: the script that sends it once, whether or not it already ends
// with the separator.
std::string OneLineScript(std::string_view command);

// A line by which a device rejects what it was sent: one starting with "% " (as in
// "% Invalid input") or with "Error". Console messages such as "%SYS-5-CONFIG_I: ..." are not.
bool IsDeviceErrorLine(std::string_view line);

// A collected line as stored: ESC characters removed, backspaces applied, trailing white space
// removed.
std::string CleanShellLine(std::string_view line);

// A line as the device's screen shows it, for judging where the device waits: whole control
// sequences gone (CSI, private modes such as bracketed paste and cursor display, OSC and other
// strings, charset and mode switches), cursor-left, cursor-right, column and erase-line ("[K",
// "[2K") applied, other control characters gone; a backspace removes the character before it at
// the line's end and moves back elsewhere. Linear in the line's length.
std::string ScreenLine(std::string_view line);

}  // namespace mirvale

#pragma once
// What a device's answer to one text sent means: whether a login step ended at a prompt, whether
// the prompt came back in answer to a line break (the listing before it is then whole), and
// whether a whole listing is nothing but the device's error answer.
#include <string>
#include <string_view>
#include <vector>

#include "service/shell_session/shell_output_lines.h"

namespace mirvale {

// A login step (the last login text, or the privileged command's last text) succeeded only when
// its answer ends at a prompt on a live connection; a privileged step also only when no words
// stand between the echo of what was sent and that prompt. The reason it failed, for the event
// log, or empty when it succeeded: the device's words, shortened (they are never kept as
// output), or what came instead of a prompt.
std::string LoginStepRefusal(const OutputLines::Answer& answer, bool alive, bool onlyPrompt);

// The answer to a line break sent where `prompt` (a shown line) stood: nothing but that prompt
// again (after the echo of the line break, or on the same line from a device that echoes
// nothing), once or more.
bool PromptCameBack(const OutputLines::Answer& answer, std::string_view prompt);

// The collected lines of a backup command are its echo and one error line of the device
// ("% Invalid input detected at '^' marker.", with or without the marker line above it): the
// command was refused, and nothing of a configuration came.
bool IsErrorAnswerOnly(const std::vector<std::string>& lines);

}  // namespace mirvale

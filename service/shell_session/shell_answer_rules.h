#pragma once
// What a device's answer to one text sent means: whether a login step ended at a prompt, whether
// the prompt came back in answer to a line break (the listing before it is then whole), whether
// the prompt stood after the listing when the device closed, and whether a whole listing is
// nothing but the device's error answer or its prompt. Lines are judged as the device's screen
// shows them (ShownLine).
#include <string>
#include <string_view>
#include <vector>

#include "service/shell_session/shell_output_lines.h"
#include "service/shell_session/shell_prompt_watch.h"

namespace mirvale {

// A line by which a device refuses a login or a privileged step: an error line ("% Access
// denied") or one beginning with refusal words ("Access denied", "Invalid password", "Bad
// secrets", "Authentication failed", ...). shown: a line as ShownLine gives it.
bool IsRefusalLine(std::string_view shown);

// A login step (the last login text, or the privileged command's last text) succeeded only when
// its answer ends at a prompt on a live connection; a privileged step also only when no refusal
// line (IsRefusalLine) stands before that prompt; informational lines may. sent: the text sent,
// whose echo is no words of the device (and never shown, being perhaps a secret). The reason it
// failed, for the event log, or empty when it succeeded: the device's refusal or other words,
// shortened (they are never kept as output), or what came instead of a prompt.
std::string LoginStepRefusal(const OutputLines::Answer& answer, std::string_view sent, bool alive, bool privileged);

// The answer to a line break sent where `prompt` (a shown line) stood: nothing but a prompt of
// the same shape again (after the echo of the line break, or on the same line from a device that
// echoes nothing), once or more, lines the screen shows nothing of aside: a clock or a counter in
// the prompt may change.
bool PromptCameBack(const OutputLines::Answer& answer, std::string_view prompt);

// The shown lines of an answer, lines the screen shows nothing of aside.
size_t ShownLineCount(const OutputLines::Answer& answer);

// The collected lines of a backup command are its echo and one error line of the device
// ("% Invalid input detected at '^' marker.", with or without the marker line above it): the
// command was refused, and nothing of a configuration came.
bool IsErrorAnswerOnly(const std::vector<std::string>& lines);

// The collected lines of a backup command, its final prompt gone, hold nothing but the echoes of
// the script's lines and the device's prompts: no configuration came.
bool IsEmptyListing(const std::vector<std::string>& lines, const std::vector<std::string>& pieces,
                    const PromptWatch& prompt);

// The connection ended after the listing of a script that sent a line after the backup command
// (the "exit" of "show running-config\rexit"): the index of the line where the device's prompt
// stood, followed by the echo of the script's last line or alone at the very end, among the last
// few lines (what the device said while closing may follow); lines.size() when there is none.
size_t PromptBeforeClose(const std::vector<std::string>& lines, std::string_view lastPiece, const PromptWatch& prompt);

}  // namespace mirvale

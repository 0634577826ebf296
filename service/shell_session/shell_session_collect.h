#pragma once
// A device's configuration through the shell: log in, run the pool's backup command, page
// through the output with spaces, and read on until the device's prompt comes back.
#include <string>
#include <vector>

#include "service/shell_session/shell_session.h"

namespace mirvale {

struct ShellCollection {
  bool logonFailed = true;  // no login completed
  // The device's prompt came back after the listing: the lines are the whole configuration.
  // Anything else (a connection that ended, silence, a cut, a stop, an error answer) keeps no
  // line and is in the event log.
  bool complete = false;
  // The output was cut short (a limit, or a device that never paused).
  bool cutShort = false;
  // As received, without pager prompts and the final prompt; CleanShellLine gives the stored
  // form. Empty unless complete.
  std::vector<std::string> lines;
  ShellCut cut = ShellCut::None;  // what cut the conversation short
};

// Bounds on a device that pages for ever.
struct ShellPagingLimits {
  int pages = 5000;
  size_t lines = 200000;
};

// Opens a connection and closes it again; true when the device answered. scanStop, when given,
// ends the conversation as the service's stop does.
bool ShellAnswers(ShellConversations& conversations, const std::string& address, const ShellSettings& settings,
                  const ManualEvent* scanStop = nullptr);

// Up to the retries attempts, while no whole configuration has been collected and the output
// was not cut short; one conversation each. A cut (a bound, or a stop) ends the attempts.
ShellCollection CollectShellConfiguration(ShellConversations& conversations, const std::string& address,
                                          const ShellSettings& settings, ShellPagingLimits limits = {},
                                          const ManualEvent* scanStop = nullptr);

enum class ShellRequestOutcome {
  Unanswered,  // no text brought an answer
  Answered,    // every text was sent on a live conversation, and no answer held an error line
  Rejected,    // the device answered a sent text with an error line
  Incomplete,  // the conversation ended before every text was sent and answered
};

// Sends a shell set or restore request inside an open, logged-in conversation: the pool's
// restore start, the command path as one line, each non-empty line of the value (trimmed), the
// restore end and, when set, the restore save. Each text the device answered with an error line
// is named in the event log and, when rejected is given, added to it; an end before the last
// answer is in the event log too.
ShellRequestOutcome SendShellRequest(CShellSession& session, const std::string& command, const std::string& value,
                                     std::vector<std::string>* rejected = nullptr);

}  // namespace mirvale

#pragma once
// Whether a device's output has evidently stopped where the device waits for input, so that a
// read need not sit out the whole time-out: the device's own prompt (learned once logged in) or
// a mode of it, a pager prompt, or, while logging in, a question. Lines are taken as the
// terminal shows them: backspaces applied, blanks trimmed on both sides.
#include <optional>
#include <string>
#include <string_view>

namespace mirvale {

class PromptWatch {
 public:
  // The line the device shows once logged in is its prompt from now on.
  void Learn(std::string_view screenLine);

  // screenLine: the line the device's output stands on, including what it showed before the
  // last text was sent (its prompt, followed by the echo of a space typed there). fresh: the part
  // of that line that arrived since the send. A pager prompt or a question must be fresh, so
  // that an echo of what answered the previous one is not taken for it.
  bool Waits(std::string_view screenLine, std::string_view fresh) const;

 private:
  bool IsPrompt(const std::string& line) const;

  std::optional<std::string> prompt_;  // none while logging in
};

}  // namespace mirvale

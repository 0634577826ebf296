#pragma once
// Whether a device's output has certainly stopped where the device waits for input, so that a
// read need not sit out the whole time-out: the device's own prompt (learned once logged in) or
// the same name in another mode, standing alone on the last line; a pager prompt; or, while
// logging in, a question. Lines are taken as the device's screen shows them (ShownLine): control
// sequences, colours, cursor moves and bracketed-paste marks make no prompt into words. Whatever
// ends a read early, the next read continues the line (OutputLines), so a line that only looked
// like a prompt costs a stray key, never a byte.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirvale {

// A line as the device's screen shows it (ScreenLine), blanks trimmed on both sides.
std::string ShownLine(std::string_view line);

// A shown prompt with every run of digits as one "0": prompts of one device that differ only in
// a clock or a counter ("[12:00:01] admin@router:~$", "[7]router#") have one shape.
std::string PromptShape(std::string_view shown);

// The pager prompts recognised: the word "more" in any case, alone or with a percentage,
// between dashes, angle brackets, parentheses or blanks, with at least one dash, bracket or
// parenthesis: "--More--", " -- More -- ", "<--- More --->", "---(more)---",
// "---(more 45%)---"; also such a prompt followed by its keys' hints after a comma ("-- MORE --,
// next page: Space, next line: Enter, quit: Control-C"). shown: a line as ShownLine gives it.
bool IsPagerPrompt(std::string_view shown);

// A shown line that ends as prompts do ("Router>", "Router#", "$", "%"), short as they are.
bool LooksLikePrompt(std::string_view shown);

// A line whose text from `start` on the device erased on the screen: it moved the cursor back to
// that text's beginning (backspaces, cursor-left "[nD") or cleared the line ("[2K", also
// without a carriage return after it); what followed replaces it ("[K" erasing to the end). The
// text erased and the line as the screen shows it then; none when the text still stands.
// Escape characters are gone already.
struct ErasedLine {
  std::string erased;  // as ShownLine gives it
  std::string screen;
};
std::optional<ErasedLine> EraseOnScreen(std::string_view line, size_t start);

class PromptWatch {
 public:
  // What arrived on the last line since the last text sent, once logged in, is the prompt.
  void Learn(std::string_view fresh);

  // standing: the line the output stands on (with what it showed before the last text was
  // sent: its prompt, followed by the echo of a space typed there). fresh: its part that
  // arrived since the send. A pager prompt or a question must be fresh, so that an echo of what
  // answered the previous one is not taken for it.
  bool Waits(std::string_view standing, std::string_view fresh) const;
  // The output stands at a pager prompt that arrived since the send: a known one, or the one this
  // device showed before.
  bool AtPager(std::string_view fresh) const;
  // A line the device stopped at, which it erased once it got a key, was its pager prompt.
  void LearnPager(std::string_view shown);
  // The output stands at the learned prompt or the same name in another mode; `exactly`: at the
  // learned prompt itself.
  bool AtPrompt(std::string_view standing, bool exactly = false) const;
  // The same for a shown line: the learned prompt or the same name in another mode.
  bool IsDevicePrompt(std::string_view shown) const;
  // The learned prompt itself, in its shape.
  bool IsLearnedPrompt(std::string_view shown) const;
  // The beginning of the learned prompt, not yet all of it: a device pausing inside its prompt.
  bool StartsLearnedPrompt(std::string_view shown) const;

 private:
  bool IsPrompt(const std::string& shown) const;

  bool IsLearnedPager(const std::string& shown) const;

  std::optional<std::string> prompt_;  // the learned prompt's shape; none while logging in
  std::string pager_;                  // none learned while empty
};

}  // namespace mirvale

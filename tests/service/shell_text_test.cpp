#include <gtest/gtest.h>

#include "service/shell_session/shell_output_lines.h"
#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

using Lines = std::vector<std::string>;

Lines Output(std::initializer_list<std::string_view> chunks) {
  OutputLines output;
  for (std::string_view chunk : chunks) output.Append(chunk);
  return output.Fresh();
}

TEST(ShellOutputLines, ChunksJoinIntoLinesWithTheUnfinishedOneLast) {
  EXPECT_EQ(Output({"abc\r\nde", "f\r\n"}), (Lines{"abc", "def", ""}));
  EXPECT_EQ(Output({"one   \r\n\r\n\r\n  two\t\r\nRouter#"}), (Lines{"one", "  two", "Router#"}));
  EXPECT_EQ(Output({"\b\b\b   \b\b\b ip address\r\n"}).front(), "\b\b\b   \b\b\b ip address");
}

// The positioning and ESC may be split anywhere between chunks.
TEST(ShellOutputLines, CursorPositioningBreaksLinesAndEscapesVanish) {
  EXPECT_EQ(Output({"first\x1b[24;1H          \x1b[24;1Hsecond\r\nthird [x] stays\r\n"}),
            (Lines{"first", "second", "third [x] stays", ""}));
  EXPECT_EQ(Output({"a\x1b[2", "4;1", "\x1bHb [", "[7Hc"}), (Lines{"a", "b [", "c"}));
}

// What arrives after a text was sent continues the line the output stood on: a read that ended
// early on it loses nothing. The fresh lines are those since the send, as the device's answer.
TEST(ShellOutputLines, AnswersContinueTheStandingLine) {
  OutputLines output;
  output.Append("end\r\nRouter#");
  Lines collected = output.Fresh();
  output.NextAnswer();
  EXPECT_EQ(output.StandingFresh(), "");
  output.Append("show clock\r\n --More-- ");
  EXPECT_EQ(output.Fresh(), (Lines{"show clock", " --More-- "}));
  AddAnswer(collected, output.SinceSend());
  output.NextAnswer();
  output.Append("\r          \rnext\r\nRouter#");
  AddAnswer(collected, output.SinceSend());
  output.NextAnswer();
  output.Append(" ");
  EXPECT_EQ(output.Standing(), "Router# ");
  AddAnswer(collected, output.SinceSend());
  EXPECT_EQ(collected, (Lines{"end", "Router#show clock", " --More--", "next", "Router# "}));

  // A blank line that stood at the send ends with nothing: it goes, as empty lines do.
  output.NextAnswer();
  output.Append("\r\n   ");
  output.NextAnswer();
  output.Append("\r\nx");
  EXPECT_EQ(output.Fresh(), (Lines{"x"}));
  collected = {"a", "   "};
  AddAnswer(collected, output.SinceSend());
  EXPECT_EQ(collected, (Lines{"a", "x"}));
}

// A pager erases itself by going back to its line's start and blanking it; a listing's line ends
// with a line feed, and one written over (a bare carriage return, then text) is no erasing.
TEST(ShellOutputLines, LinesTheDeviceWentBackOverAndBlankedAreMarked) {
  OutputLines output;
  output.Append("kept\r\n --More--\r          \rnext\r\nPress any key\r\x1b[");
  output.Append("Kthird\r\nover\rwritten\r\npos\x1b[24;1H    \x1b[24;1Hlast\r\nx\r\r\ny");
  const OutputLines::Answer answer = output.SinceSend();
  EXPECT_EQ(answer.lines,
            (Lines{"kept", " --More--", "next", "Press any key", "\x1b[Kthird", "over", "written", "pos", "last", "x", "y"}));
  EXPECT_EQ(answer.erased, (std::vector<size_t>{1, 3, 7}));
}

TEST(ShellScript, PiecesSplitAtTheTwoCharacterSeparator) {
  EXPECT_EQ(ScriptPieces("show run\\r"), (Lines{"show run"}));
  EXPECT_EQ(ScriptPieces("terminal length 0\\r show run "), (Lines{"terminal length 0", "show run"}));
  EXPECT_EQ(ScriptPieces("a\\r\\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(ScriptPieces(""), Lines{});
  // A real carriage return is no separator.
  EXPECT_EQ(ScriptPieces("a\rb"), (Lines{"a\rb"}));
}

TEST(ShellScript, ControlNotationBecomesControlCharacters) {
  EXPECT_EQ(ScriptPieces("CNTL/z"), (Lines{"\x1a"}));
  EXPECT_EQ(ScriptPieces("CNTL/Z"), (Lines{"\x1a"}));
  EXPECT_EQ(ScriptPieces("CNTL/a x"), (Lines{"\x01 x"}));
  EXPECT_EQ(ScriptPieces("CNTL/5"), (Lines{"5"}));
  EXPECT_EQ(ScriptPieces("end CNTL/"), (Lines{"end CNTL/"}));
}

TEST(ShellStoredLine, BackspacesAndTrailingBlanks) {
  EXPECT_EQ(CleanShellLine("abc\bd"), "abd");
  EXPECT_EQ(CleanShellLine("\b\bx"), "x");
  EXPECT_EQ(CleanShellLine("    "), "");
  EXPECT_EQ(CleanShellLine("  keep leading  \t"), "  keep leading");
}

// A read may end early only where the device evidently waits: anything else, a line in
// transfer above all, waits out the time-out.
TEST(ShellPromptWatch, PagerPromptsAreAClosedList) {
  for (const char* pager : {"--More--", "-- More --", "<--- More --->", "---(more)---", "---(more 45%)---", "-MORE-"})
    EXPECT_TRUE(IsPagerPrompt(pager)) << pager;
  for (const char* line : {"! more details in ticket 42", "more", "--More-- or quit", "---(more 1234%)---",
                           "-- less --", "--", "description --more--"})
    EXPECT_FALSE(IsPagerPrompt(line)) << line;
}

TEST(ShellPromptWatch, LoginQuestionsThenTheLearnedPromptAndItsModesAndPagers) {
  PromptWatch watch;
  EXPECT_TRUE(watch.Waits("Username: ", "Username: "));
  EXPECT_TRUE(watch.Waits("Router>", "Router>"));
  EXPECT_FALSE(watch.Waits("Username: ", ""));  // the question came before the text was sent
  EXPECT_FALSE(watch.Waits("Last login: today", "Last login: today"));

  watch.Learn("Router#  ");
  EXPECT_FALSE(watch.Waits("Password: ", "Password: "));
  EXPECT_TRUE(watch.Waits("Router#", "Router#"));
  EXPECT_TRUE(watch.Waits("Router# ", " "));  // the echo of a space typed at the prompt
  EXPECT_TRUE(watch.Waits("Router(config-if)#", "Router(config-if)#"));
  EXPECT_TRUE(watch.Waits("Router>", "Router>"));
  EXPECT_FALSE(watch.Waits("Router2#", "Router2#"));
  EXPECT_FALSE(watch.Waits("Router#show run", "show run"));
  EXPECT_FALSE(watch.Waits("Router(a)(b)#", "Router(a)(b)#"));
  EXPECT_FALSE(watch.Waits(" ip address 10.0.0", " ip address 10.0.0"));

  EXPECT_TRUE(watch.Waits(" --More-- ", " --More-- "));
  EXPECT_TRUE(watch.Waits("---(more 45%)---", "---(more 45%)---"));
  EXPECT_FALSE(watch.Waits("! more", "! more"));
  EXPECT_FALSE(watch.Waits("xRouter#", "xRouter#"));
  EXPECT_FALSE(watch.Waits("Password: Router#", "Password: Router#"));
  EXPECT_FALSE(watch.Waits(" --More--  ", " "));  // the echo of the key that answered it
  EXPECT_FALSE(watch.Waits(" --More-- \b\b\b\b\b\b\b\b\b\b", "\b\b\b\b\b\b\b\b\b\b"));
  EXPECT_FALSE(watch.Waits(" description more uplinks", " description more uplinks"));
}

// Text on a line that the device went back over or cleared, and what shows there after.
TEST(ShellPromptWatch, TextTheDeviceErasedOnItsLine) {
  auto erased = EraseOnScreen(" --More-- \b\b\b\b\b\b\b\b\b\b          \b\b\b\b\b\b\b\b\b\b--More--", 0);
  ASSERT_TRUE(erased);
  EXPECT_EQ(erased->erased, "--More--");
  EXPECT_EQ(erased->screen, "--More--");
  erased = EraseOnScreen("x Press any key[15D[Kdescription", 2);
  ASSERT_TRUE(erased);
  EXPECT_EQ(erased->erased, "Press any key");
  EXPECT_EQ(erased->screen, "x description");
  // The whole line cleared, no carriage return after it: the next line is not indented.
  erased = EraseOnScreen("-- [Q quit|D dump|down][2K interface Gi0/1", 0);
  ASSERT_TRUE(erased);
  EXPECT_EQ(erased->erased, "-- [Q quit|D dump|down]");
  EXPECT_EQ(erased->screen, " interface Gi0/1");
  EXPECT_FALSE(EraseOnScreen(" description port 4", 0));
  EXPECT_FALSE(EraseOnScreen("abc\bd", 0));
  EXPECT_FALSE(EraseOnScreen("Press any key[5Dxx", 0));
}

// A pager prompt the device showed once ends reads as a known one does, when it arrives fresh.
TEST(ShellPromptWatch, LearnedPagerPrompt) {
  PromptWatch watch;
  watch.Learn("Router#");
  EXPECT_FALSE(watch.Waits("Press any key", "Press any key"));
  watch.LearnPager("Press any key");
  EXPECT_TRUE(watch.Waits("Press any key", "Press any key"));
  EXPECT_FALSE(watch.Waits("Press any key", ""));
  EXPECT_TRUE(watch.AtPager("Press any key"));
  watch.LearnPager("Router#");
  EXPECT_FALSE(watch.AtPager("Router#"));
}

TEST(ShellPromptWatch, PromptWithoutMarkIsRecognisedOnlyAsItStands) {
  PromptWatch watch;
  watch.Learn("switch");
  EXPECT_TRUE(watch.Waits("switch", "switch"));
  EXPECT_FALSE(watch.Waits("switch(config)", "switch(config)"));
  watch.Learn("$ ");
  EXPECT_TRUE(watch.Waits("$ ", "$ "));
  EXPECT_FALSE(watch.Waits("$ ls", "ls"));
  watch.Learn("");
  EXPECT_FALSE(watch.Waits("", ""));
}

// Lines are judged as the device's screen shows them: colours, cursor display, bracketed-paste
// marks, titles and cursor moves make no prompt into words; a clock or a counter in the prompt
// leaves it the device's prompt, also when it is long.
TEST(ShellPromptWatch, PromptsAsTheScreenShowsThem) {
  EXPECT_EQ(ShownLine("\x1b[1;32mrouter>\x1b[0m"), "router>");
  EXPECT_EQ(ShownLine("router> \x1b[?25h"), "router>");
  EXPECT_EQ(ShownLine("\x1b[?2004hadmin@host:~$ "), "admin@host:~$");
  EXPECT_EQ(ShownLine("\x1b]0;admin@host\x07\x1b(B\x1b=router#"), "router#");
  EXPECT_EQ(ShownLine("old text\x1b[2Krouter#\x1b[K"), "router#");
  EXPECT_EQ(ShownLine("abc\x1b[2Dx\x1b[5C!"), "axc!");
  EXPECT_EQ(CleanShellLine("\x1b[1mbold\x1b[0m "), "[1mbold[0m");

  PromptWatch watch;
  EXPECT_TRUE(watch.Waits("\x1b[1;32mrouter>\x1b[0m", "\x1b[1;32mrouter>\x1b[0m"));
  const std::string longPrompt = "core-" + std::string(294, 'x') + "#";
  EXPECT_TRUE(watch.Waits(longPrompt, longPrompt));
  watch.Learn("[12:00:00] admin@router:~$ ");
  EXPECT_TRUE(watch.Waits("\x1b[?2004h[12:00:07] admin@router:~$ ", "\x1b[?2004h[12:00:07] admin@router:~$ "));
  EXPECT_FALSE(watch.Waits("[12:00:07] other@router:~$ ", "[12:00:07] other@router:~$ "));
  watch.Learn("[9]router# ");
  EXPECT_TRUE(watch.Waits("[10]router# ", "[10]router# "));
}

}  // namespace
}  // namespace mirvale

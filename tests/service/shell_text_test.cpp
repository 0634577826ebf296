#include <gtest/gtest.h>

#include "service/shell_session/shell_prompt_watch.h"
#include "service/shell_session/shell_session_text.h"

namespace mirvale {
namespace {

using Lines = std::vector<std::string>;

TEST(ShellOutputLines, ChunksJoinIntoLinesWithTheUnfinishedOneLast) {
  Lines lines;
  AppendOutputChunk(lines, "abc\r\nde");
  AppendOutputChunk(lines, "f\r\n");
  EXPECT_EQ(lines, (Lines{"abc", "def", ""}));
}

TEST(ShellOutputLines, EmptyLinesAreDroppedAndTrailingBlanksCut) {
  Lines lines;
  AppendOutputChunk(lines, "one   \r\n\r\n\r\n  two\t\r\nRouter#");
  EXPECT_EQ(lines, (Lines{"one", "  two", "Router#"}));
}

TEST(ShellOutputLines, CursorPositioningBreaksLinesAndEscapesVanish) {
  Lines lines;
  AppendOutputChunk(lines, "first\x1b[24;1H          \x1b[24;1Hsecond\r\nthird [x] stays\r\n");
  EXPECT_EQ(lines, (Lines{"first", "second", "third [x] stays", ""}));
}

TEST(ShellOutputLines, ABlankUnfinishedLineIsReplacedByTheNextLine) {
  Lines lines{"abc", "   "};
  AppendOutputChunk(lines, "\r\nxyz\r\n");
  EXPECT_EQ(lines, (Lines{"abc", "xyz", ""}));
}

TEST(ShellOutputLines, BackspacesStayForTheCleanStep) {
  Lines lines;
  AppendOutputChunk(lines, "\b\b\b   \b\b\b ip address\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(CleanShellLine(lines[0]), " ip address");
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
  EXPECT_TRUE(watch.Waits("<--- More --->", "<--- More --->"));
  EXPECT_TRUE(watch.Waits("---(more 45%)---", "---(more 45%)---"));
  EXPECT_FALSE(watch.Waits(" --More--  ", " "));  // the echo of the key that answered it
  EXPECT_FALSE(watch.Waits(" --More-- \b\b\b\b\b\b\b\b\b\b", "\b\b\b\b\b\b\b\b\b\b"));
  EXPECT_FALSE(watch.Waits(" description more uplinks", " description more uplinks"));
}

TEST(ShellPromptWatch, PromptWithoutMarkIsRecognisedOnlyAsItStands) {
  PromptWatch watch;
  watch.Learn("switch");
  EXPECT_TRUE(watch.Waits("switch", "switch"));
  EXPECT_FALSE(watch.Waits("switch(config)", "switch(config)"));
  watch.Learn("");
  EXPECT_FALSE(watch.Waits("", ""));
}

}  // namespace
}  // namespace mirvale

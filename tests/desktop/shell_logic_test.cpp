// The desktop shell's widget-free rules: pane switching, search occurrences, the flat buttons'
// font, the painted gradients.
#include <gtest/gtest.h>

#include "desktop/shell/command_ids.h"
#include "desktop/shell/flat_tool_bar.h"
#include "desktop/shell/pane_switcher.h"
#include "desktop/shell/search_occurrences.h"
#include "desktop/shell/shell_colours.h"

namespace mirvale {
namespace {

std::vector<PaneSlot> VisibleSlots(const PaneSwitcher& switcher) {
  std::vector<PaneSlot> shown;
  for (PaneSlot slot : kAllPaneSlots)
    if (switcher.Visible(slot)) shown.push_back(slot);
  return shown;
}

TEST(PaneSwitcher, MainPanesShowAloneAndSettingsPanesComeWithTheSaveBar) {
  PaneSwitcher switcher;
  EXPECT_TRUE(VisibleSlots(switcher).empty());  // hidden until the first command
  ASSERT_TRUE(switcher.Dispatch(kCommandReports));
  EXPECT_EQ(VisibleSlots(switcher), std::vector<PaneSlot>{PaneSlot::Reports});
  ASSERT_TRUE(switcher.Dispatch(kCommandActions));
  EXPECT_EQ(VisibleSlots(switcher), (std::vector<PaneSlot>{PaneSlot::SaveBar, PaneSlot::Actions}));
  EXPECT_FALSE(switcher.Dispatch(kCommandHelp));
  EXPECT_FALSE(switcher.Dispatch(kCommandSetDevices));
  EXPECT_EQ(VisibleSlots(switcher), (std::vector<PaneSlot>{PaneSlot::SaveBar, PaneSlot::Actions}));
}

TEST(PaneSwitcher, SettingsPaneRemembersTheMainPaneItWasOpenedFrom) {
  PaneSwitcher switcher;
  switcher.Dispatch(kCommandReports);
  switcher.Dispatch(kCommandOptions);
  EXPECT_EQ(switcher.LastMainCommand(), kCommandReports);
  // Opening Actions while Export is shown keeps the earlier main pane.
  switcher.Dispatch(kCommandExport);
  switcher.Dispatch(kCommandActions);
  EXPECT_EQ(switcher.LastMainCommand(), kCommandReports);
  switcher.Dispatch(switcher.LastMainCommand());  // Cancel
  EXPECT_EQ(VisibleSlots(switcher), std::vector<PaneSlot>{PaneSlot::Reports});
  switcher.Dispatch(kCommandTools);
  switcher.Dispatch(kCommandExport);
  EXPECT_EQ(switcher.LastMainCommand(), kCommandTools);
}

TEST(SearchOccurrences, FindsEveryCaseOnceWithoutOverlap) {
  EXPECT_EQ(SearchOccurrences("ab xx AB", "AB"), (QList<qsizetype>{0, 6}));
  EXPECT_EQ(SearchOccurrences("aaaa", "AA"), (QList<qsizetype>{0, 2}));
  EXPECT_TRUE(SearchOccurrences("interface", "").isEmpty());
  EXPECT_TRUE(SearchOccurrences("interface", "VLAN").isEmpty());
}

TEST(FlatButtonFont, OnlyAPurelyHotButtonChangesItsFont) {
  QFont normal = FlatButtonFont(false, false, true, false);
  EXPECT_EQ(normal.family(), "Tahoma");
  EXPECT_EQ(normal.pixelSize(), 16);
  EXPECT_FALSE(normal.underline());
  EXPECT_TRUE(FlatButtonFont(true, false, true, false).underline());
  EXPECT_FALSE(FlatButtonFont(true, true, true, false).underline());  // hot and pressed
  QFont both = FlatButtonFont(true, false, true, true);
  EXPECT_EQ(both.weight(), QFont::Bold);
  EXPECT_FALSE(both.underline());
}

TEST(ShellColours, GradientsStartAndEndWhereTheyShould) {
  EXPECT_EQ(ToolBandColumnColour(0, 800), QColor(1, 103, 204));
  EXPECT_EQ(ToolBandColumnColour(400, 800), QColor(49, 150, 229));
  EXPECT_EQ(ViewRowColour(0, 500), QColor(1, 103, 204));
  EXPECT_EQ(ViewRowColour(499, 500), QColor(82, 183, 246));
  EXPECT_EQ(SplashColumnColour(150, 450), QColor(30, 130, 220));
  EXPECT_EQ(SplashColumnColour(450, 450), QColor(83, 184, 247));
}

}  // namespace
}  // namespace mirvale

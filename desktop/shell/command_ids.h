#pragma once
// The desktop program's command numbers. The tool band, the Tools pane, the Save/Cancel bar and
// the Help menu send them; the main frame and the main view act on them.
namespace mirvale {

inline constexpr int kCommandHome = 32771;
inline constexpr int kCommandScan = 32772;
inline constexpr int kCommandReports = 32773;
inline constexpr int kCommandTools = 32774;
inline constexpr int kCommandOptions = 32776;
inline constexpr int kCommandActions = 32777;
inline constexpr int kCommandExport = 32778;
inline constexpr int kCommandCompareDevices = 32779;
inline constexpr int kCommandRestoreDevices = 32780;
inline constexpr int kCommandSetDevices = 32781;
// Pool commands the Scan pane handles itself; the view does nothing with them.
inline constexpr int kCommandPoolFirst = 32787;
inline constexpr int kCommandPoolLast = 32789;
inline constexpr int kCommandHelp = 32793;
inline constexpr int kCommandAbout = 57664;
inline constexpr int kCommandExit = 57665;
// The Help button of the tool band: pressing it sends kCommandHelp, its arrow opens the menu.
inline constexpr int kCommandHelpButton = 57670;

}  // namespace mirvale

#pragma once
// The colours the shell paints: the tool band's banner, the main view's background and the
// splash dialog, each a gradient given per column or row.
#include <QColor>

namespace mirvale {

// Tool band column x of a band W wide: from RGB(1,103,204) at the left edge.
QColor ToolBandColumnColour(int x, int width);
// Main view row y of a view H high: from RGB(1,103,204) at the top to a lighter blue.
QColor ViewRowColour(int y, int height);
// Splash column x (from 150 on) of a dialog W wide; the left 150 pixels keep the plain brush.
QColor SplashColumnColour(int x, int width);
inline constexpr int kSplashPlainWidth = 150;
QColor SplashBrushColour();

}  // namespace mirvale

#include "desktop/shell/shell_colours.h"

#include <algorithm>

namespace mirvale {

QColor ToolBandColumnColour(int x, int width) {
  width = std::max(width, 1);
  return QColor(1 + 96 * x / width, 103 + 95 * x / width, 204 + 50 * x / width);
}

QColor ViewRowColour(int y, int height) {
  height = std::max(height, 1);
  return QColor(1 + 82 * y / height, 103 + 81 * y / height, 204 + 43 * y / height);
}

QColor SplashColumnColour(int x, int width) {
  const double span = std::max(width - kSplashPlainWidth, 1);
  const double t = (x - kSplashPlainWidth) / span;
  return QColor(30 + static_cast<int>(53 * t), 130 + static_cast<int>(54 * t), 220 + static_cast<int>(27 * t));
}

QColor SplashBrushColour() { return QColor(30, 130, 220); }

}  // namespace mirvale

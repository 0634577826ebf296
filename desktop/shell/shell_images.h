#pragma once
// The shell's pictures, drawn rather than shipped: the five tool-band buttons (26 x 26, a
// normal and a brighter hot form), the banner (48 x 48) and the program icon.
#include <QIcon>
#include <QPixmap>

namespace mirvale {

enum class BandImage { Home, Scan, Reports, Tools, Help };

QPixmap BandButtonImage(BandImage image, bool hot);
QPixmap BannerImage();
QIcon ProgramIcon();

}  // namespace mirvale

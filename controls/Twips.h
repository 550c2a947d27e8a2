// Conversion between twips and pixels with the screen's real resolution.
#pragma once

#include <windows.h>

namespace tessaly {

struct TwipsPerPixel {
    double x = 15.0;
    double y = 15.0;
};

// 1440 / logical pixels per inch of the screen, across and down.
TwipsPerPixel ScreenTwipsPerPixel() noexcept;
int TwipsToPixels(double twips, double twipsPerPixel) noexcept;

}  // namespace tessaly

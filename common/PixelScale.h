// Twips to pixels with the screen's real resolution, for the layout tables of the forms and pages.
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace tessaly {

struct PixelScale {
    int dpiX = 96;
    int dpiY = 96;
    int X(int twips) const { return ::MulDiv(twips, dpiX, 1440); }
    int Y(int twips) const { return ::MulDiv(twips, dpiY, 1440); }
};

inline PixelScale ScreenScale() {
    PixelScale scale;
    WindowDc dc(nullptr);
    if (dc.get()) {
        scale.dpiX = ::GetDeviceCaps(dc.get(), LOGPIXELSX);
        scale.dpiY = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    }
    return scale;
}

}  // namespace tessaly

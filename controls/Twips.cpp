// Screen twips per pixel; see Twips.h.
#include "Twips.h"

#include "ListBoxGeometry.h"
#include "UniqueHandle.h"

namespace tessaly {

TwipsPerPixel ScreenTwipsPerPixel() noexcept {
    TwipsPerPixel tpp;
    WindowDc screen(nullptr);
    if (!screen.get()) return tpp;
    int dpiX = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    int dpiY = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    if (dpiX > 0) tpp.x = 1440.0 / dpiX;
    if (dpiY > 0) tpp.y = 1440.0 / dpiY;
    return tpp;
}

int TwipsToPixels(double twips, double twipsPerPixel) noexcept {
    if (twipsPerPixel <= 0) return 0;
    return static_cast<int>(listbox::RoundHalfEven(twips / twipsPerPixel));
}

}  // namespace tessaly

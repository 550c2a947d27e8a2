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

// Registers a page or form class with the dialog background once per program; a second call for
// the same class name is a success.
inline bool RegisterFormWindowClass(const wchar_t* className, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace tessaly

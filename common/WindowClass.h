// Registration of the programs' own window classes: forms, pages, controls and hidden windows.
#pragma once

#include <windows.h>

namespace tessaly {

struct WindowClassOptions {
    UINT style = 0;                         // CS_ flags, CS_DBLCLKS for controls that take double clicks
    HBRUSH background = nullptr;            // nullptr: the window paints its own background
    const wchar_t* cursor = IDC_ARROW;      // a system cursor
    HICON icon = nullptr;
};

// The dialog background of forms and pages (COLOR_BTNFACE).
inline HBRUSH DialogBackground() noexcept { return reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1); }

// Registers the class in this program once; a class that is already registered counts as success,
// so every window may call this before it creates itself.
bool RegisterWindowClass(const wchar_t* className, WNDPROC proc, const WindowClassOptions& options = {}) noexcept;

}  // namespace tessaly

// Controls of a form or page made from its layout table: one row per control with its class,
// caption, style and twips rectangle. The parent window owns every control made here.
#pragma once

#include <windows.h>

#include <span>

#include "PixelScale.h"
#include "UiFont.h"

namespace tessaly {

struct ControlLayout {
    int id;
    const wchar_t* windowClass;
    const wchar_t* caption;
    DWORD style;
    int left, top, width, height;  // twips, relative to the parent's client area
};

// A page: a child window of its own class (registered here with the dialog background unless it
// already is) at left/top pixels of parent, widthTwips x heightTwips in size, whose window procedure
// receives self on WM_NCCREATE. nullptr when the class or the window cannot be made.
HWND CreatePageWindow(const wchar_t* className, WNDPROC proc, HWND parent, int left, int top, int widthTwips,
                      int heightTwips, void* self, int id = 0) noexcept;

// One control of the table as a child of parent, with the font when one is given; nullptr when
// the window cannot be made.
HWND CreateLayoutControl(HWND parent, const ControlLayout& control, const PixelScale& scale, HFONT font,
                         DWORD exStyle = 0) noexcept;

// Every control of the table, in table order (which is also their tab and z order).
void CreateLayoutControls(HWND parent, std::span<const ControlLayout> controls, const PixelScale& scale,
                          HFONT font) noexcept;

}  // namespace tessaly

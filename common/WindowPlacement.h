// Where a top-level window of a given client size goes: the outer size its frame adds, and the
// origin that centres it over its owner or, without one, over the work area.
#pragma once

#include <windows.h>

namespace tessaly {

// Outer width and height of a window whose client area is clientWidth x clientHeight pixels.
SIZE OuterWindowSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle) noexcept;

// Top-left corner that centres a window of outer size over owner (when it is a live window) or
// over the work area. The corner is kept inside the work area so that a window larger than what
// it centres over still shows its caption bar.
POINT CenteredOrigin(HWND owner, SIZE outer) noexcept;

}  // namespace tessaly

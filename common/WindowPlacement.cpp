// Window size and centring; see WindowPlacement.h.
#include "WindowPlacement.h"

#include <algorithm>

namespace tessaly {

SIZE OuterWindowSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle) noexcept {
    RECT rect{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

POINT CenteredOrigin(HWND owner, SIZE outer) noexcept {
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT around = work;
    if (owner && ::IsWindow(owner)) ::GetWindowRect(owner, &around);
    const LONG left = around.left + (around.right - around.left - outer.cx) / 2;
    const LONG top = around.top + (around.bottom - around.top - outer.cy) / 2;
    // Right and bottom give way first: the caption bar and the left edge are what a user grabs.
    return {std::max(work.left, std::min(left, work.right - outer.cx)),
            std::max(work.top, std::min(top, work.bottom - outer.cy))};
}

}  // namespace tessaly

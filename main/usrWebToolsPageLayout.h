// Layout of the web tools page: its size and the tip in twips, and where the browser goes.
#pragma once

#include <windows.h>

#include <algorithm>

namespace tessaly::web_tools {

inline constexpr int kFrameWidthTwips = 8415;
inline constexpr int kFrameHeightTwips = 4935;

struct TipLayout {
    int left, top, width, height;  // twips, relative to the page
};
inline constexpr TipLayout kFailedTip{0, 2160, kFrameWidthTwips, 480};
inline constexpr wchar_t kFailedTipText[] = L"推荐应用需要联网...";

// The browser's place inside the page's inner area (client pixels): 2 in from the left and the
// top, 5 narrower and 5 lower than the area. A page too small for that leaves the browser empty
// rather than of negative size.
constexpr RECT BrowserPlacement(const RECT& inner) {
    const LONG width = std::max(0L, inner.right - inner.left - 5);
    const LONG height = std::max(0L, inner.bottom - inner.top - 5);
    const LONG left = inner.left + 2;
    const LONG top = inner.top + 2;
    return RECT{left, top, left + width, top + height};
}

}  // namespace tessaly::web_tools

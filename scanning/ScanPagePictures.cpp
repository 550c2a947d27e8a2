#include "ScanPagePictures.h"

#include <algorithm>

#include "UniqueHandle.h"

namespace tessaly {

namespace {

inline constexpr COLORREF kPictureBlue = RGB(41, 128, 205);
inline constexpr COLORREF kPictureLight = RGB(210, 230, 250);
inline constexpr COLORREF kPictureAmber = RGB(244, 180, 60);

void DrawDisk(HDC dc, int x, int y, int s) {
    ::RoundRect(dc, x + s / 10, y + s / 4, x + s - s / 10, y + s * 3 / 4, s / 8, s / 8);
    unique_hbrush led(::CreateSolidBrush(RGB(90, 200, 90)));
    RECT light{x + s * 7 / 10, y + s * 9 / 16, x + s * 8 / 10, y + s * 5 / 8};
    ::FillRect(dc, &light, led.get());
    ::MoveToEx(dc, x + s / 10, y + s / 2, nullptr);
    ::LineTo(dc, x + s - s / 10, y + s / 2);
}

void DrawMagnifier(HDC dc, int x, int y, int s) {
    ::Ellipse(dc, x + s / 8, y + s / 8, x + s * 5 / 8, y + s * 5 / 8);
    unique_hpen handle(::CreatePen(PS_SOLID, std::max(3, s / 10), kPictureBlue));
    SelectedObject pen(dc, handle.get());
    ::MoveToEx(dc, x + s * 9 / 16, y + s * 9 / 16, nullptr);
    ::LineTo(dc, x + s * 7 / 8, y + s * 7 / 8);
}

void DrawFolder(HDC dc, int x, int y, int s) {
    unique_hbrush amber(::CreateSolidBrush(kPictureAmber));
    SelectedObject brush(dc, amber.get());
    const POINT tab[] = {{x + s / 10, y + s / 4},     {x + s * 4 / 10, y + s / 4}, {x + s / 2, y + s / 3},
                         {x + s * 9 / 10, y + s / 3}, {x + s * 9 / 10, y + s * 3 / 4}, {x + s / 10, y + s * 3 / 4}};
    ::Polygon(dc, tab, 6);
}

}  // namespace

void DrawScanButtonPicture(HDC dc, const RECT& area, int index) noexcept {
    const int size = std::min(area.right - area.left, area.bottom - area.top);
    if (size <= 4) return;
    const int x = area.left + (area.right - area.left - size) / 2;
    const int y = area.top + (area.bottom - area.top - size) / 2;
    unique_hpen outline(::CreatePen(PS_SOLID, std::max(2, size / 24), kPictureBlue));
    unique_hbrush fill(::CreateSolidBrush(kPictureLight));
    SelectedObject pen(dc, outline.get());
    SelectedObject brush(dc, fill.get());
    switch (index) {
        case 0: DrawDisk(dc, x, y, size); break;
        case 1: DrawMagnifier(dc, x, y, size); break;
        case 2: DrawFolder(dc, x, y, size); break;
        default: break;
    }
}

}  // namespace tessaly

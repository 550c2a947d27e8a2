// The suite's pictures and application icon, compiled into every program as resources (made at
// build time under resources/pictures). Loaded pictures and icons are cached for the life of the
// process and freed at its exit; callers never own or free what these functions hand out.
#pragma once

#include <windows.h>

namespace tessaly::pictures {

enum class Picture : int {
    // Highlighted pictures of the main window's top buttons 首页 扫描 监控 应用 设置.
    TopButton0,
    TopButton1,
    TopButton2,
    TopButton3,
    TopButton4,
    // Home page: protection logos and the two feature indicators.
    MainLogoProtected,
    MainLogoUnprotected,
    CloudScanOn,
    CloudScanOff,
    OfficeAddinOn,
    OfficeAddinOff,
    // Scan page: 全盘扫描, 快速扫描, 自定义.
    ScanFull,
    ScanQuick,
    ScanCustom,
};

inline constexpr int kPictureCount = static_cast<int>(Picture::ScanCustom) + 1;

// Resource ids: ICON 1 is the application icon (the first icon of every program), a picture is the
// BITMAP kPictureResourceBase + its enum value. The resource script uses the same numbers.
inline constexpr int kAppIconResource = 1;
// ICON 2: the tray program's notification-area icon, drawn to stay legible at 16 pixels.
inline constexpr int kTrayIconResource = 2;
inline constexpr int kPictureResourceBase = 200;

inline Picture TopButtonPicture(int index) noexcept {
    return static_cast<Picture>(static_cast<int>(Picture::TopButton0) + index);
}
inline Picture ScanButtonPicture(int index) noexcept {
    return static_cast<Picture>(static_cast<int>(Picture::ScanFull) + index);
}

// Draws the picture scaled into box, blending its transparent parts with what the DC already holds.
// False when the picture's resource is missing or unreadable, or the box is empty.
bool Draw(HDC dc, const RECT& box, Picture picture) noexcept;

// The application icon at size x size pixels (e.g. GetSystemMetrics(SM_CXSMICON); 0 or less: SM_CXICON);
// nullptr when the program carries no icon. The icon stays valid until the process ends.
HICON AppIcon(int size) noexcept;

}  // namespace tessaly::pictures

// Layout of the main window in twips: the top button row over the page area, the start-up error
// label over the pages and the contact link below them.
#pragma once

namespace tessaly::main_window {

inline constexpr int kTopBarHeight = 960;
inline constexpr int kPageAreaWidth = 9600;   // the largest page, the scan page, fills it
inline constexpr int kPageAreaHeight = 6600;
inline constexpr int kContactRowHeight = 330;
inline constexpr int kClientWidth = kPageAreaWidth;
inline constexpr int kClientHeight = kTopBarHeight + kPageAreaHeight + kContactRowHeight;

inline constexpr int kTopBtnTop = 60, kTopBtnWidth = 1200, kTopBtnHeight = 840;
inline constexpr int kTopBtnFirstLeft = 120, kTopBtnStep = 1260;
// Row slot of each button; the hidden "监控" button shares the slot of the one after it.
inline constexpr int kTopBtnSlot[5] = {0, 1, 2, 2, 3};
inline constexpr int kImgLeft = 360, kImgTop = 60, kImgSize = 480;
inline constexpr int kLblTop = 570, kLblHeight = 255;
inline constexpr const wchar_t* kTopBtnCaptions[5] = {L"首页", L"扫描", L"监控", L"应用", L"设置"};

inline constexpr int kErrorLeft = 480, kErrorTop = kTopBarHeight + 2400, kErrorWidth = 8640, kErrorHeight = 1800;
inline constexpr int kContactLeft = 5160, kContactTop = kTopBarHeight + kPageAreaHeight + 30;
inline constexpr int kContactWidth = 4320, kContactHeight = 255;

inline constexpr int kErrorFontPoints10 = 105;  // 10.5 pt, in tenths
inline constexpr int kBigErrorFontPoints10 = 150;

// &HFF and &HC00000 of the design, as COLORREF (the same byte order).
inline constexpr unsigned long kErrorColour = 0x0000FF;
inline constexpr unsigned long kContactColour = 0xC00000;

}  // namespace tessaly::main_window

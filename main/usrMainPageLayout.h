// Layout of the home page in twips; the page's controls are created from this table.
#pragma once

#include <windows.h>

#include <array>

#include "FormLayout.h"
#include "usrMainPage.h"

namespace tessaly::main_page {

inline constexpr int kFrameWidthTwips = 8415;
inline constexpr int kFrameHeightTwips = 4935;

inline constexpr DWORD kBase = WS_CHILD | WS_CLIPSIBLINGS;
inline constexpr DWORD kPicture = kBase | WS_VISIBLE | SS_OWNERDRAW;
inline constexpr DWORD kLabel = kBase | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
inline constexpr DWORD kLink = kLabel | SS_NOTIFY;

inline constexpr wchar_t kStatic[] = L"STATIC";

// Every control is a STATIC; pictures and shapes are drawn by the page.
inline constexpr std::array<ControlLayout, 21> kControls{{
    {usrMainPage::kIdFrameMainPage, kStatic, L"首页", kPicture, 0, 0, kFrameWidthTwips, kFrameHeightTwips},
    {usrMainPage::kIdLblLoadingTip, kStatic, L"加载中，请稍候...", kLabel, 3120, 4440, 2400, 255},
    {usrMainPage::kIdPicMainLogo0, kStatic, L"", kPicture, 720, 480, 1440, 1440},
    {usrMainPage::kIdPicMainLogo1, kStatic, L"", kPicture, 720, 2040, 1440, 1440},
    {usrMainPage::kIdLblMonitorTip, kStatic, L"", kLabel, 2520, 720, 5400, 435},
    {usrMainPage::kIdLblEnableMonitor, kStatic, L"开启保护", kLink, 2520, 1260, 1095, 255},
    {usrMainPage::kIdLblManualUpdate, kStatic, L"检查更新", kLink, 2520, 1740, 975, 255},
    {usrMainPage::kIdShapeReddot, kStatic, L"", kPicture, 3480, 1740, 105, 105},
    {usrMainPage::kIdLblAppVerTitle, kStatic, L"版本:", kLabel, 3840, 1740, 555, 255},
    {usrMainPage::kIdLblAppVerText, kStatic, L"0.0.0.0", kLabel, 4440, 1740, 1335, 255},
    {usrMainPage::kIdLblWebUpdateLog, kStatic, L"近期更新", kLink, 5880, 1740, 975, 255},
    {usrMainPage::kIdLblOpenScanLog, kStatic, L"查杀日志", kLink, 2520, 2220, 975, 255},
    {usrMainPage::kIdLblQuarentineOP, kStatic, L"隔离区", kLink, 3720, 2220, 735, 255},
    {usrMainPage::kIdShapeCloudScan, kStatic, L"", kPicture, 1200, 3240, 2775, 735},
    {usrMainPage::kIdImgCloudScan0, kStatic, L"", kPicture, 1320, 3360, 495, 495},
    {usrMainPage::kIdImgCloudScan1, kStatic, L"", kPicture, 1320, 3360, 495, 495},
    {usrMainPage::kIdLblCloudSanText, kStatic, L"云查杀", kLabel | SS_NOTIFY, 1920, 3480, 1695, 255},
    {usrMainPage::kIdShapeOfficeAddin, kStatic, L"", kPicture, 4440, 3240, 2775, 735},
    {usrMainPage::kIdImgOfficeAddin0, kStatic, L"", kPicture, 4560, 3360, 495, 495},
    {usrMainPage::kIdImgOfficeAddin1, kStatic, L"", kPicture, 4560, 3360, 495, 495},
    {usrMainPage::kIdLabel1, kStatic, L"Office插件", kLabel | SS_NOTIFY, 5160, 3480, 1695, 255},
}};

}  // namespace tessaly::main_page

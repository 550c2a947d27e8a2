// Layout of the settings page in twips; the page's controls are created from this table.
#pragma once

#include <windows.h>

#include <array>

#include "FormLayout.h"
#include "UserSettingPage.h"

namespace tessaly::setting_page {

inline constexpr int kFrameWidthTwips = 8415;
inline constexpr int kFrameHeightTwips = 4935;

// The frame keeps its caption as its text but draws neither caption nor border.
inline constexpr DWORD kFrame = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_OWNERDRAW;
inline constexpr DWORD kCheck = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_3STATE;
inline constexpr DWORD kHiddenCheck = WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | BS_3STATE;
inline constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_LEFT | SS_NOPREFIX;
inline constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_PUSHBUTTON;

inline constexpr std::array<ControlLayout, 8> kControls{{
    {UserSettingPage::kIdFrameSettingPage, L"STATIC", L"设置", kFrame, 0, 0, kFrameWidthTwips, kFrameHeightTwips},
    {UserSettingPage::kIdChkRightMenuScan, L"BUTTON", L"右键查杀菜单 ", kCheck, 600, 600, 2400, 375},
    {UserSettingPage::kIdChkCloudScan, L"BUTTON", L"云查杀", kCheck, 600, 1200, 1215, 375},
    {UserSettingPage::kIdLabel1, L"STATIC", L"(增强查杀能力,仅查询哈希，不上传文档)", kLabel, 1860, 1260, 5400, 255},
    {UserSettingPage::kIdChkAutoRun, L"BUTTON", L"开机启动监控", kCheck, 600, 1800, 2400, 375},
    {UserSettingPage::kIdChkOfficeAddin, L"BUTTON", L"Office插件安全扫描", kHiddenCheck, 600, 2400, 2400, 375},
    {UserSettingPage::kIdChkCloudfeedback, L"BUTTON", L"帮助我们改进产品体验", kHiddenCheck, 600, 3000, 2400, 375},
    {UserSettingPage::kIdCmdSaveSettings, L"BUTTON", L"保存设置", kButton, 600, 3720, 1575, 495},
}};

// Text colour of Label1.
inline constexpr COLORREF kLabel1Colour = RGB(0, 0, 255);

}  // namespace tessaly::setting_page

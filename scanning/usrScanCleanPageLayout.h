// Layout of the scan page in twips: each control with its container, class, caption and place.
// Controls that share a place are never visible together (cancel/back, clean/quarantine).
#pragma once

#include <windows.h>

#include <array>

#include "FormLayout.h"
#include "usrScanCleanPage.h"

namespace tessaly::scan_page {

inline constexpr wchar_t kFrameClass[] = L"usrScanCleanPageFrame";
inline constexpr wchar_t kScanButtonClass[] = L"usrScanCleanPageButton";
inline constexpr wchar_t kPictureClass[] = L"usrScanCleanPagePicture";

inline constexpr int kPageWidthTwips = 9600;
inline constexpr int kPageHeightTwips = 6600;

// A control of the table with its container.
struct PageControlLayout {
    int parentId;  // 0: the page itself
    ControlLayout control;
};

using P = usrScanCleanPage;
inline constexpr DWORD kChild = WS_CHILD | WS_CLIPSIBLINGS;
inline constexpr DWORD kShown = kChild | WS_VISIBLE;
inline constexpr DWORD kLabel = kShown | SS_LEFT | SS_NOPREFIX;
inline constexpr DWORD kClickLabel = kLabel | SS_NOTIFY;
inline constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
inline constexpr DWORD kFrame = kChild | WS_CLIPCHILDREN;

inline constexpr int kButtonTop = 1500, kButtonWidth = 2400, kButtonHeight = 2700;
inline constexpr int kButtonLeft[3] = {900, 3600, 6300};
inline constexpr const wchar_t* kScanButtonCaptions[3] = {L"全盘扫描", L"快速扫描", L"自定义"};
inline constexpr const wchar_t* kScanButtonHints[3] = {L"扫描所有本地磁盘", L"扫描桌面、文档和Office目录",
                                                       L"选择文件或文件夹扫描"};

inline constexpr int kListLeft = 240, kListTop = 1980, kListWidth = 9120, kListHeight = 3840;
// Titles on the first row of the counter bar, values centred under them.
inline constexpr int kCounterLeft = 30, kCounterStep = 1290, kCounterWidth = 1260;
inline constexpr const wchar_t* kCounterTitles[7] = {L"扫描文件:", L"病毒数:", L"清除病毒:", L"可疑文件:",
                                                    L"加密文件:", L"清除失败:", L"损坏文件:"};

// The fixed part of the table; the scan buttons and the counters are laid out in loops from the
// constants above.
inline constexpr std::array<PageControlLayout, 14> kControls{{
    {0, {P::kIdFrameScanPage, kFrameClass, L"", kFrame | WS_VISIBLE, 0, 0, kPageWidthTwips, kPageHeightTwips}},
    {0, {P::kIdFrameScanning, kFrameClass, L"", kFrame, 0, 0, kPageWidthTwips, kPageHeightTwips}},
    {P::kIdFrameScanning,
     {P::kIdLblScanPath, L"STATIC", L"", kLabel | SS_ENDELLIPSIS | SS_NOTIFY, 240, 240, 9120, 300}},
    {P::kIdFrameScanning, {P::kIdLblRate, L"STATIC", L"", kLabel, 240, 600, 2400, 300}},
    {P::kIdFrameScanning,
     {P::kIdPicResultBar, kFrameClass, L"", kFrame | WS_VISIBLE | WS_BORDER, 240, 960, 9120, 900}},
    {P::kIdPicResultBar,
     {P::kIdLblResultBarRunningTip, L"STATIC", L"扫描或清除完成后可点击查看详情", kLabel, 0, 600, 5400, 240}},
    {P::kIdFrameScanning, {P::kIdListScanCleanResult, L"", L"", 0, kListLeft, kListTop, kListWidth, kListHeight}},
    {P::kIdFrameScanning,
     {P::kIdFrameContactUs, kFrameClass, L"", kFrame | WS_BORDER, kListLeft, kListTop, kListWidth, kListHeight}},
    {P::kIdFrameContactUs, {P::kIdLblContactUs, L"STATIC", L"", kLabel | SS_CENTER, 240, 1560, 8640, 900}},
    {P::kIdFrameScanning,
     {P::kIdLblEngineloadFailedErr0, L"STATIC", L"", kChild | SS_CENTER | SS_NOPREFIX, 240, 3360, 9120, 600}},
    {P::kIdFrameScanning, {P::kIdCmdScanCleanBreak, L"BUTTON", L" 取消", kButton, 8040, 5940, 1320, 450}},
    {P::kIdFrameScanning, {P::kIdCmdJustClean, L"BUTTON", L"立即处理", kButton, 6480, 5940, 1320, 450}},
    {P::kIdFrameScanning, {P::kIdCmdBackToScanPage, L"BUTTON", L"返回", kButton, 8040, 5940, 1320, 450}},
    {P::kIdFrameScanning, {P::kIdCmdShowQuarantines, L"BUTTON", L"隔离区", kButton, 6480, 5940, 1320, 450}},
}};

}  // namespace tessaly::scan_page

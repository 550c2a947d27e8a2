// Layout of the quarantine manager dialog in twips, as the form's controls are created from it.
#pragma once

#include "FormLayout.h"
#include "frmQuarantines.h"

#include <windows.h>

#include <array>

namespace tessaly::quarantine_form {

inline constexpr int kClientWidthTwips = 8610;
inline constexpr int kClientHeightTwips = 5700;

// A label of width 0 is sized to its text once made.
inline constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
inline constexpr DWORD kList = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                               LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
inline constexpr DWORD kCheck = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
inline constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

inline constexpr std::array<ControlLayout, 9> kControls{{
    {frmQuarantines::kIdLblTip0, L"STATIC", L"隔离区存放Tessaly处理过的文档备份", kLabel, 240, 240, 6135, 255},
    {frmQuarantines::kIdLblTip1, L"STATIC", L"隔离文件数:", kLabel, 240, 720, 1095, 255},
    {frmQuarantines::kIdLblFileCount, L"STATIC", L"0", kLabel, 1440, 720, 0, 255},
    {frmQuarantines::kIdLblTip2, L"STATIC", L"占用空间:", kLabel, 2760, 720, 1095, 255},
    {frmQuarantines::kIdLblSize, L"STATIC", L"0", kLabel, 3720, 720, 0, 255},
    {frmQuarantines::kIdListQuarantinesViewer, L"LISTBOX", L"", kList, 120, 1080, 8175, 3840},
    {frmQuarantines::kIdChkSelectAll, L"BUTTON", L"全选", kCheck, 240, 5040, 1095, 375},
    {frmQuarantines::kIdCmdDeletes, L"BUTTON", L"删除", kButton, 5160, 5040, 1335, 495},
    {frmQuarantines::kIdCmdRestore, L"BUTTON", L"恢复", kButton, 6960, 5040, 1335, 495},
}};

}  // namespace tessaly::quarantine_form

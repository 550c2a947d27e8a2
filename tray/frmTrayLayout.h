// What the tray program's form shows and schedules: the pop-up menu's items, the message texts,
// the tooltip, and the four timers with their identifiers, intervals and initial state.
#pragma once

#include <windows.h>

#include <cstdint>

#include "SupportContact.h"

namespace tessaly::tray {

// The window class of the hidden form; the tests find the form by it.
inline constexpr wchar_t kFormClass[] = L"TessalyTrayForm";

// The menu that holds the pop-up menu; never shown in a menu bar.
inline constexpr wchar_t kMenuCaption[] = L"popmenu";

// Identifiers of the pop-up menu's items, as WM_COMMAND carries them.
inline constexpr UINT kIdRunMainApp = 101;
inline constexpr UINT kIdUpdate = 102;
inline constexpr UINT kIdContactus = 103;
inline constexpr UINT kIdExit = 104;

struct TrayMenuItem {
    UINT id;
    const wchar_t* caption;
};
// mnuTrayRunMainApp, mnuTrayUpdate, mnuTrayContactus, mnuTrayExit, in this order.
inline constexpr TrayMenuItem kTrayMenuItems[] = {
    {kIdRunMainApp, L"运行主程序(&M)"},
    {kIdUpdate, L"检查更新(&U)"},
    {kIdContactus, L"反馈问题"},
    {kIdExit, L"退出(&X)"},
};

inline constexpr wchar_t kUpdaterRunningText[] = L"升级程序运行中，请勿重复运行!";
inline constexpr wchar_t kContactText[] = L"程序版本全新升级,请联系QQ:" TESSALY_SUPPORT_CONTACT L" 获取最新版本";
// The icon's tooltip: the software's name, short enough for the tip field in any code page.
inline constexpr wchar_t kTrayTip[] = L"Tessaly 文档宏病毒防护";

// Timer identifiers (WM_TIMER's wParam).
inline constexpr UINT_PTR kTimerRunOnceUpdateApp = 1;
inline constexpr UINT_PTR kTimerStartGuard = 2;
inline constexpr UINT_PTR kTimerCheckUpgrading = 3;
inline constexpr UINT_PTR kTimerTask = 4;

struct FormTimer {
    UINT_PTR id;
    UINT intervalMs;
    bool enabledAtLoad;
};
// timeRunOnceUpdateApp, timeStartGuard, timerCheckUpgrading, timerTask.
inline constexpr FormTimer kFormTimers[] = {
    {kTimerRunOnceUpdateApp, 40000, true},
    {kTimerStartGuard, 59000, false},  // enabled at the end of start-up
    {kTimerCheckUpgrading, 1000, true},
    {kTimerTask, 60000, true},
};

// Not one of the four: while the shell has not taken the icon, it is offered again every second.
// At log-on the notification area may come after the program, and not every shell announces a
// new one with "TaskbarCreated".
inline constexpr UINT_PTR kTimerShowIcon = 5;
inline constexpr UINT kShowIconRetryMs = 1000;

// timerTask asks the once-a-day gate once its counter has reached this, i.e. on the 181st tick.
inline constexpr std::int32_t kTicksBeforeGate = 180;

}  // namespace tessaly::tray

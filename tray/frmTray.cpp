// What the tray program's form does: start-up, the menu items, the timers and the unload.
#include "frmTray.h"

#include "FaultLog.h"
#include "Pictures.h"
#include "PrevInstance.h"
#include "ProgramTitle.h"
#include "modCheckUpdate.h"
#include "modCommon.h"
#include "modTray.h"

namespace tessaly::tray {
namespace {

unique_hicon LoadTrayIcon(int metricX, int metricY) {
    return unique_hicon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                        MAKEINTRESOURCEW(pictures::kTrayIconResource), IMAGE_ICON,
                                                        ::GetSystemMetrics(metricX), ::GetSystemMetrics(metricY),
                                                        LR_DEFAULTCOLOR)));
}

std::size_t TimerIndex(UINT_PTR id) {
    for (std::size_t i = 0; i < std::size(kFormTimers); ++i)
        if (kFormTimers[i].id == id) return i;
    return std::size(kFormTimers);
}

}  // namespace

unique_hmenu CreateTrayMenu() {
    unique_hmenu bar(::CreateMenu());
    unique_hmenu popup(::CreatePopupMenu());
    if (!bar || !popup) return {};
    for (const TrayMenuItem& item : kTrayMenuItems) ::AppendMenuW(popup.get(), MF_STRING, item.id, item.caption);
    // From here on the bar owns the pop-up and destroys it with itself.
    if (::AppendMenuW(bar.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup.get()), kMenuCaption))
        popup.release();
    return bar;
}

frmTray::~frmTray() { Unload(); }

bool frmTray::Create(const std::wstring& programFolder) noexcept {
    // A second instance ends before it makes a window, let alone an icon.
    if (IsPrevInstanceRunning()) return false;
    try {
        if (!CreateFormWindow()) return false;
        Form_Load(programFolder);
        return true;
    } catch (...) {
        LogCaughtFault(L"frmTray::Form_Load");
        Unload();
        return false;
    }
}

int frmTray::Run() noexcept {
    RunUntilClosed({}, false);
    return 0;
}

bool frmTray::CreateFormWindow() {
    m_smallIcon = LoadTrayIcon(SM_CXSMICON, SM_CYSMICON);
    m_bigIcon = LoadTrayIcon(SM_CXICON, SM_CYICON);
    m_menu = CreateTrayMenu();
    if (!m_menu) return false;
    FormSpec spec;
    spec.className = kFormClass;
    spec.caption = kTrayTitle;
    spec.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    spec.exStyle = WS_EX_TOOLWINDOW;
    spec.client = {240, 120};
    spec.classOptions = {};
    spec.classOptions.icon = m_bigIcon.get();
    // A top-level window that is never shown, not a message-only one: the shell's "TaskbarCreated"
    // and the end-of-session messages are broadcast to top-level windows only.
    if (!CreateTopLevel(spec, nullptr, FormPlace::SystemDefault)) return false;
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
    for (const FormTimer& timer : kFormTimers)
        if (timer.enabledAtLoad) EnableTimer(timer.id, true);
    return true;
}

void frmTray::Form_Load(const std::wstring& programFolder) {
    SetProgramFolder(programFolder);
    ::SetCurrentDirectoryW(programFolder.c_str());
    ::ShowWindow(m_hwnd, SW_HIDE);
    if (!AddTrayIcon(m_hwnd, ::GetSubMenu(m_menu.get(), 0)))
        ::SetTimer(m_hwnd, kTimerShowIcon, kShowIconRetryMs, nullptr);
    SetTrayTip(kTrayTip);
    m_tickCount = 0;
    CreateRunMarker(kMarkerTray);
    EnableTimer(kTimerStartGuard, true);
}

// Whatever ends the form (the exit item, an installation, a close from outside, the end of the
// session) takes the icon along, so no dead icon stays in the notification area.
void frmTray::Form_Unload() noexcept {
    RemoveTrayIcon();
    // Refused while this process holds the marker; it goes when the process ends.
    DeleteRunMarker(kMarkerTray);
    for (const FormTimer& timer : kFormTimers) ::KillTimer(m_hwnd, timer.id);
    ::KillTimer(m_hwnd, kTimerShowIcon);
    m_timerEnabled.fill(false);
}

void frmTray::EnableTimer(UINT_PTR id, bool enabled) {
    const std::size_t index = TimerIndex(id);
    if (index >= m_timerEnabled.size() || !m_hwnd) return;
    m_timerEnabled[index] = enabled;
    if (enabled) ::SetTimer(m_hwnd, id, kFormTimers[index].intervalMs, nullptr);
    else ::KillTimer(m_hwnd, id);
}

bool frmTray::IsTimerEnabled(UINT_PTR id) const {
    const std::size_t index = TimerIndex(id);
    return index < m_timerEnabled.size() && m_timerEnabled[index];
}

void frmTray::ShowMessage(const wchar_t* text) const { ::MessageBoxW(m_hwnd, text, kTrayTitle, MB_OK); }

LRESULT frmTray::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && lParam == 0) OnCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_CLOSE: Unload(); return 0;
    case WM_ENDSESSION:
        if (wParam) RemoveTrayIcon();
        return 0;
    case WM_DESTROY:
        Form_Unload();
        ::PostQuitMessage(0);
        return 0;
    default: return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

// ---- Menu items -----------------------------------------------------------------------------------

void frmTray::OnCommand(UINT id) {
    switch (id) {
    case kIdRunMainApp: RunMainApp(); break;
    case kIdUpdate: mnuTrayUpdate_Click(); break;
    case kIdContactus: ShowMessage(kContactText); break;
    case kIdExit: mnuTrayExit_Click(); break;
    default: break;
    }
}

void frmTray::mnuTrayUpdate_Click() {
    if (IsRunMarkerPresent(kMarkerUpdater)) {
        ShowMessage(kUpdaterRunningText);
        return;
    }
    RunUpdater(true, true);
}

void frmTray::mnuTrayExit_Click() {
    RemoveTrayIcon();
    Unload();
}

// ---- Timers ---------------------------------------------------------------------------------------

void frmTray::OnTimer(UINT_PTR id) {
    if (id == kTimerShowIcon) {
        if (ShowTrayIconAgain() || !IsTrayIconKept()) ::KillTimer(m_hwnd, kTimerShowIcon);
        return;
    }
    // A disabled timer has no events, also none that another program posts.
    if (!IsTimerEnabled(id)) return;
    switch (id) {
    case kTimerRunOnceUpdateApp: timeRunOnceUpdateApp_Timer(); break;
    case kTimerStartGuard: timeStartGuard_Timer(); break;
    case kTimerCheckUpgrading: timerCheckUpgrading_Timer(); break;
    case kTimerTask: timerTask_Timer(); break;
    default: break;
    }
}

void frmTray::timeRunOnceUpdateApp_Timer() {
    EnableTimer(kTimerRunOnceUpdateApp, false);
    RunUpdater(true, false);
}

void frmTray::timeStartGuard_Timer() {
    EnableTimer(kTimerStartGuard, false);
    RunGuard();
}

void frmTray::timerCheckUpgrading_Timer() {
    if (!IsRunMarkerPresent(kMarkerInstalling)) return;
    EnableTimer(kTimerCheckUpgrading, false);
    RemoveTrayIcon();
    Unload();
}

void frmTray::timerTask_Timer() {
    KeepTrayIconShown();
    if (m_tickCount < kTicksBeforeGate) {
        ++m_tickCount;
        return;
    }
    m_tickCount = 0;
    if (IsCheckDue()) RunUpdater(false, false);
}

}  // namespace tessaly::tray

// The guard form's start-up, its process-exit watch, the installing watch and its end.
#include "GuardForm.h"

#include "EngineLinkProtocol.h"
#include "FaultLog.h"
#include "OfficeProcessNames.h"
#include "IniOperation.h"
#include "PrevInstance.h"
#include "TextConvert.h"
#include "modCommon.h"
#include "modGetOfficeInfo.h"

namespace tessaly::guard {

frmMain::frmMain() = default;

frmMain::~frmMain() {
    SetAutomationHoldObserver(nullptr);
    Unload();
}

bool frmMain::Create() noexcept {
    try {
        return Form_Load();
    } catch (...) {
        LogCaughtFault(L"frmMain::Form_Load");
        return m_hwnd != nullptr;
    }
}

int frmMain::Run() noexcept {
    RunUntilClosed({}, false);
    Form_Terminate();
    return 0;
}

bool frmMain::Form_Load() {
    // A second instance ends before it makes a marker or a subscription.
    if (IsPrevInstanceRunning()) return false;
    ::SetCurrentDirectoryW(GetAppFolder().c_str());
    CreateRunMarker(kMarkerGuard);  // never deleted: it goes with the process
    m_configPath = GetConfigFilePath();
    m_pipe = std::make_unique<ClsPipeShareMem>();
    if (!CreateFormWindow()) return false;
    if (!usrScanCleanPage1.Create(m_hwnd, 0, 0, kIdScanPage)) LogFault(L"frmMain::Form_Load", L"no scan page");
    ::ShowWindow(usrScanCleanPage1.Window(), SW_HIDE);
    ::SetTimer(m_hwnd, kTimerCheckUpgrading, kCheckUpgradingMs, nullptr);
    // The office programs that the scan page's Office discovery starts are the guard's own.
    SetAutomationHoldObserver([this](bool holding) {
        if (holding) m_ownOffice.AutomationBegins(SystemTimeNow());
        else m_ownOffice.AutomationEnds(SystemTimeNow());
    });
    StartOfficeExitWatch();
    return true;
}

bool frmMain::CreateFormWindow() {
    FormSpec spec;
    spec.className = kGuardClassName;
    spec.caption = kGuardCaption;
    spec.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    spec.client = {640, 480};
    spec.classOptions = {};
    // Top-level and never shown: a message-only window would miss the end-of-session broadcast.
    return CreateTopLevel(spec, nullptr, FormPlace::SystemDefault);
}

LRESULT frmMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_TIMER:
            if (wParam == kTimerCheckUpgrading) timerCheckUpgrading_Timer();
            if (wParam == kTimerCheckExitScanCondition) timerCheckExitScanCondition_Timer();
            if (wParam == kTimerOfficeExitPoll) m_exitWatch.OnPollTimer();
            return 0;
        case kMsgRunBackgroundScan:
            RunBackgroundScan();
            return 0;
        case WM_CLOSE:
            RequestUnload();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends: no further request may reach the engine, and the form goes.
            if (wParam) RequestUnload();
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

// ---- Process-exit watch -------------------------------------------------------------------------

void frmMain::StartOfficeExitWatch() {
    m_exitWatch.Start(m_hwnd, kTimerOfficeExitPoll,
                      [this](const RunningProcess& ended) { ExitOfficeProcessEvent_OnObjectReady(ended); });
}

void frmMain::StopOfficeExitWatch() noexcept { m_exitWatch.Stop(); }

void frmMain::ExitOfficeProcessEvent_OnObjectReady(const RunningProcess& ended) noexcept {
    try {
        if (!IsOfficeProcessName(ToLowerText(ended.name))) return;
        // What the guard's own discovery started and quit again is no office program closed by a user.
        if (m_ownOffice.AutomationRunning() || m_ownOffice.IsOwn(ended)) return;
        // The scan lets window events run for minutes; it must not run inside the event that
        // reported the exit, so it starts from the form's own message.
        if (m_hwnd) ::PostMessageW(m_hwnd, kMsgRunBackgroundScan, 0, 0);
    } catch (...) {
        LogCaughtFault(L"frmMain::ExitOfficeProcessEvent_OnObjectReady");
    }
}

// ---- Installing watch and end -------------------------------------------------------------------

void frmMain::timerCheckUpgrading_Timer() {
    if (!IsRunMarkerPresent(kMarkerInstalling)) return;
    ::KillTimer(m_hwnd, kTimerCheckUpgrading);
    usrScanCleanPage1.BreakScanClean(true);
    RequestUnload();
}

void frmMain::RequestUnload() noexcept {
    if (m_busy) {
        // The scan is on the stack below this message: it stops at its next check of the cancel
        // flag, runs its clean-up, and then the form goes.
        m_unloadPending = true;
        usrScanCleanPage1.BreakScanClean(true);
        return;
    }
    Form_Unload();
}

void frmMain::Form_Unload() noexcept {
    if (m_unloaded) return;
    m_unloaded = true;
    try {
        StopOfficeExitWatch();
        if (m_hwnd) {
            ::KillTimer(m_hwnd, kTimerCheckUpgrading);
            ::KillTimer(m_hwnd, kTimerCheckExitScanCondition);
        }
        SetAutomationHoldObserver(nullptr);
        // The page may still report to the engine when it goes; it must not reach a freed link.
        usrScanCleanPage1.SetPipeMemObject(nullptr);
        m_pipe.reset();
        m_notice.reset();
    } catch (...) {
        LogCaughtFault(L"frmMain::Form_Unload");
    }
    Unload();
}

void frmMain::Form_Terminate() noexcept {
    NotifyEngineClientExit();
    m_pipe.reset();
}

void frmMain::NotifyEngineClientExit() noexcept {
    // Nothing goes out through a link that is released or whose block is not mapped.
    if (m_pipe) m_pipe->SendMsgToUTF8HexStr(kClientExitText);
}

}  // namespace tessaly::guard

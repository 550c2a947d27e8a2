// The guard's background scan: the conditions that keep it from starting or stop it, the engine
// link connected for the one scan and released after it, and the threat notice.
#include "GuardForm.h"

#include "EngineLinkProtocol.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "NoticeText.h"
#include "OfficeProcessNames.h"
#include "TextConvert.h"
#include "modCommon.h"
#include "usrScanCleanPageSilent.h"

namespace tessaly::guard {
namespace {

constexpr double kNotificationShown = 1;

}  // namespace

void frmMain::RunBackgroundScan() noexcept {
    // No queue: an office program that ends while a scan runs causes no second scan.
    if (m_busy || m_unloaded || m_unloadPending) return;
    try {
        if (ShouldStopBackgroundScan()) return;
    } catch (...) {
        LogCaughtFault(L"frmMain::RunBackgroundScan");
        return;
    }
    m_busy = true;
    m_stopRequested = false;
    ::SetTimer(m_hwnd, kTimerCheckExitScanCondition, kCheckExitScanConditionMs, nullptr);
    try {
        ScanWithEngine();
    } catch (...) {
        LogCaughtFault(L"frmMain::RunBackgroundScan");
    }
    EndBackgroundScan();
}

void frmMain::ScanWithEngine() {
    if (!m_pipe->ConnectPipeServer(false, kClientIdGuard)) {
        LogFault(L"frmMain::RunBackgroundScan", L"the engine could not be connected");
        return;
    }
    // The page clears its cancel flag when the scan begins; a stop that came during the connect
    // must not be lost that way.
    if (m_stopRequested || m_unloadPending) return;
    usrScanCleanPage1.SetPipeMemObject(m_pipe.get());
    usrScanCleanPage1.SilentScanClean(true);
    usrScanCleanPage1.ScanSoureID(kBackgroundScanSource);
    std::array<std::wstring, 2> result;
    const std::int32_t count = usrScanCleanPage1.BackEndScan(result);
    // A form on its way out (the engine left, an installation began) shows nothing more.
    if (count > 0 && !m_unloadPending) ShowNoticeWhenAsked(count, result);
}

void frmMain::ShowNoticeWhenAsked(std::int32_t count, const std::array<std::wstring, 2>& result) {
    const std::wstring value = ReadIniString(m_configPath, ini::kAppSetting, ini::kMonitorNotification, L"0");
    const std::optional<double> notification = SettingNumber(value);
    if (!notification) {
        LogFault(L"frmMain::RunBackgroundScan", L"MonitorNotification is not a number: " + value);
        return;
    }
    if (*notification != kNotificationShown) return;
    if (!m_notice) m_notice = std::make_unique<frmTrayVirusMonitor>();
    if (!m_notice->Load(m_hwnd)) return;
    m_notice->lblVirusCount(std::to_wstring(count));
    m_notice->lblVirusPath(NoticePathText(result[0]), result[0]);
    m_notice->lblVirusName(result[1]);
    m_notice->ShowModeless();
    m_notice->EnableAutoClose();
}

void frmMain::EndBackgroundScan() noexcept {
    if (m_hwnd) ::KillTimer(m_hwnd, kTimerCheckExitScanCondition);
    NotifyEngineClientExit();
    if (m_pipe) m_pipe->UninitPipe();
    m_busy = false;
    if (m_unloadPending) Form_Unload();
}

bool frmMain::ShouldStopBackgroundScan() {
    // All three are asked every time, in this order.
    const bool office = IsOfficeProcessRunning();
    const bool installing = IsRunMarkerPresent(kMarkerInstalling);
    const bool mainProgram = IsRunMarkerPresent(kMarkerMain);
    return office || installing || mainProgram;
}

bool frmMain::IsOfficeProcessRunning() {
    // One look at the process list per question: the stop-condition timer asks ten times a second.
    const auto processes = ListRunningProcesses();
    if (!processes) return false;
    for (const RunningProcess& process : *processes)
        if (IsOfficeProcessName(ToLowerText(process.name)) && !m_ownOffice.IsOwn(process)) return true;
    return false;
}

void frmMain::timerCheckExitScanCondition_Timer() {
    if (!ShouldStopBackgroundScan()) return;
    m_stopRequested = true;
    usrScanCleanPage1.BreakScanClean(true);
    ::KillTimer(m_hwnd, kTimerCheckExitScanCondition);
}

}  // namespace tessaly::guard

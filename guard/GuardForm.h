// The guard's main form frmMain: a hidden top-level window (it must get the shutdown broadcasts)
// that watches office programs end, runs one silent background scan through its own scan page
// when one does, and shows the threat notice when the settings ask for it. The object owns the
// window, the engine link it lends to the page, the page, the process-exit watch and the notice.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "ClsPipeShareMem.h"
#include "FormWindow.h"
#include "OfficeExitWatch.h"
#include "OwnOfficePrograms.h"
#include "frmTrayVirusMonitor.h"
#include "usrScanCleanPage.h"

namespace tessaly::guard {

inline constexpr wchar_t kGuardCaption[] = L"Tessaly-后台监控";
inline constexpr wchar_t kGuardClassName[] = L"TessalyGuardForm";

class frmMain : public Form<frmMain> {
public:
    // Timers of the window; a test may post their WM_TIMER instead of waiting for them.
    static constexpr UINT_PTR kTimerCheckUpgrading = 1;          // 15 s, from the start
    static constexpr UINT_PTR kTimerCheckExitScanCondition = 2;  // 100 ms, while a scan runs
    static constexpr UINT_PTR kTimerOfficeExitPoll = 3;          // 1 s, when WMI sends no events
    static constexpr UINT kCheckUpgradingMs = 15000;
    static constexpr UINT kCheckExitScanConditionMs = 100;
    // Posted by the trigger: the background scan runs from the window's own message.
    static constexpr UINT kMsgRunBackgroundScan = WM_APP + 1;
    static constexpr int kIdScanPage = 100;

    frmMain();
    ~frmMain();

    // Form_Load. False when the process is to end now: a second instance, or no window.
    bool Create() noexcept;
    // Runs the window's messages until the form is unloaded, then Form_Terminate.
    int Run() noexcept;
    [[nodiscard]] HWND Window() const noexcept { return m_hwnd; }

private:
    friend struct WindowThunk<frmMain>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // Start-up, watch and end (GuardForm.cpp).
    bool Form_Load();
    bool CreateFormWindow();
    void StartOfficeExitWatch();
    void StopOfficeExitWatch() noexcept;
    void ExitOfficeProcessEvent_OnObjectReady(const RunningProcess& ended) noexcept;
    void timerCheckUpgrading_Timer();
    void RequestUnload() noexcept;
    void Form_Unload() noexcept;
    void Form_Terminate() noexcept;
    void NotifyEngineClientExit() noexcept;

    // The background scan (GuardFormScan.cpp).
    void RunBackgroundScan() noexcept;
    void ScanWithEngine();
    void ShowNoticeWhenAsked(std::int32_t count, const std::array<std::wstring, 2>& result);
    void EndBackgroundScan() noexcept;
    bool ShouldStopBackgroundScan();
    bool IsOfficeProcessRunning();
    void timerCheckExitScanCondition_Timer();

    std::wstring m_configPath;
    // The link outlives the page that borrows it: members go in reverse order.
    std::unique_ptr<ClsPipeShareMem> m_pipe;
    usrScanCleanPage usrScanCleanPage1;
    OwnOfficePrograms m_ownOffice;
    OfficeExitWatch m_exitWatch;
    std::unique_ptr<frmTrayVirusMonitor> m_notice;
    bool m_busy = false;
    // A stop condition held while the link was still connecting: the scan is not started.
    bool m_stopRequested = false;
    // The form was asked to unload while a scan was on the stack; it goes once the scan is over.
    bool m_unloadPending = false;
    bool m_unloaded = false;
};

}  // namespace tessaly::guard

// What the home page does: start-up, protection, update state, links and feature indicators.
#include "usrMainPage.h"

#include "DoEvents.h"
#include "IniOperation.h"
#include "ProgramFiles.h"
#include "ProgramTitle.h"
#include "ScanPageWorkState.h"
#include "frmQuarantines.h"
#include "modCommon.h"

namespace tessaly {

usrMainPage::usrMainPage(home_page::NetworkProbe probe) : m_probe(std::move(probe)) {}

void usrMainPage::UserControl_Initialize() {
    m_appFolder = GetAppFolder();
    m_ownVersion = GetAppVersion();
    m_settingsPath = GetConfigFilePath();
    // The unprotected logo takes the protected one's place; only one of them shows at a time.
    RECT logo{};
    if (::GetWindowRect(Item(kIdPicMainLogo0), &logo)) {
        ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&logo), 2);
        ::SetWindowPos(Item(kIdPicMainLogo1), nullptr, logo.left, logo.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RefreshUpdateState();
    SetItemText(kIdLblAppVerText, m_ownVersion);
    RefreshMonitorState();
    RefreshFeatureIndicators();
}

void usrMainPage::UserControl_Terminate() {
    SetUpdatePoll(false);
    m_wmi.reset();
}

void usrMainPage::showLoadingTip(bool visible) { ShowItem(kIdLblLoadingTip, visible); }

// ---- Protection ---------------------------------------------------------------------------------

void usrMainPage::RefreshMonitorState() { ShowMonitorState(IsRunMarkerPresent(kMarkerTray)); }

void usrMainPage::ShowMonitorState(bool on) {
    const home_page::MonitorView view = home_page::MonitorViewFor(on);
    ShowItem(kIdPicMainLogo0, view.on);
    ShowItem(kIdPicMainLogo1, !view.on);
    ShowItem(kIdLblEnableMonitor, !view.on);
    m_monitorColour = view.colour;
    SetItemText(kIdLblMonitorTip, view.text);
}

void usrMainPage::lblEnableMonitor_Click() {
    if (EnableMonitor(true)) return;
    ::MessageBoxW(m_hwnd ? ::GetAncestor(m_hwnd, GA_ROOT) : nullptr, home_page::kEnableMonitorFailed, kDrosselTitle,
                  MB_OK | MB_ICONEXCLAMATION);
}

bool usrMainPage::EnableMonitor(bool enable) {
    if (!SetAutoRun(enable)) return false;
    ShellRun(m_appFolder + kTrayProgramFile, L"", kWindowNormal);
    DoEvents();
    // The tray program takes its marker within about a second of starting.
    ::Sleep(1000);
    RefreshMonitorState();
    return true;
}

// ---- Update state -------------------------------------------------------------------------------

void usrMainPage::RefreshUpdateState() {
    const bool updaterRunning = IsRunMarkerPresent(kMarkerUpdater);
    HWND link = Item(kIdLblManualUpdate);
    if (updaterRunning) {
        if (::IsWindowEnabled(link)) {
            ::EnableWindow(link, FALSE);
            SetItemText(kIdLblManualUpdate, home_page::kQueryingText);
        }
        SetUpdatePoll(true);
        return;
    }
    SetUpdatePoll(false);
    ::EnableWindow(link, TRUE);
    const std::wstring server = ReadIniString(m_settingsPath, ini::kVersions, ini::kServerAppVer, m_ownVersion);
    const home_page::UpdateView view = home_page::UpdateViewFor(false, server, m_ownVersion);
    m_updateRed = view.needsUpdate;
    SetItemText(kIdLblManualUpdate, view.text);
    ShowItem(kIdShapeReddot, view.needsUpdate);
}

void usrMainPage::timeSetCheckUpdateState_Timer() { RefreshUpdateState(); }

void usrMainPage::SetUpdatePoll(bool on) {
    if (on == m_timerOn || !m_hwnd) return;
    if (on)
        m_timerOn = ::SetTimer(m_hwnd, kTimerCheckUpdateState, kCheckUpdateStateMs, nullptr) != 0;
    else {
        ::KillTimer(m_hwnd, kTimerCheckUpdateState);
        m_timerOn = false;
    }
}

void usrMainPage::lblManualUpdate_Click() {
    if (!::IsWindowEnabled(Item(kIdLblManualUpdate))) return;
    const std::wstring updater = m_appFolder + kUpdaterProgramFile;
    if (DirLookup(updater)) ShellRun(updater, L"/ui /manual", kWindowHidden);
}

// ---- Links --------------------------------------------------------------------------------------

void usrMainPage::lblOpenScanLog_Click() {
    const std::wstring log = home_page::ScanLogPath();
    if (DirLookup(log)) ShellRun(GetWindowsFolder() + L"notepad.exe", log, kWindowNormal);
}

void usrMainPage::lblQuarentineOP_Click() {
    if (GetProgramWorkStepState() != kWorkIdle) return;
    frmQuarantines::ShowModal(m_hwnd ? ::GetAncestor(m_hwnd, GA_ROOT) : nullptr);
}

void usrMainPage::lblWebUpdateLog_Click() {
    // Style 2 of the classic window styles: minimised, with the focus.
    ShellRun(GetExplorerPath(), home_page::WebUpdateLogAddress(m_settingsPath), 2);
}

// ---- Feature indicators -------------------------------------------------------------------------

void usrMainPage::RefreshFeatureIndicators() {
    const bool cloud = home_page::CloudScanIndicatorOn(
        m_settingsPath, [this](const std::wstring& address) { return ProbeNetwork(address); });
    SetFeatureIndicator(kIdImgCloudScan0, kIdImgCloudScan1, kIdShapeCloudScan, cloud);
    // The Office add-in is not part of this product: its indicator always shows off.
    SetFeatureIndicator(kIdImgOfficeAddin0, kIdImgOfficeAddin1, kIdShapeOfficeAddin, false);
}

bool usrMainPage::ProbeNetwork(const std::wstring& address) {
    if (m_probe) return m_probe(address);
    if (!m_wmi) m_wmi = std::make_unique<ClsWMI>();
    return m_wmi->IsConnectedNetWork(address);
}

void usrMainPage::SetFeatureIndicator(int image0, int image1, int shape, bool on) {
    ShowItem(image0, on);
    ShowItem(image1, !on);
    const COLORREF border = on ? home_page::kIndicatorOnBorder : home_page::kIndicatorOffBorder;
    (shape == kIdShapeCloudScan ? m_cloudBorder : m_officeBorder) = border;
    ::InvalidateRect(Item(shape), nullptr, TRUE);
}

}  // namespace tessaly

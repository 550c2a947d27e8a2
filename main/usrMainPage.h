// The home page behind the main window's "首页" button: protection state with "开启保护", update
// state with the updater's poll, own version, links to the scan log, the quarantine and the recent
// changes, and the cloud-scan and Office add-in indicators. A child window of its own class owned
// by this object; it also carries the loading tip the main window shows while the engine connects.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ClsWMI.h"
#include "HomePageState.h"
#include "FormWindow.h"
#include "UniqueHandle.h"

namespace tessaly {

class usrMainPage : public Form<usrMainPage> {
public:
    static constexpr int kIdFrameMainPage = 1200;
    static constexpr int kIdLblLoadingTip = 1201;
    static constexpr int kIdPicMainLogo0 = 1202;
    static constexpr int kIdPicMainLogo1 = 1203;
    static constexpr int kIdLblMonitorTip = 1204;
    static constexpr int kIdLblEnableMonitor = 1205;
    static constexpr int kIdLblManualUpdate = 1206;
    static constexpr int kIdShapeReddot = 1207;
    static constexpr int kIdLblAppVerTitle = 1208;
    static constexpr int kIdLblAppVerText = 1209;
    static constexpr int kIdLblWebUpdateLog = 1210;
    static constexpr int kIdLblOpenScanLog = 1211;
    static constexpr int kIdLblQuarentineOP = 1212;
    static constexpr int kIdShapeCloudScan = 1213;
    static constexpr int kIdImgCloudScan0 = 1214;
    static constexpr int kIdImgCloudScan1 = 1215;
    static constexpr int kIdLblCloudSanText = 1216;
    static constexpr int kIdShapeOfficeAddin = 1217;
    static constexpr int kIdImgOfficeAddin0 = 1218;
    static constexpr int kIdImgOfficeAddin1 = 1219;
    static constexpr int kIdLabel1 = 1220;

    static constexpr UINT_PTR kTimerCheckUpdateState = 1;
    static constexpr UINT kCheckUpdateStateMs = 2000;

    // probe answers the cloud-scan connectivity question; empty: the WMI ping.
    explicit usrMainPage(home_page::NetworkProbe probe = {});
    ~usrMainPage();

    // Creates the page at left/top (pixels) of parent and runs its start-up.
    bool Create(HWND parent, int left, int top) noexcept;
    HWND Item(int id) const noexcept { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }

    void showLoadingTip(bool visible);

    // What the page shows, for the main window and tests.
    bool IsCheckUpdatePollOn() const noexcept { return m_timerOn; }
    bool IsUpdateTextRed() const noexcept { return m_updateRed; }
    COLORREF MonitorTipColour() const noexcept { return m_monitorColour; }
    COLORREF CloudScanBorder() const noexcept { return m_cloudBorder; }
    COLORREF OfficeAddinBorder() const noexcept { return m_officeBorder; }

    void lblEnableMonitor_Click();
    void lblManualUpdate_Click();
    void lblOpenScanLog_Click();
    void lblQuarentineOP_Click();
    void lblWebUpdateLog_Click();
    void timeSetCheckUpdateState_Timer();

private:
    void UserControl_Initialize();
    void UserControl_Terminate();
    bool EnableMonitor(bool enable);
    void RefreshUpdateState();
    void RefreshMonitorState();
    void ShowMonitorState(bool on);
    void RefreshFeatureIndicators();
    void SetFeatureIndicator(int image0, int image1, int shape, bool on);
    bool ProbeNetwork(const std::wstring& address);

    void CreateControls();
    void ShowItem(int id, bool visible);
    void SetItemText(int id, const std::wstring& text);
    void SetUpdatePoll(bool on);
    bool DrawPicture(const DRAWITEMSTRUCT& item);
    LRESULT StaticColours(HDC dc, HWND control);
    bool IsLinkLabel(HWND control) const;

    friend struct WindowThunk<usrMainPage>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    std::wstring m_appFolder;
    std::wstring m_ownVersion;
    std::wstring m_settingsPath;
    home_page::NetworkProbe m_probe;
    std::unique_ptr<ClsWMI> m_wmi;
    bool m_timerOn = false;
    bool m_updateRed = false;
    COLORREF m_monitorColour = home_page::kOrange;
    COLORREF m_cloudBorder = home_page::kIndicatorOffBorder;
    COLORREF m_officeBorder = home_page::kIndicatorOffBorder;
    unique_hfont m_font;
    unique_hfont m_bigFont;
};

}  // namespace tessaly

// The web tools page behind the main window's "应用" button: the maker's page of recommended tools
// in an embedded web browser, or a tip when there is no network (or no browser engine to draw the
// page). A child window of its own class owned by this object; the object also owns the browser.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ClsWMI.h"
#include "HomePageState.h"
#include "FormWindow.h"
#include "UniqueHandle.h"
#include "WebBrowserHost.h"

namespace tessaly {

class usrWebToolsPage : public Form<usrWebToolsPage> {
public:
    static constexpr int kIdLblFailedTip = 1301;

    // Whether the browser control can draw pages here; the platform's answer in the program.
    using EngineCheck = std::function<bool()>;

    // probe answers the network question; empty: the WMI ping. engineCheck empty: the platform's.
    explicit usrWebToolsPage(home_page::NetworkProbe probe = {}, EngineCheck engineCheck = {});
    ~usrWebToolsPage();

    // Creates the page at left/top (pixels) of parent and runs its start-up: the network probe and
    // the one navigation of this run. The thread must have initialised OLE.
    bool Create(HWND parent, int left, int top) noexcept;
    HWND Item(int id) const noexcept { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }

    // What the page holds and shows, for the main window and tests.
    const std::wstring& PageAddress() const noexcept { return m_address; }
    bool IsFailedTipShown() const noexcept { return m_tipShown; }
    bool IsBrowserShown() const noexcept { return m_browserShown; }
    // The browser control's window while it is shown, or nullptr.
    HWND BrowserWindow() const noexcept { return m_browserShown ? m_browser.Window() : nullptr; }

    // For the message loop: hands the browser the keys meant for it (Tab, shortcuts inside the
    // page); true when the browser used the message and it must not be dispatched.
    bool PreTranslateMessage(MSG& msg) noexcept;

private:
    void UserControl_Initialize();
    void UserControl_Resize();
    void UserControl_Terminate();
    bool ProbeNetwork(const std::wstring& address);
    bool EngineAvailable() const;
    bool ShowWebTools();
    void ShowFailedTip();
    RECT BrowserRect() const;

    void CreateControls();

    friend struct WindowThunk<usrWebToolsPage>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    std::wstring m_settingsPath;
    std::wstring m_host;
    std::wstring m_address;
    home_page::NetworkProbe m_probe;
    EngineCheck m_engineCheck;
    std::unique_ptr<ClsWMI> m_wmi;
    WebBrowserHost m_browser;
    bool m_tipShown = false;
    bool m_browserShown = false;
    unique_hfont m_font;
};

}  // namespace tessaly

// What the web tools page does: start-up with its one network probe and navigation, placing the
// browser, and letting go of the browser and the WMI connection at the end.
#include "usrWebToolsPage.h"

#include "FaultLog.h"
#include "IniOperation.h"
#include "usrWebToolsPageAddress.h"
#include "usrWebToolsPageLayout.h"

namespace tessaly {

usrWebToolsPage::usrWebToolsPage(home_page::NetworkProbe probe, EngineCheck engineCheck)
    : m_probe(std::move(probe)), m_engineCheck(std::move(engineCheck)) {}

void usrWebToolsPage::UserControl_Initialize() {
    m_settingsPath = GetConfigFilePath();
    m_host = web_tools::StoredWebServerHost(m_settingsPath);
    m_address = web_tools::ClientToolsAddress(m_host);
    // One try per run: a network that comes up later does not bring the page back.
    if (ProbeNetwork(web_tools::ProbeHostOf(m_host)) && ShowWebTools()) return;
    ShowFailedTip();
}

void usrWebToolsPage::UserControl_Resize() {
    if (m_browserShown) m_browser.Move(BrowserRect());
}

void usrWebToolsPage::UserControl_Terminate() {
    m_browser.Close();
    m_browserShown = false;
    m_wmi.reset();
}

bool usrWebToolsPage::ProbeNetwork(const std::wstring& address) {
    if (address.empty()) return false;
    try {
        if (m_probe) return m_probe(address);
        if (!m_wmi) m_wmi = std::make_unique<ClsWMI>();
        return m_wmi->IsConnectedNetWork(address);
    } catch (...) {
        LogCaughtFault(L"usrWebToolsPage::ProbeNetwork");
        return false;
    }
}

bool usrWebToolsPage::EngineAvailable() const {
    try {
        return m_engineCheck ? m_engineCheck() : WebBrowserHost::IsEngineAvailable();
    } catch (...) {
        LogCaughtFault(L"usrWebToolsPage::EngineAvailable");
        return false;
    }
}

// A browser that cannot draw the page, or that will not open or take the address, is no better
// than no network: the caller shows the tip instead.
bool usrWebToolsPage::ShowWebTools() {
    if (!EngineAvailable() || !m_browser.Open(m_hwnd, BrowserRect()) || !m_browser.Navigate(m_address)) {
        m_browser.Close();
        return false;
    }
    ::ShowWindow(Item(kIdLblFailedTip), SW_HIDE);
    m_tipShown = false;
    m_browserShown = true;
    return true;
}

void usrWebToolsPage::ShowFailedTip() {
    m_browser.Close();
    m_browserShown = false;
    ::ShowWindow(Item(kIdLblFailedTip), SW_SHOW);
    m_tipShown = true;
}

RECT usrWebToolsPage::BrowserRect() const {
    RECT inner{};
    if (m_hwnd) ::GetClientRect(m_hwnd, &inner);
    return web_tools::BrowserPlacement(inner);
}

bool usrWebToolsPage::PreTranslateMessage(MSG& msg) noexcept {
    return m_browserShown && m_browser.TranslateAccelerator(msg);
}

}  // namespace tessaly

// One embedded web-browser control, in place inside a host window, with its container site. The
// object owns the control and the site: Close (also run by the destructor) deactivates the control,
// closes it, takes the site back from it and releases both, while the host window still exists.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include <string>

#include "UniqueHandle.h"
#include "WebBrowserSite.h"

namespace tessaly {

class WebBrowserHost {
public:
    WebBrowserHost() = default;
    WebBrowserHost(const WebBrowserHost&) = delete;
    WebBrowserHost& operator=(const WebBrowserHost&) = delete;
    ~WebBrowserHost() { Close(); }

    // Whether this machine can draw web pages at all: the browser control hands pages to the HTML
    // document object, and without it the control only ever shows nothing or asks to download one.
    static bool IsEngineAvailable() noexcept;

    // Creates the control and activates it in place at position (client pixels of host). False,
    // with nothing left behind, when the control is missing or refuses.
    [[nodiscard]] bool Open(HWND host, const RECT& position) noexcept;
    // Address bar and status bar off, visible, and on its way to address; false when the control
    // would not take the address.
    [[nodiscard]] bool Navigate(const std::wstring& address) noexcept;
    void Move(const RECT& position) noexcept;
    void Close() noexcept;

    [[nodiscard]] bool IsOpen() const noexcept { return static_cast<bool>(m_browser); }
    // The control's own window while it is active in place, or nullptr.
    [[nodiscard]] HWND Window() const noexcept;
    // Offers a keyboard message to the active control; true when it used the message.
    bool TranslateAccelerator(MSG& msg) noexcept;

private:
    com_ptr<IOleObject> m_object;
    com_ptr<IWebBrowser2> m_browser;
    com_ptr<WebBrowserSite> m_site;
};

}  // namespace tessaly

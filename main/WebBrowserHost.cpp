// Creating, steering and closing the embedded web-browser control.
#include "WebBrowserHost.h"

namespace tessaly {

bool WebBrowserHost::IsEngineAvailable() noexcept {
    CLSID document{};
    if (FAILED(::CLSIDFromProgID(L"htmlfile", &document))) return false;
    com_ptr<IUnknown> probe;
    return SUCCEEDED(::CoCreateInstance(document, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, probe.put_void()));
}

bool WebBrowserHost::Open(HWND host, const RECT& position) noexcept {
    if (IsOpen()) return true;
    if (!host) return false;
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  m_object.put_void())))
        return false;
    m_site = WebBrowserSite::Make(host, position);
    RECT place = position;
    if (m_site && SUCCEEDED(m_object->SetClientSite(m_site.get())) &&
        SUCCEEDED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site.get(), 0, host, &place)))
        m_browser = m_object.query<IWebBrowser2>();
    if (!m_browser) {
        Close();
        return false;
    }
    // Script errors and other prompts of the page stay inside the control instead of boxes.
    m_browser->put_Silent(VARIANT_TRUE);
    return true;
}

bool WebBrowserHost::Navigate(const std::wstring& address) noexcept {
    if (!m_browser) return false;
    // An embedded control has no bars of its own and may refuse these two; that is no failure.
    m_browser->put_AddressBar(VARIANT_FALSE);
    m_browser->put_StatusBar(VARIANT_FALSE);
    m_browser->put_Visible(VARIANT_TRUE);
    const unique_bstr url = MakeBstr(address);
    if (!url) return false;
    unique_variant none;
    return SUCCEEDED(m_browser->Navigate(url.get(), &none.get(), &none.get(), &none.get(), &none.get()));
}

void WebBrowserHost::Move(const RECT& position) noexcept {
    if (m_site) m_site->SetPosition(position);
    if (const auto inPlace = m_object.query<IOleInPlaceObject>()) inPlace->SetObjectRects(&position, &position);
}

void WebBrowserHost::Close() noexcept {
    if (m_object) {
        if (m_browser) m_browser->Stop();
        if (const auto inPlace = m_object.query<IOleInPlaceObject>()) inPlace->InPlaceDeactivate();
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    m_browser.reset();
    m_object.reset();
    if (m_site) m_site->Detach();
    m_site.reset();
}

HWND WebBrowserHost::Window() const noexcept {
    HWND window = nullptr;
    if (const auto inPlace = m_object.query<IOleInPlaceObject>()) {
        if (FAILED(inPlace->GetWindow(&window))) window = nullptr;
    }
    return window;
}

bool WebBrowserHost::TranslateAccelerator(MSG& msg) noexcept {
    if (!m_site || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    HWND window = Window();
    if (!window || (msg.hwnd != window && !::IsChild(window, msg.hwnd))) return false;
    IOleInPlaceActiveObject* active = m_site->ActiveObject();
    return active && active->TranslateAccelerator(&msg) == S_OK;
}

}  // namespace tessaly

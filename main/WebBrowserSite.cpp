// The web-browser control's container site. It offers the control a place inside the host window
// and nothing else: no menus, no tool space, no status line, no document object of its own.
#include "WebBrowserSite.h"

#include <new>

namespace tessaly {
namespace {

template <typename T>
HRESULT HandOut(T* value, void** object) noexcept {
    value->AddRef();
    *object = value;
    return S_OK;
}

}  // namespace

com_ptr<WebBrowserSite> WebBrowserSite::Make(HWND host, const RECT& position) noexcept {
    return com_ptr<WebBrowserSite>(new (std::nothrow) WebBrowserSite(host, position));
}

void WebBrowserSite::Detach() noexcept {
    m_host = nullptr;
    m_active.reset();
}

// ---- IUnknown -----------------------------------------------------------------------------------

HRESULT WebBrowserSite::QueryInterface(REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) return HandOut(static_cast<IOleClientSite*>(this), object);
    if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        return HandOut(static_cast<IOleInPlaceSite*>(this), object);
    if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
        return HandOut(static_cast<IOleInPlaceFrame*>(this), object);
    return E_NOINTERFACE;
}

ULONG WebBrowserSite::AddRef() noexcept { return ++m_refs; }

ULONG WebBrowserSite::Release() noexcept {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// ---- IOleClientSite -----------------------------------------------------------------------------

HRESULT WebBrowserSite::SaveObject() noexcept { return E_NOTIMPL; }

HRESULT WebBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT WebBrowserSite::GetContainer(IOleContainer** container) noexcept {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT WebBrowserSite::ShowObject() noexcept { return S_OK; }
HRESULT WebBrowserSite::OnShowWindow(BOOL) noexcept { return S_OK; }
HRESULT WebBrowserSite::RequestNewObjectLayout() noexcept { return E_NOTIMPL; }

// ---- IOleWindow ---------------------------------------------------------------------------------

HRESULT WebBrowserSite::GetWindow(HWND* window) noexcept {
    if (!window) return E_POINTER;
    *window = m_host;
    return m_host ? S_OK : E_FAIL;
}

HRESULT WebBrowserSite::ContextSensitiveHelp(BOOL) noexcept { return E_NOTIMPL; }

// ---- IOleInPlaceSite ----------------------------------------------------------------------------

// Once detached the site refuses activation, so a late request cannot bring the control back.
HRESULT WebBrowserSite::CanInPlaceActivate() noexcept { return m_host ? S_OK : S_FALSE; }
HRESULT WebBrowserSite::OnInPlaceActivate() noexcept { return S_OK; }
HRESULT WebBrowserSite::OnUIActivate() noexcept { return S_OK; }

HRESULT WebBrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                         LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) noexcept {
    if (!frame || !document || !position || !clip || !frameInfo) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = m_position;
    *clip = m_position;
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = m_host;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT WebBrowserSite::Scroll(SIZE) noexcept { return E_NOTIMPL; }
HRESULT WebBrowserSite::OnUIDeactivate(BOOL) noexcept { return S_OK; }

HRESULT WebBrowserSite::OnInPlaceDeactivate() noexcept {
    m_active.reset();
    return S_OK;
}

HRESULT WebBrowserSite::DiscardUndoState() noexcept { return E_NOTIMPL; }
HRESULT WebBrowserSite::DeactivateAndUndo() noexcept { return E_NOTIMPL; }

// The place is the page's to decide; the control keeps the one it was given.
HRESULT WebBrowserSite::OnPosRectChange(LPCRECT) noexcept { return S_OK; }

// ---- IOleInPlaceUIWindow ------------------------------------------------------------------------

HRESULT WebBrowserSite::GetBorder(LPRECT) noexcept { return INPLACE_E_NOTOOLSPACE; }
HRESULT WebBrowserSite::RequestBorderSpace(LPCBORDERWIDTHS) noexcept { return INPLACE_E_NOTOOLSPACE; }
HRESULT WebBrowserSite::SetBorderSpace(LPCBORDERWIDTHS widths) noexcept { return widths ? OLE_E_INVALIDRECT : S_OK; }

HRESULT WebBrowserSite::SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) noexcept {
    if (active && m_host) active->AddRef();
    m_active = com_ptr<IOleInPlaceActiveObject>(m_host ? active : nullptr);
    return S_OK;
}

// ---- IOleInPlaceFrame ---------------------------------------------------------------------------

HRESULT WebBrowserSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept { return E_NOTIMPL; }
HRESULT WebBrowserSite::SetMenu(HMENU, HOLEMENU, HWND) noexcept { return S_OK; }
HRESULT WebBrowserSite::RemoveMenus(HMENU) noexcept { return E_NOTIMPL; }
HRESULT WebBrowserSite::SetStatusText(LPCOLESTR) noexcept { return S_OK; }
HRESULT WebBrowserSite::EnableModeless(BOOL) noexcept { return S_OK; }
HRESULT WebBrowserSite::TranslateAccelerator(LPMSG, WORD) noexcept { return S_FALSE; }

}  // namespace tessaly

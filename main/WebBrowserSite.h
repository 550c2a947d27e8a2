// The container site that the embedded web-browser control talks to: client site, in-place site
// and in-place frame in one reference-counted COM object. It owns no window; its holder points it
// at the host window and detaches it before letting go, so a control that keeps a reference
// longer never reaches a window or object that is gone.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleidl.h>

#include <atomic>

#include "UniqueHandle.h"

namespace tessaly {

class WebBrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    // Made with one reference, which the caller's com_ptr takes over.
    static com_ptr<WebBrowserSite> Make(HWND host, const RECT& position) noexcept;

    void SetPosition(const RECT& position) noexcept { m_position = position; }
    // Forgets the host window and the control's active object.
    void Detach() noexcept;
    // The object that wants the keyboard messages while the control is active, or nullptr.
    IOleInPlaceActiveObject* ActiveObject() const noexcept { return m_active.get(); }
    // Sites not yet freed in this process: a control that keeps one after its close leaks.
    static long Alive() noexcept { return s_alive; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() noexcept override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) noexcept override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowObject() noexcept override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override;

    // IOleWindow, shared by the in-place site and the frame
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) noexcept override;

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO frameInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) noexcept override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) noexcept override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() noexcept override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() noexcept override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() noexcept override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) noexcept override;

    // IOleInPlaceUIWindow
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) noexcept override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) noexcept override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) noexcept override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR name) noexcept override;

    // IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) noexcept override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) noexcept override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, WORD id) noexcept override;

private:
    WebBrowserSite(HWND host, const RECT& position) noexcept : m_host(host), m_position(position) { ++s_alive; }
    ~WebBrowserSite() { --s_alive; }

    static inline std::atomic<long> s_alive{0};

    std::atomic<ULONG> m_refs{1};
    HWND m_host;
    RECT m_position;
    com_ptr<IOleInPlaceActiveObject> m_active;
};

}  // namespace tessaly

// The form base's creation, tear-down and loops; see FormWindow.h.
#include "FormWindow.h"

#include "FaultLog.h"
#include "FormLayout.h"
#include "WindowPlacement.h"

namespace tessaly {

FormWindow::~FormWindow() {
    if (!m_hwnd) return;
    ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(m_hwnd);
}

void FormWindow::Unload() noexcept {
    if (!m_hwnd) return;
    if (m_modalOwner && ::IsWindow(m_modalOwner)) ::EnableWindow(m_modalOwner, TRUE);
    ::DestroyWindow(m_hwnd);
}

bool FormWindow::CreateTopLevel(WNDPROC proc, void* self, const FormSpec& spec, HWND owner,
                                FormPlace place) noexcept {
    if (m_hwnd) return true;
    if (!RegisterWindowClass(spec.className, proc, spec.classOptions)) return false;
    const SIZE outer = OuterWindowSize(spec.client.cx, spec.client.cy, spec.style, spec.exStyle);
    POINT origin{CW_USEDEFAULT, CW_USEDEFAULT};
    if (place == FormPlace::Centred) origin = CenteredOrigin(owner, outer);
    ::CreateWindowExW(spec.exStyle, spec.className, spec.caption, spec.style, origin.x, origin.y, outer.cx, outer.cy,
                      owner, nullptr, ::GetModuleHandleW(nullptr), self);
    return m_hwnd != nullptr;
}

bool FormWindow::CreatePage(WNDPROC proc, void* self, const wchar_t* className, HWND parent, POINT at, SIZE twips,
                            int id) noexcept {
    if (m_hwnd) return true;
    CreatePageWindow(className, proc, parent, at.x, at.y, twips.cx, twips.cy, self, id);
    return m_hwnd != nullptr;
}

void FormWindow::ShowNow(int command) noexcept {
    if (!m_hwnd) return;
    ::ShowWindow(m_hwnd, command);
    ::UpdateWindow(m_hwnd);
}

bool FormWindow::Pump(const MessageFilter& filter, bool dialogKeys, int& quitCode) noexcept {
    MSG msg{};
    while (m_hwnd) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quitCode = static_cast<int>(msg.wParam);
            return true;
        }
        if (got == -1) break;
        try {
            if (filter && filter(msg)) continue;
        } catch (...) {
            LogCaughtFault(L"FormWindow message filter");
        }
        if (dialogKeys && m_hwnd && ::IsDialogMessageW(m_hwnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return false;
}

void FormWindow::RunUntilClosed(const MessageFilter& filter, bool dialogKeys) noexcept {
    int quitCode = 0;
    Pump(filter, dialogKeys, quitCode);
}

void FormWindow::RunModal(HWND owner, const std::function<void()>& show) noexcept {
    if (!m_hwnd) return;
    m_modalOwner = owner;
    if (owner) ::EnableWindow(owner, FALSE);
    try {
        if (show) show();
    } catch (...) {
        LogCaughtFault(L"FormWindow::RunModal");
    }
    int quitCode = 0;
    // The program is quitting: the outer loop must see WM_QUIT too.
    if (Pump({}, true, quitCode)) ::PostQuitMessage(quitCode);
    // No modal window outlives its loop.
    Unload();
    m_modalOwner = nullptr;
    if (owner && ::IsWindow(owner)) ::EnableWindow(owner, TRUE);
}

}  // namespace tessaly

// Shared pieces of the control tests; see ControlsTestSupport.h.
#include "ControlsTestSupport.h"

#include "BoundedPoll.h"
#include "DoEvents.h"
#include "UniqueHandle.h"
#include "WindowClass.h"

namespace tessaly::test {

namespace {
constexpr wchar_t kHostClass[] = L"TessalyControlsTestHost";

void RegisterHostClass() { RegisterWindowClass(kHostClass, ::DefWindowProcW, {0, DialogBackground(), nullptr}); }
}  // namespace

// One visible top-level window serves every test: under Wine without a window manager, hiding or
// destroying a top-level window waits about two seconds for the X server.
HostWindow::HostWindow(int width, int height) {
    static HWND shared = nullptr;
    if (!shared || !::IsWindow(shared)) {
        RegisterHostClass();
        shared = ::CreateWindowExW(0, kHostClass, L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 800,
                                   600, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    m_hwnd = shared;
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::EnableWindow(m_hwnd, TRUE);
    PumpMessages();
}

HostWindow::~HostWindow() {
    // Children that a test left behind go with it.
    while (HWND child = ::GetWindow(m_hwnd, GW_CHILD)) ::DestroyWindow(child);
}

Rendering::Rendering(HWND window) {
    RECT rc{};
    ::GetClientRect(window, &rc);
    m_size = SIZE{rc.right, rc.bottom};
    WindowDc screen(nullptr);
    unique_memdc dc(::CreateCompatibleDC(screen.get()));
    unique_hbitmap bitmap(::CreateCompatibleBitmap(screen.get(), m_size.cx, m_size.cy));
    SelectedObject selected(dc.get(), bitmap.get());
    RECT all{0, 0, m_size.cx, m_size.cy};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    m_pixels.resize(static_cast<size_t>(m_size.cx) * m_size.cy);
    for (int y = 0; y < m_size.cy; ++y)
        for (int x = 0; x < m_size.cx; ++x) m_pixels[static_cast<size_t>(y) * m_size.cx + x] = ::GetPixel(dc.get(), x, y);
}

COLORREF Rendering::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_size.cx || y >= m_size.cy) return CLR_INVALID;
    return m_pixels[static_cast<size_t>(y) * m_size.cx + x];
}

int Rendering::Count(RECT area, COLORREF color) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (At(x, y) == color) ++n;
    return n;
}

void PumpMessages() {
    for (int i = 0; i < 5; ++i) tessaly::DoEvents();
}

void PumpFor(unsigned milliseconds) { tessaly::PauseWithEvents(milliseconds); }

LPARAM PointParam(int x, int y) { return MAKELPARAM(x, y); }

namespace {
void SendOne(INPUT input) {
    ::SendInput(1, &input, sizeof input);
    PumpMessages();
}

INPUT MouseInput(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}
}  // namespace

void MovePointerTo(HWND window, int x, int y) {
    POINT at{x, y};
    ::ClientToScreen(window, &at);
    INPUT input = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
    // Absolute coordinates run from 0 to 65535 over the primary screen.
    input.mi.dx = ::MulDiv(at.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = ::MulDiv(at.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    SendOne(input);
}

void PressLeftButton() { SendOne(MouseInput(MOUSEEVENTF_LEFTDOWN)); }
void ReleaseLeftButton() { SendOne(MouseInput(MOUSEEVENTF_LEFTUP)); }

void TurnWheel(int delta) {
    INPUT input = MouseInput(MOUSEEVENTF_WHEEL);
    input.mi.mouseData = static_cast<DWORD>(delta);
    SendOne(input);
}

void PressKey(WORD virtualKey) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    SendOne(input);
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    SendOne(input);
}

}  // namespace tessaly::test

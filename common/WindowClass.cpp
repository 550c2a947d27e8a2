// Window class registration; see WindowClass.h.
#include "WindowClass.h"

namespace tessaly {

bool RegisterWindowClass(const wchar_t* className, WNDPROC proc, const WindowClassOptions& options) noexcept {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(instance, className, &wc)) return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = options.style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = options.icon;
    wc.hCursor = options.cursor ? ::LoadCursorW(nullptr, options.cursor) : nullptr;
    wc.hbrBackground = options.background;
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace tessaly

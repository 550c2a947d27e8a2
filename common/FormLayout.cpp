// Layout-table controls; see FormLayout.h.
#include "FormLayout.h"

#include "UiFont.h"
#include "WindowClass.h"

namespace tessaly {

HWND CreatePageWindow(const wchar_t* className, WNDPROC proc, HWND parent, int left, int top, int widthTwips,
                      int heightTwips, void* self, int id) noexcept {
    if (!RegisterWindowClass(className, proc, {0, DialogBackground()})) return nullptr;
    const PixelScale scale = ScreenScale();
    return ::CreateWindowExW(WS_EX_CONTROLPARENT, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, left, top,
                             scale.X(widthTwips), scale.Y(heightTwips), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), self);
}

HWND CreateLayoutControl(HWND parent, const ControlLayout& control, const PixelScale& scale, HFONT font,
                         DWORD exStyle) noexcept {
    if (!parent) return nullptr;
    HWND window = ::CreateWindowExW(exStyle, control.windowClass, control.caption, control.style,
                                    scale.X(control.left), scale.Y(control.top), scale.X(control.width),
                                    scale.Y(control.height), parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (window && font) ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return window;
}

void CreateLayoutControls(HWND parent, std::span<const ControlLayout> controls, const PixelScale& scale,
                          HFONT font) noexcept {
    for (const ControlLayout& control : controls) CreateLayoutControl(parent, control, scale, font);
}

}  // namespace tessaly

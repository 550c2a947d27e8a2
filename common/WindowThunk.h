// The one window procedure of every form class: it stores the object passed to CreateWindowExW on
// WM_NCCREATE, forwards each message to its HandleMessage and forgets the window on WM_NCDESTROY.
// No exception leaves it; a fault it catches goes to the program's error log. A class T befriends
// WindowThunk<T> and has `HWND m_hwnd`, most through the form base (FormWindow.h).
#pragma once

#include <windows.h>

#include "FaultLog.h"

namespace tessaly {

template <typename T>
struct WindowThunk {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
        try {
            T* self = nullptr;
            if (msg == WM_NCCREATE) {
                self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
                if (self) self->m_hwnd = hwnd;
                ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            } else {
                self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            }
            if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
            if (msg == WM_NCDESTROY) {
                ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
                self->m_hwnd = nullptr;
                return ::DefWindowProcW(hwnd, msg, wParam, lParam);
            }
            return self->HandleMessage(msg, wParam, lParam);
        } catch (...) {
            LogCaughtFault(L"window procedure");
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        }
    }
};

}  // namespace tessaly

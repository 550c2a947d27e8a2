// The result list's own scroll bar: press, drag with a 20 ms throttle, and arrow repeat driven by
// Timer1.
#include "usrCtlListBox.h"

#include <windowsx.h>

#include <algorithm>

#include "FaultLog.h"
#include "ListBoxGeometry.h"

namespace tessaly {

LRESULT CALLBACK usrCtlListBox::ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* owner = reinterpret_cast<usrCtlListBox*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (owner && owner->m_scrollBar == hwnd) owner->m_scrollBar = nullptr;
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        }
        if (!owner || owner->m_scrollBar != hwnd) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        return owner->HandleScrollBarMessage(msg, wParam, lParam);
    } catch (...) {
        LogCaughtFault(L"usrCtlListBox::ScrollBarProc");
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT usrCtlListBox::HandleScrollBarMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintDc paint(m_scrollBar);
        m_scrollSurface.PaintTo(paint.get());
        return 0;
    }
    case WM_PRINTCLIENT:
        m_scrollSurface.PaintTo(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // Capture keeps the release with the scroll bar, so the repeat always stops.
        ::SetCapture(m_scrollBar);
        ScrollBarMouseDown(GET_Y_LPARAM(lParam) * m_tpp.y);
        return 0;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON) ScrollBarMouseMove(GET_Y_LPARAM(lParam) * m_tpp.y);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        ScrollBarMouseUp();
        if (::GetCapture() == m_scrollBar) ::ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        EnableRepeatTimer(false);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_scrollBar, msg, wParam, lParam);
}

void usrCtlListBox::ScrollBarMouseDown(double yTwips) noexcept {
    m_LastTick = ::GetTickCount();
    m_HitCode = listbox::ScrollBarHitTest(yTwips, m_TrackLen, m_ThumbLen, m_MaxScroll);
    if (m_HitCode == listbox::kHitUpArrow || m_HitCode == listbox::kHitDownArrow) {
        EnableRepeatTimer(true);
    } else {
        // Only a degenerate, tiny scroll bar can give a value outside the positions.
        m_CurIndex = std::clamp<long>(m_HitCode, 0, std::max<long>(m_MaxScroll, 0));
    }
    DrawScrollBar(m_MaxScroll, m_CurIndex);
    DrawListBox();
}

void usrCtlListBox::ScrollBarMouseMove(double yTwips) noexcept {
    DWORD now = ::GetTickCount();
    if (now - m_LastTick > listbox::kDragThrottleMs) {
        m_LastTick = now;
        ScrollBarMouseDown(yTwips);
    }
}

void usrCtlListBox::ScrollBarMouseUp() noexcept { EnableRepeatTimer(false); }

void usrCtlListBox::EnableRepeatTimer(bool enable) noexcept {
    if (!m_hwnd) return;
    if (enable) {
        ::SetTimer(m_hwnd, kRepeatTimerId, 1, nullptr);
    } else if (m_timerEnabled) {
        ::KillTimer(m_hwnd, kRepeatTimerId);
    }
    m_timerEnabled = enable;
}

void usrCtlListBox::RepeatTick() noexcept {
    // A tick already queued when the button was released must not scroll.
    if (!m_timerEnabled) return;
    if (m_HitCode == listbox::kHitUpArrow) {
        if (m_CurIndex < 1) return;
        --m_CurIndex;
    } else if (m_HitCode == listbox::kHitDownArrow) {
        if (m_CurIndex >= m_MaxScroll) return;
        ++m_CurIndex;
    }
    DrawScrollBar(m_MaxScroll, m_CurIndex);
    DrawListBox();
}

}  // namespace tessaly

// The result list's own scroll bar: press, drag with a 20 ms throttle, and arrows that move one
// row at once and repeat, while held, after a pause (Timer1); the wheel and the scroll keys.
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
        if (m_hwnd) ::SetFocus(m_hwnd);  // the wheel and the keys go on where the mouse began
        ScrollBarMouseDown(GET_Y_LPARAM(lParam) * m_tpp.y, false);
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

void usrCtlListBox::ScrollBarMouseDown(double yTwips, bool dragged) noexcept {
    m_LastTick = ::GetTickCount();
    const long hit = listbox::ScrollBarHitTest(yTwips, m_TrackLen, m_ThumbLen, m_MaxScroll);
    const bool arrow = hit == listbox::kHitUpArrow || hit == listbox::kHitDownArrow;
    // A drag that stays on the arrow it already repeats leaves the repeat to its own pace.
    if (dragged && arrow && m_timerEnabled && hit == m_HitCode) return;
    m_HitCode = hit;
    if (arrow) {
        EnableRepeatTimer(false);
        ArrowStep();
        EnableRepeatTimer(true, listbox::kArrowRepeatDelayMs);
    } else {
        EnableRepeatTimer(false);
        // Only a degenerate, tiny scroll bar can give a value outside the positions.
        m_CurIndex = listbox::ClampScroll(m_HitCode, m_MaxScroll);
    }
    DrawScrollBar(m_MaxScroll, m_CurIndex);
    DrawListBox();
}

void usrCtlListBox::ScrollBarMouseMove(double yTwips) noexcept {
    DWORD now = ::GetTickCount();
    if (now - m_LastTick > listbox::kDragThrottleMs) {
        m_LastTick = now;
        ScrollBarMouseDown(yTwips, true);
    }
}

void usrCtlListBox::ScrollBarMouseUp() noexcept { EnableRepeatTimer(false); }

void usrCtlListBox::EnableRepeatTimer(bool enable, unsigned intervalMs) noexcept {
    if (!m_hwnd) return;
    if (enable) {
        ::SetTimer(m_hwnd, kRepeatTimerId, intervalMs, nullptr);
        m_timerIntervalMs = intervalMs;
    } else if (m_timerEnabled) {
        ::KillTimer(m_hwnd, kRepeatTimerId);
        m_timerIntervalMs = 0;
    }
    m_timerEnabled = enable;
}

// One row towards the pressed arrow; false at the end of the list.
bool usrCtlListBox::ArrowStep() noexcept {
    if (m_HitCode == listbox::kHitUpArrow) {
        if (m_CurIndex < 1) return false;
        --m_CurIndex;
        return true;
    }
    if (m_HitCode == listbox::kHitDownArrow) {
        if (m_CurIndex >= m_MaxScroll) return false;
        ++m_CurIndex;
        return true;
    }
    return false;
}

void usrCtlListBox::RepeatTick() noexcept {
    // A tick already queued when the button was released must not scroll.
    if (!m_timerEnabled) return;
    // The pause after the press is over: from now on the repeat pace.
    if (m_timerIntervalMs != listbox::kArrowRepeatIntervalMs)
        EnableRepeatTimer(true, listbox::kArrowRepeatIntervalMs);
    if (!ArrowStep()) return;
    DrawScrollBar(m_MaxScroll, m_CurIndex);
    DrawListBox();
}

void usrCtlListBox::ScrollTo(long position) noexcept {
    if (!Overflows()) return;
    const long target = listbox::ClampScroll(position, m_MaxScroll);
    if (target == m_CurIndex) return;
    m_CurIndex = target;
    DrawScrollBar(m_MaxScroll, m_CurIndex);
    DrawListBox();
}

// The scroll keys move the view, as the scroll bar does; the selection stays where it is.
bool usrCtlListBox::ScrollKey(WPARAM key) noexcept {
    const long page = std::max<long>(m_VisibleRows, 1);
    switch (key) {
    case VK_UP: ScrollTo(m_CurIndex - 1); return true;
    case VK_DOWN: ScrollTo(m_CurIndex + 1); return true;
    case VK_PRIOR: ScrollTo(m_CurIndex - page); return true;
    case VK_NEXT: ScrollTo(m_CurIndex + page); return true;
    case VK_HOME: ScrollTo(0); return true;
    case VK_END: ScrollTo(m_MaxScroll); return true;
    default: return false;
    }
}

void usrCtlListBox::ScrollWheel(short delta) noexcept {
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == 0) return;  // the user turned wheel scrolling off
    const long wanted = lines == WHEEL_PAGESCROLL ? m_VisibleRows : static_cast<long>(lines);
    const long rows = listbox::RowsPerWheelNotch(wanted, m_VisibleRows);
    // Fine-grained wheels send parts of a notch; they add up to whole notches.
    m_wheelRemainder += delta;
    const int notches = m_wheelRemainder / WHEEL_DELTA;
    m_wheelRemainder -= notches * WHEEL_DELTA;
    if (notches != 0) ScrollTo(m_CurIndex - notches * rows);
}

}  // namespace tessaly

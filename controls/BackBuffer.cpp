// Back buffer of a drawn surface; see BackBuffer.h.
#include "BackBuffer.h"

namespace tessaly {

BackBuffer::~BackBuffer() { Release(); }

void BackBuffer::Release() noexcept {
    // The bitmap must leave the DC before either is deleted.
    if (m_dc && m_oldBitmap) ::SelectObject(m_dc.get(), m_oldBitmap);
    m_oldBitmap = nullptr;
    m_bitmap.reset();
    m_dc.reset();
    m_size = {};
}

HDC BackBuffer::Prepare(HWND window) noexcept {
    RECT rc{};
    if (!::GetClientRect(window, &rc)) return nullptr;
    SIZE want{rc.right > 0 ? rc.right : 1, rc.bottom > 0 ? rc.bottom : 1};
    if (m_dc && want.cx == m_size.cx && want.cy == m_size.cy) return m_dc.get();
    Release();
    WindowDc screen(window);
    if (!screen.get()) return nullptr;
    m_dc.reset(::CreateCompatibleDC(screen.get()));
    m_bitmap.reset(::CreateCompatibleBitmap(screen.get(), want.cx, want.cy));
    if (!m_dc || !m_bitmap) {
        Release();
        return nullptr;
    }
    m_oldBitmap = ::SelectObject(m_dc.get(), m_bitmap.get());
    m_size = want;
    return m_dc.get();
}

void BackBuffer::PaintTo(HDC target) const noexcept {
    if (!m_dc || !target) return;
    ::BitBlt(target, 0, 0, m_size.cx, m_size.cy, m_dc.get(), 0, 0, SRCCOPY);
}

}  // namespace tessaly

// A memory bitmap the size of a window's client area that holds what was last drawn, so the window
// repaints (WM_PAINT, WM_PRINTCLIENT) from the image instead of drawing again.
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace tessaly {

class BackBuffer {
public:
    BackBuffer() = default;
    ~BackBuffer();
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    // The buffer's DC, resized to the client area of `window`; nullptr when it cannot be made.
    HDC Prepare(HWND window) noexcept;
    // Copies the image to `target` (which shows the window's client area).
    void PaintTo(HDC target) const noexcept;
    [[nodiscard]] SIZE Size() const noexcept { return m_size; }

private:
    void Release() noexcept;

    unique_memdc m_dc;
    unique_hbitmap m_bitmap;
    HGDIOBJ m_oldBitmap = nullptr;
    SIZE m_size{};
};

}  // namespace tessaly

// Shared pieces of the control tests: a visible host window, a list in it, and rendering a window
// into a bitmap through WM_PRINTCLIENT.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "usrCtlListBox.h"

namespace tessaly::test {

class HostWindow {
public:
    HostWindow(int width = 640, int height = 480);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    [[nodiscard]] HWND get() const noexcept { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

// The client area of `window` as it paints itself into a memory DC.
class Rendering {
public:
    explicit Rendering(HWND window);
    [[nodiscard]] COLORREF At(int x, int y) const;
    [[nodiscard]] int Count(RECT area, COLORREF color) const;
    [[nodiscard]] SIZE Size() const noexcept { return m_size; }

private:
    SIZE m_size{};
    std::vector<COLORREF> m_pixels;
};

void PumpMessages();
// Lets messages run for about `milliseconds`, timers included.
void PumpFor(unsigned milliseconds);
LPARAM PointParam(int x, int y);

// Input as a user makes it, through the system's input queue: the system picks the window that
// gets it (the one under the pointer, or the one with the focus for keys and the wheel).
void MovePointerTo(HWND window, int x, int y);  // client coordinates of window
void PressLeftButton();
void ReleaseLeftButton();
void TurnWheel(int delta);
void PressKey(WORD virtualKey);

}  // namespace tessaly::test

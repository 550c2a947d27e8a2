#include "DoEvents.h"

#include <windows.h>

namespace tessaly {

bool DoEvents() noexcept {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

void SleepWithEvents(unsigned milliseconds) noexcept {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (;;) {
        DoEvents();
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

}  // namespace tessaly

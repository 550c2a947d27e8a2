// Bounded waits on a condition, polled in short steps.
#pragma once

#include <windows.h>

#include <functional>

namespace e2e {

// True as soon as condition() holds; false once timeoutMs have passed without it.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 50) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= end) return false;
        ::Sleep(stepMs);
    }
}

}  // namespace e2e

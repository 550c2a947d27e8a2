// The benchmark's clock: milliseconds from the performance counter.
#pragma once

#include <windows.h>

namespace scanbench {

inline double Milliseconds() {
    LARGE_INTEGER frequency{}, counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace scanbench

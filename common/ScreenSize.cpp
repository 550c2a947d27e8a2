// The screen's size; see ScreenSize.h.
#include "ScreenSize.h"

#include <windows.h>

namespace tessaly {

void GetScreenSize(int& width, int& height) noexcept {
    width = ::GetSystemMetrics(SM_CXSCREEN);
    height = ::GetSystemMetrics(SM_CYSCREEN);
}

}  // namespace tessaly

// The screen's size; see ScreenSize.h.
#include "ScreenSize.h"

#include <windows.h>

namespace tessaly::guard {

ScreenSize GetScreenSize() noexcept {
    return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace tessaly::guard

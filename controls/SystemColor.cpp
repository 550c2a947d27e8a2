// System colour resolution; see SystemColor.h.
#include "SystemColor.h"

namespace tessaly {

COLORREF ResolveColor(std::uint32_t value) noexcept {
    if (value & kSystemColorFlag) return ::GetSysColor(static_cast<int>(value & 0xFF));
    return static_cast<COLORREF>(value & 0xFFFFFF);
}

}  // namespace tessaly

// The screen's size in pixels, as the threat notice places itself by it.
#pragma once

#include <cstdint>

namespace tessaly::guard {

struct ScreenSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

ScreenSize GetScreenSize() noexcept;

}  // namespace tessaly::guard

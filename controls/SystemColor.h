// Colour values of the controls: 24-bit RGB with red in the low byte, or a system colour index
// marked by the top bit.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tessaly {

inline constexpr std::uint32_t kSystemColorFlag = 0x80000000u;

// The RGB value to draw with.
COLORREF ResolveColor(std::uint32_t value) noexcept;

}  // namespace tessaly

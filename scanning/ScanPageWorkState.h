// The program-wide copy of the scan page's work state (0 idle, 1 scanning or results pending,
// 2 cleaning): the home page opens the quarantine only at 0, and the main window's close waits on it.
#pragma once

#include <cstdint>

namespace tessaly {

inline constexpr std::int32_t kWorkIdle = 0;
inline constexpr std::int32_t kWorkScanning = 1;
inline constexpr std::int32_t kWorkCleaning = 2;

std::int32_t GetProgramWorkStepState() noexcept;
void SetProgramWorkStepState(std::int32_t state) noexcept;

}  // namespace tessaly

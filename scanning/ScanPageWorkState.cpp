#include "ScanPageWorkState.h"

#include <atomic>

namespace tessaly {

namespace {
// Read by other windows of the same UI thread and, in tests, by helper threads.
std::atomic<std::int32_t> g_programWorkStepState{kWorkIdle};
}  // namespace

std::int32_t GetProgramWorkStepState() noexcept { return g_programWorkStepState.load(); }
void SetProgramWorkStepState(std::int32_t state) noexcept { g_programWorkStepState.store(state); }

}  // namespace tessaly

// The scan's pace; see ScanPageWorkPace.h.
#include "ScanPageWorkPace.h"

#include "BoundedPoll.h"

namespace tessaly {

bool WorkPace::Due(std::uint64_t& last, std::uint64_t period) noexcept {
    const std::uint64_t now = PollClockMs();
    if (last != 0 && now - last < period) return false;
    last = now;
    return true;
}

}  // namespace tessaly

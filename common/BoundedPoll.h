// The one bounded wait of the programs: a condition is tried again and again until it holds or the
// deadline has passed, and window events run between the tries so the windows stay responsive.
// The deadline is the whole wait a caller promises (count x sleep of the written rule); the step is
// only how long the thread may doze between two tries, so short steps never lengthen a wait.
#pragma once

#include <cstdint>
#include <functional>

namespace tessaly {

enum class PollResult {
    Done,      // the condition held
    TimedOut,  // the deadline passed first (or the condition threw; the fault is logged)
    Quit,      // WM_QUIT arrived while window events ran; it is posted again for the outer loop
};

struct PollPlan {
    std::uint32_t deadlineMs = 0;  // 0: try once
    std::uint32_t stepMs = 1;      // longest doze between tries; a window message ends a doze early
    std::uint32_t spinTries = 0;   // first tries that only yield the processor, for answers due at once
    bool letEventsRun = true;      // false for waits of a process without windows
};

PollResult PollUntil(const std::function<bool()>& done, const PollPlan& plan) noexcept;

// A pause of about `milliseconds` with window events running: the poll that waits for nothing.
// It ends early only when WM_QUIT arrives.
inline PollResult PauseWithEvents(std::uint32_t milliseconds) noexcept {
    return PollUntil([] { return false; }, PollPlan{milliseconds, milliseconds});
}

// Milliseconds since an arbitrary start, for callers that measure a wait themselves.
std::uint64_t PollClockMs() noexcept;

}  // namespace tessaly

// Bounded waits on a condition for the whole-program tests: the programs' own bounded poll, without
// running this process's window events.
#pragma once

#include <windows.h>

#include <functional>

#include "BoundedPoll.h"

namespace e2e {

// True as soon as condition() holds; false once timeoutMs have passed without it.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 50) {
    return tessaly::PollUntil(condition, tessaly::PollPlan{timeoutMs, stepMs, 0, false}) == tessaly::PollResult::Done;
}

}  // namespace e2e

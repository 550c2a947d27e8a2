// Bounded polls with window events; see BoundedPoll.h.
#include "BoundedPoll.h"

#include <windows.h>

#include "DoEvents.h"
#include "FaultLog.h"

namespace tessaly {
namespace {

void Doze(std::uint32_t milliseconds, bool letEventsRun) noexcept {
    if (letEventsRun)
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
    else
        ::Sleep(milliseconds);
}

}  // namespace

std::uint64_t PollClockMs() noexcept { return ::GetTickCount64(); }

PollResult PollUntil(const std::function<bool()>& done, const PollPlan& plan) noexcept {
    try {
        const std::uint64_t end = PollClockMs() + plan.deadlineMs;
        for (std::uint32_t tries = 0;; ++tries) {
            if (plan.letEventsRun && !DoEvents()) return PollResult::Quit;
            if (done()) return PollResult::Done;
            const std::uint64_t now = PollClockMs();
            if (now >= end) return PollResult::TimedOut;
            if (tries < plan.spinTries) {
                ::SwitchToThread();
                continue;
            }
            const std::uint64_t left = end - now;
            Doze(static_cast<std::uint32_t>(left < plan.stepMs ? left : plan.stepMs), plan.letEventsRun);
        }
    } catch (...) {
        LogCaughtFault(L"PollUntil");
        return PollResult::TimedOut;
    }
}

}  // namespace tessaly

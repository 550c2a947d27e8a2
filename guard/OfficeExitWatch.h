// How the guard learns that a process ended: WMI's process-deletion events when the platform
// delivers them, and otherwise our own look at the process list once a second on a timer of the
// guard's window. Either way the same trigger gets the ended process's name.
#pragma once

#include <windows.h>

#include "ProcessExitPoll.h"
#include "WmiProcessExitEvents.h"

namespace tessaly::guard {

inline constexpr UINT kOfficeExitPollMs = 1000;

class OfficeExitWatch {
public:
    explicit OfficeExitWatch(ProcessLister lister = ListRunningProcesses, ProcessListStamp stamp = ProcessListStampNow);
    ~OfficeExitWatch();
    OfficeExitWatch(const OfficeExitWatch&) = delete;
    OfficeExitWatch& operator=(const OfficeExitWatch&) = delete;

    // Subscribes to the platform's events; when it refuses, writes why to the error log and polls
    // instead, on timer pollTimerId of timerWindow (whose WM_TIMER the owner hands to OnPollTimer).
    void Start(HWND timerWindow, UINT_PTR pollTimerId, ProcessEndedHandler onEnded) noexcept;
    void OnPollTimer() noexcept;
    // Cancels the subscription or ends the polling.
    void Stop() noexcept;

    [[nodiscard]] bool Polling() const noexcept { return m_poll.Running(); }
    [[nodiscard]] bool Subscribed() const noexcept { return m_events.Subscribed(); }

private:
    WmiProcessExitEvents m_events;
    ProcessExitPoll m_poll;
    HWND m_timerWindow = nullptr;
    UINT_PTR m_pollTimerId = 0;
};

}  // namespace tessaly::guard

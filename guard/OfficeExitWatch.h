// How the guard learns that a process ended: WMI's process-deletion events when the platform
// delivers them, and otherwise our own look at the process list once a second on a timer of the
// guard's window. Either way the same trigger gets the ended process. A subscription that ends
// after start-up (the WMI service restarted) is made again at the next tick of that timer; when
// the platform then refuses it, the watch goes on by looking at the process list.
#pragma once

#include <windows.h>

#include <memory>

#include "ProcessExitPoll.h"
#include "WmiProcessExitEvents.h"

namespace tessaly::guard {

inline constexpr UINT kOfficeExitPollMs = 1000;

class OfficeExitWatch {
public:
    explicit OfficeExitWatch(ProcessLister lister = ListRunningProcesses, ProcessListStamp stamp = ProcessListStampNow,
                             std::unique_ptr<ProcessExitEvents> events = std::make_unique<WmiProcessExitEvents>());
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
    [[nodiscard]] bool Subscribed() const noexcept { return m_events->Subscribed(); }

private:
    void Watch() noexcept;
    void StartPolling() noexcept;
    void SetPollTimer(bool on) noexcept;

    std::unique_ptr<ProcessExitEvents> m_events;
    ProcessExitPoll m_poll;
    ProcessEndedHandler m_onEnded;
    HWND m_timerWindow = nullptr;
    UINT_PTR m_pollTimerId = 0;
    // The platform ended the subscription; it is made again at the timer's next tick.
    bool m_lost = false;
};

}  // namespace tessaly::guard

// The guard's process-exit watch; see OfficeExitWatch.h.
#include "OfficeExitWatch.h"

#include "FaultLog.h"
#include "OfficeProcessNames.h"

namespace tessaly::guard {

OfficeExitWatch::OfficeExitWatch(ProcessLister lister, ProcessListStamp stamp, std::unique_ptr<ProcessExitEvents> events)
    : m_events(std::move(events)), m_poll(std::move(lister), std::move(stamp), IsOfficeProcessName) {}

OfficeExitWatch::~OfficeExitWatch() { Stop(); }

void OfficeExitWatch::Start(HWND timerWindow, UINT_PTR pollTimerId, ProcessEndedHandler onEnded) noexcept {
    Stop();
    m_onEnded = std::move(onEnded);
    m_timerWindow = timerWindow;
    m_pollTimerId = pollTimerId;
    Watch();
}

void OfficeExitWatch::Watch() noexcept {
    try {
        m_lost = false;
        m_events->Cancel();
        const bool subscribed = m_events->Subscribe(m_onEnded, [this] {
            // Inside the platform's event: only noted here, and the timer brings the new subscription.
            m_lost = true;
            SetPollTimer(true);
        });
        if (subscribed) {
            m_poll.Stop();
            SetPollTimer(false);
            return;
        }
        StartPolling();
    } catch (...) {
        LogCaughtFault(L"OfficeExitWatch::Watch");
    }
}

void OfficeExitWatch::StartPolling() noexcept {
    m_poll.Start(m_onEnded);
    SetPollTimer(true);
    // Not an error the user need see: the watch goes on by looking at the process list (and has
    // taken its first look when this line is written).
    LogFault(L"OfficeExitWatch::Start", L"WMI process events unavailable (" + m_events->LastError() +
                                           L"); watching the process list instead");
}

void OfficeExitWatch::OnPollTimer() noexcept {
    if (m_lost) {
        LogFault(L"OfficeExitWatch::OnPollTimer", L"the WMI process events ended; subscribing again");
        Watch();
        return;
    }
    m_poll.Look();
}

void OfficeExitWatch::SetPollTimer(bool on) noexcept {
    if (!m_timerWindow || !::IsWindow(m_timerWindow)) return;
    if (on) ::SetTimer(m_timerWindow, m_pollTimerId, kOfficeExitPollMs, nullptr);
    else ::KillTimer(m_timerWindow, m_pollTimerId);
}

void OfficeExitWatch::Stop() noexcept {
    m_events->Cancel();
    m_poll.Stop();
    m_lost = false;
    SetPollTimer(false);
    m_timerWindow = nullptr;
}

}  // namespace tessaly::guard

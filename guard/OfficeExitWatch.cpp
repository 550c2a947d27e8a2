// The guard's process-exit watch; see OfficeExitWatch.h.
#include "OfficeExitWatch.h"

#include "FaultLog.h"
#include "OfficeProcessNames.h"

namespace tessaly::guard {

OfficeExitWatch::OfficeExitWatch(ProcessLister lister, ProcessListStamp stamp)
    : m_poll(std::move(lister), std::move(stamp), IsOfficeProcessName) {}

OfficeExitWatch::~OfficeExitWatch() { Stop(); }

void OfficeExitWatch::Start(HWND timerWindow, UINT_PTR pollTimerId, ProcessEndedHandler onEnded) noexcept {
    Stop();
    if (m_events.Subscribe(onEnded)) return;
    m_poll.Start(std::move(onEnded));
    m_timerWindow = timerWindow;
    m_pollTimerId = pollTimerId;
    if (m_timerWindow) ::SetTimer(m_timerWindow, m_pollTimerId, kOfficeExitPollMs, nullptr);
    // Not an error the user need see: the watch goes on by looking at the process list (and has
    // taken its first look when this line is written).
    LogFault(L"OfficeExitWatch::Start", L"WMI process events unavailable (" + m_events.LastError() +
                                           L"); watching the process list instead");
}

void OfficeExitWatch::OnPollTimer() noexcept { m_poll.Look(); }

void OfficeExitWatch::Stop() noexcept {
    m_events.Cancel();
    m_poll.Stop();
    if (m_timerWindow && ::IsWindow(m_timerWindow)) ::KillTimer(m_timerWindow, m_pollTimerId);
    m_timerWindow = nullptr;
}

}  // namespace tessaly::guard

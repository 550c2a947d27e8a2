// The guard's own office programs; see OwnOfficePrograms.h.
#include "OwnOfficePrograms.h"

#include <windows.h>

namespace tessaly::guard {

std::uint64_t SystemTimeNow() noexcept {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void OwnOfficePrograms::AutomationBegins(std::uint64_t now) noexcept {
    if (m_open) return;
    m_open = true;
    m_openBegin = now;
}

void OwnOfficePrograms::AutomationEnds(std::uint64_t now) noexcept {
    if (!m_open) return;
    m_open = false;
    m_spans[m_next] = Span{m_openBegin, now};
    m_next = (m_next + 1) % m_spans.size();
}

bool OwnOfficePrograms::IsOwn(const RunningProcess& process) const noexcept {
    if (process.created == 0) return false;
    if (m_open && process.created >= m_openBegin) return true;
    for (const Span& span : m_spans)
        if (span.end != 0 && process.created >= span.begin && process.created <= span.end) return true;
    return false;
}

}  // namespace tessaly::guard

// The office programs the guard started itself: when Office discovery has to ask an application's
// automation object ("Excel.Application", "ket.Application"), creating that object starts the
// application, and asking it to quit ends it a moment later. Such a program neither counts as a
// user's office program that runs nor is its end a reason to scan; otherwise each background scan
// would start the next one. A program is the guard's own when the platform created it while the
// guard's discovery held an automation object; an end reported meanwhile is the guard's own too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "ProcessEndedHandler.h"

namespace tessaly::guard {

// The platform's clock of process creation: 100 ns steps since 1601 (UTC).
std::uint64_t SystemTimeNow() noexcept;

class OwnOfficePrograms {
public:
    void AutomationBegins(std::uint64_t now) noexcept;
    void AutomationEnds(std::uint64_t now) noexcept;
    [[nodiscard]] bool AutomationRunning() const noexcept { return m_open; }
    // Created while an automation object was held (or is held now); a process whose creation time
    // is unknown (0) is nobody's.
    [[nodiscard]] bool IsOwn(const RunningProcess& process) const noexcept;

private:
    struct Span {
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
    };
    // Each background scan makes a few spans; the oldest give way, long after their programs ended.
    std::array<Span, 32> m_spans{};
    std::size_t m_next = 0;
    std::uint64_t m_openBegin = 0;
    bool m_open = false;
};

}  // namespace tessaly::guard

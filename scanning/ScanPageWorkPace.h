// The pace at which a scan lets window events run and shows its progress. A walk meets thousands
// of files a second; running the window's events and redrawing the path and the counter for each
// one made the walk wait on drawing. Events run every few milliseconds, so the window repaints
// and the cancel button acts well within a tenth of a second, and the progress shows at a pace
// the eye can read.
#pragma once

#include <cstdint>

namespace tessaly {

class WorkPace {
public:
    static constexpr std::uint64_t kEventsEveryMs = 10;
    static constexpr std::uint64_t kProgressEveryMs = 50;

    // True when the events (the progress) are due; the next one is then due a period later.
    bool EventsDue() noexcept { return Due(m_lastEvents, kEventsEveryMs); }
    bool ProgressDue() noexcept { return Due(m_lastProgress, kProgressEveryMs); }
    // Both are due at the next ask, as at the start of a scan.
    void Restart() noexcept { m_lastEvents = m_lastProgress = 0; }

private:
    static bool Due(std::uint64_t& last, std::uint64_t period) noexcept;

    std::uint64_t m_lastEvents = 0;
    std::uint64_t m_lastProgress = 0;
};

}  // namespace tessaly

// The guard's own process-exit watch, for a platform whose WMI cannot deliver process-deletion
// events (Wine answers that query with a failure): one look at the process list a second, raising
// the same trigger with the process (name, id, creation time) for every watched process that is
// gone since the last look. Like WMI's "WITHIN 1" it cannot see a process that lived less than a second.
// A look first asks only for the size the list would take, which changes whenever a process or
// thread comes or goes: the whole list, fifty times dearer, is read only after a change, and at
// least every kLooksPerListing looks in case a start and an end left the size as it was.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ProcessEndedHandler.h"

namespace tessaly::guard {

// The processes running now; nullopt when the platform could not list them.
using ProcessLister = std::function<std::optional<std::vector<RunningProcess>>()>;
std::optional<std::vector<RunningProcess>> ListRunningProcesses() noexcept;
// A number that changes whenever the process list changes; nullopt when the platform cannot say.
using ProcessListStamp = std::function<std::optional<std::uint64_t>()>;
std::optional<std::uint64_t> ProcessListStampNow() noexcept;

inline constexpr int kLooksPerListing = 10;

class ProcessExitPoll {
public:
    // watched: which lower-cased process names the watch follows.
    ProcessExitPoll(ProcessLister lister, ProcessListStamp stamp,
                    std::function<bool(std::wstring_view lowerName)> watched);

    // The first look: what runs now is followed, and nothing is raised.
    void Start(ProcessEndedHandler onEnded) noexcept;
    // A later look: each followed process that is no longer listed raises the trigger once.
    void Look() noexcept;
    void Stop() noexcept;
    [[nodiscard]] bool Running() const noexcept { return static_cast<bool>(m_onEnded); }

private:
    std::vector<RunningProcess> WatchedOf(const std::vector<RunningProcess>& all) const;
    // False when the list cannot have changed since the last listing.
    bool ListMayHaveChanged();

    ProcessLister m_lister;
    ProcessListStamp m_stamp;
    std::optional<std::uint64_t> m_lastStamp;
    int m_looksSinceListing = 0;
    std::function<bool(std::wstring_view)> m_watched;
    ProcessEndedHandler m_onEnded;
    std::vector<RunningProcess> m_followed;
    bool m_listingFailed = false;
};

}  // namespace tessaly::guard

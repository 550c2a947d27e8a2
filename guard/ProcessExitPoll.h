// The guard's own process-exit watch, for a platform whose WMI cannot deliver process-deletion
// events (Wine answers that query with a failure): one look at the process list a second, raising
// the same trigger with the same process name for every watched process that is gone since the
// last look. Like WMI's "WITHIN 1" it cannot see a process that lived less than a second.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ProcessEndedHandler.h"

namespace tessaly::guard {

struct RunningProcess {
    DWORD id = 0;
    std::wstring name;  // file name as the platform lists it
};

// The processes running now; nullopt when the platform could not list them.
using ProcessLister = std::function<std::optional<std::vector<RunningProcess>>()>;
std::optional<std::vector<RunningProcess>> ListRunningProcesses() noexcept;

class ProcessExitPoll {
public:
    // watched: which lower-cased process names the watch follows.
    ProcessExitPoll(ProcessLister lister, std::function<bool(std::wstring_view lowerName)> watched);

    // The first look: what runs now is followed, and nothing is raised.
    void Start(ProcessEndedHandler onEnded) noexcept;
    // A later look: each followed process that is no longer listed raises the trigger once.
    void Look() noexcept;
    void Stop() noexcept;
    [[nodiscard]] bool Running() const noexcept { return static_cast<bool>(m_onEnded); }

private:
    std::vector<RunningProcess> WatchedOf(const std::vector<RunningProcess>& all) const;

    ProcessLister m_lister;
    std::function<bool(std::wstring_view)> m_watched;
    ProcessEndedHandler m_onEnded;
    std::vector<RunningProcess> m_followed;
    bool m_listingFailed = false;
};

}  // namespace tessaly::guard

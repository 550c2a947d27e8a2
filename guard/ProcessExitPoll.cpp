// The polling process-exit watch; see ProcessExitPoll.h. A process is known by its id and name,
// so one that ends while another of the same name starts still counts as ended.
#include "ProcessExitPoll.h"

#include <tlhelp32.h>

#include <algorithm>
#include <utility>

#include "FaultLog.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

namespace tessaly::guard {

std::optional<std::vector<RunningProcess>> ListRunningProcesses() noexcept {
    try {
        unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return std::nullopt;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        if (!::Process32FirstW(snapshot.get(), &entry)) return std::nullopt;
        std::vector<RunningProcess> processes;
        do {
            processes.push_back({entry.th32ProcessID, entry.szExeFile});
        } while (::Process32NextW(snapshot.get(), &entry));
        return processes;
    } catch (...) {
        LogCaughtFault(L"ListRunningProcesses");
        return std::nullopt;
    }
}

ProcessExitPoll::ProcessExitPoll(ProcessLister lister, std::function<bool(std::wstring_view)> watched)
    : m_lister(std::move(lister)), m_watched(std::move(watched)) {}

std::vector<RunningProcess> ProcessExitPoll::WatchedOf(const std::vector<RunningProcess>& all) const {
    std::vector<RunningProcess> watched;
    for (const RunningProcess& process : all)
        if (m_watched(ToLowerText(process.name))) watched.push_back(process);
    return watched;
}

void ProcessExitPoll::Start(ProcessEndedHandler onEnded) noexcept {
    try {
        m_onEnded = std::move(onEnded);
        m_followed.clear();
        m_listingFailed = false;
        if (const auto all = m_lister()) m_followed = WatchedOf(*all);
    } catch (...) {
        LogCaughtFault(L"ProcessExitPoll.Start");
    }
}

void ProcessExitPoll::Look() noexcept {
    if (!m_onEnded) return;
    try {
        const auto all = m_lister();
        if (!all) {
            // A failed listing says nothing about ended processes; report it once per failure run.
            if (!m_listingFailed) LogFault(L"ProcessExitPoll.Look", L"the process list could not be read");
            m_listingFailed = true;
            return;
        }
        m_listingFailed = false;
        std::vector<RunningProcess> now = WatchedOf(*all);
        std::vector<std::wstring> ended;
        for (const RunningProcess& before : m_followed) {
            const bool stillThere = std::any_of(now.begin(), now.end(), [&](const RunningProcess& p) {
                return p.id == before.id && EqualsNoCase(p.name, before.name);
            });
            if (!stillThere) ended.push_back(before.name);
        }
        m_followed = std::move(now);
        // The handler may run window events, and with them this watch again: raise last.
        const ProcessEndedHandler onEnded = m_onEnded;
        for (const std::wstring& name : ended) onEnded(name);
    } catch (...) {
        LogCaughtFault(L"ProcessExitPoll.Look");
    }
}

void ProcessExitPoll::Stop() noexcept {
    m_onEnded = nullptr;
    m_followed.clear();
}

}  // namespace tessaly::guard

// The polling process-exit watch; see ProcessExitPoll.h. A process is known by its id and name,
// so one that ends while another of the same name starts still counts as ended.
#include "ProcessExitPoll.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "FaultLog.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

namespace tessaly::guard {

namespace {

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemProcessInformation = 5;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr ULONG kFirstBufferBytes = 256 * 1024;
constexpr ULONG kLargestBufferBytes = 64 * 1024 * 1024;
// The entry's creation time lies in the part the header leaves unnamed, before the image name.
constexpr std::size_t kCreateTimeOffset = 32;
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName) == kCreateTimeOffset + 3 * sizeof(LARGE_INTEGER));

QuerySystemInformation SystemInformationQuery() noexcept {
    static const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    return query;
}

// The system's own process list, as the tool-help snapshot reads it, without the snapshot's
// copy into a file mapping: a third of its cost, which matters for a look taken every second.
std::optional<std::vector<RunningProcess>> ListFromSystemInformation() {
    const QuerySystemInformation query = SystemInformationQuery();
    if (!query) return std::nullopt;
    // Kept between looks: the list is about the same size every second.
    static thread_local std::vector<unsigned char> buffer(kFirstBufferBytes);
    ULONG needed = 0;
    NTSTATUS status = 0;
    while ((status = query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kInfoLengthMismatch) {
        if (buffer.size() >= kLargestBufferBytes) return std::nullopt;
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
    }
    if (status < 0) return std::nullopt;
    std::vector<RunningProcess> processes;
    for (std::size_t at = 0; at + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size();) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        const UNICODE_STRING& image = entry->ImageName;
        const DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId));
        std::uint64_t created = 0;
        std::memcpy(&created, buffer.data() + at + kCreateTimeOffset, sizeof created);
        processes.push_back(
            {id, image.Buffer ? std::wstring(image.Buffer, image.Length / sizeof(wchar_t)) : L"", created});
        if (entry->NextEntryOffset == 0) break;
        at += entry->NextEntryOffset;
    }
    return processes;
}

std::optional<std::vector<RunningProcess>> ListFromSnapshot() {
    unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return std::nullopt;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!::Process32FirstW(snapshot.get(), &entry)) return std::nullopt;
    std::vector<RunningProcess> processes;
    do {
        processes.push_back({entry.th32ProcessID, entry.szExeFile, 0});
    } while (::Process32NextW(snapshot.get(), &entry));
    return processes;
}

}  // namespace

std::optional<std::uint64_t> ProcessListStampNow() noexcept {
    const QuerySystemInformation query = SystemInformationQuery();
    if (!query) return std::nullopt;
    // Too small on purpose: the answer is only the size the whole list needs.
    unsigned char tooSmall[8]{};
    ULONG needed = 0;
    if (query(kSystemProcessInformation, tooSmall, sizeof tooSmall, &needed) != kInfoLengthMismatch || needed == 0)
        return std::nullopt;
    return needed;
}

std::optional<std::vector<RunningProcess>> ListRunningProcesses() noexcept {
    try {
        if (auto processes = ListFromSystemInformation()) return processes;
        return ListFromSnapshot();
    } catch (...) {
        LogCaughtFault(L"ListRunningProcesses");
        return std::nullopt;
    }
}

ProcessExitPoll::ProcessExitPoll(ProcessLister lister, ProcessListStamp stamp,
                                 std::function<bool(std::wstring_view)> watched)
    : m_lister(std::move(lister)), m_stamp(std::move(stamp)), m_watched(std::move(watched)) {}

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
        m_lastStamp = m_stamp ? m_stamp() : std::nullopt;
        m_looksSinceListing = 0;
        if (const auto all = m_lister()) m_followed = WatchedOf(*all);
    } catch (...) {
        LogCaughtFault(L"ProcessExitPoll::Start");
    }
}

void ProcessExitPoll::Look() noexcept {
    if (!m_onEnded) return;
    try {
        if (!ListMayHaveChanged()) return;
        const auto all = m_lister();
        if (!all) {
            // A failed listing says nothing about ended processes; report it once per failure run.
            if (!m_listingFailed) LogFault(L"ProcessExitPoll::Look", L"the process list could not be read");
            m_listingFailed = true;
            return;
        }
        m_listingFailed = false;
        std::vector<RunningProcess> now = WatchedOf(*all);
        std::vector<RunningProcess> ended;
        for (const RunningProcess& before : m_followed) {
            const bool stillThere = std::any_of(now.begin(), now.end(), [&](const RunningProcess& p) {
                return p.id == before.id && EqualsNoCase(p.name, before.name);
            });
            if (!stillThere) ended.push_back(before);
        }
        m_followed = std::move(now);
        // The handler may run window events, and with them this watch again: raise last.
        const ProcessEndedHandler onEnded = m_onEnded;
        for (const RunningProcess& process : ended) onEnded(process);
    } catch (...) {
        LogCaughtFault(L"ProcessExitPoll::Look");
    }
}

bool ProcessExitPoll::ListMayHaveChanged() {
    // Taken before the listing: a change while the list is read shows at the next look.
    const std::optional<std::uint64_t> stamp = m_stamp ? m_stamp() : std::nullopt;
    const bool unchanged = stamp && m_lastStamp && *stamp == *m_lastStamp && !m_listingFailed;
    m_lastStamp = stamp;
    if (unchanged && ++m_looksSinceListing < kLooksPerListing) return false;
    m_looksSinceListing = 0;
    return true;
}

void ProcessExitPoll::Stop() noexcept {
    m_onEnded = nullptr;
    m_followed.clear();
}

}  // namespace tessaly::guard
